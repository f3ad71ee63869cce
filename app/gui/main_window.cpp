#include "app/gui/main_window.h"

#include "app/gui/dialogs.h"
#include "app/gui/dropped_files.h"
#include "app/gui/input_blocker.h"
#include "app/gui/qt_text.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QThread>
#include <QWindow>
#include <utility>

namespace iploc {

MainWindow::MainWindow(Settings settings, Dialogs& dialogs) : dialogs_(dialogs) {
    form_ = BuildForm(*this);
    setFixedSize(kFormFrame.size());
    move(kFormFrame.topLeft());
    setAcceptDrops(true);
    ConnectButtons();
    app_ = std::make_unique<Application>(*this, std::move(settings));
    app_->OnCreated();
}

MainWindow::~MainWindow() {
    ShutDown();
}

void MainWindow::ConnectButtons() {
    connect(form_.importButton, &QPushButton::clicked, this, [this] { ChooseWorkbook(); });
    connect(form_.clearButton, &QPushButton::clicked, this, [this] { app_->OnClearClicked(); });
    connect(form_.lookupButton, &QPushButton::clicked, this, [this] { app_->OnLookupClicked(EditText()); });
    connect(form_.batchButton, &QPushButton::clicked, this, [this] { app_->OnBatchClicked(EditText()); });
    connect(form_.exportButton, &QPushButton::clicked, this, [this] { Export(); });
}

void MainWindow::ChooseWorkbook() {
    const QString directory = QString::fromStdString(app_->settings().programDirectory.string());
    const std::optional<QString> chosen = dialogs_.ChooseWorkbook(this, directory, chosenWorkbook_);
    if (!chosen) return;
    chosenWorkbook_ = *chosen;
    form_.edit->setText(*chosen);
}

void MainWindow::Export() {
    exporting_ = true;
    {
        InputBlocker blocker(*this);
        app_->OnExportClicked(EditText());
    }
    exporting_ = false;
    for (std::function<void()>& task : std::exchange(heldDuringExport_, {}))
        PostWhenIdle(std::move(task));
    if (std::exchange(closeAfterExport_, false)) close();
}

Text MainWindow::EditText() const {
    return QStringToText(form_.edit->text());
}

bool MainWindow::OnUiThread() const {
    return QThread::currentThread() == thread();
}

void MainWindow::SetCaption(const Text& caption) {
    WriteRequested(writes_.SetCaption(TextToQString(caption)));
}

void MainWindow::SetLabelText(const Text& text) {
    WriteRequested(writes_.SetLabel(TextToQString(text)));
}

void MainWindow::SetEditText(const Text& text) {
    WriteRequested(writes_.SetEdit(TextToQString(text)));
}

void MainWindow::SetButtonEnabled(Button button, bool enabled) {
    WriteRequested(writes_.SetButtonEnabled(button, enabled));
}

void MainWindow::WriteRequested(bool firstPending) {
    if (OnUiThread()) {
        ApplyPendingWrites();
    } else if (firstPending) {
        QMetaObject::invokeMethod(
            this, [this] { ApplyPendingWrites(); }, Qt::QueuedConnection);
    }
}

void MainWindow::ApplyPendingWrites() {
    const PendingWrites::Changes changes = writes_.Take();
    if (changes.caption) setWindowTitle(*changes.caption);
    if (changes.label) form_.label->setText(*changes.label);
    if (changes.edit) form_.edit->setText(*changes.edit);
    for (const auto& [button, enabled] : changes.buttonsEnabled)
        ButtonOf(button)->setEnabled(enabled);
}

QPushButton* MainWindow::ButtonOf(Button button) const {
    switch (button) {
    case Button::Import:
        return form_.importButton;
    case Button::Lookup:
        return form_.lookupButton;
    case Button::Batch:
        return form_.batchButton;
    case Button::Export:
        return form_.exportButton;
    case Button::Clear:
        return form_.clearButton;
    }
    return form_.clearButton;
}

void MainWindow::ShowMessage(const Text& text, bool ownedByWindow) {
    const QString message = TextToQString(text);
    auto show = [this, message, ownedByWindow] { dialogs_.Inform(ownedByWindow ? this : nullptr, message); };
    if (OnUiThread()) {
        show();
        return;
    }
    workerMessages_.ShowAndWait([this](std::function<void()> task) { PostWhenIdle(std::move(task)); },
                                std::move(show));
}

bool MainWindow::Confirm(const Text& text) {
    return dialogs_.Confirm(this, TextToQString(text));
}

void MainWindow::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::DestroyWindow() {
    // The export calls this from inside its click handler; the window closes once the
    // handler has returned.
    if (exporting_) {
        closeAfterExport_ = true;
    } else {
        close();
    }
}

void MainWindow::PostWhenIdle(std::function<void()> task) {
    QMetaObject::invokeMethod(
        this, [this, task = std::move(task)]() mutable { RunWhenIdle(std::move(task)); },
        Qt::QueuedConnection);
}

void MainWindow::RunWhenIdle(std::function<void()> task) {
    if (exporting_) {
        heldDuringExport_.push_back(std::move(task));
    } else {
        task();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The export is modal: it ends by closing the window itself.
    if (exporting_) {
        event->ignore();
        return;
    }
    ShutDown();
    event->accept();
}

void MainWindow::ShutDown() {
    workerMessages_.Close();
    app_->OnAboutToBeDestroyed();
    ApplyPendingWrites();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitFrameToForm();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Window managers report their frame extents only after the window is mapped.
    FitFrameToForm();
}

void MainWindow::FitFrameToForm() {
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize client = QSize(kFormFrame.width() - frame.left() - frame.right(),
                               kFormFrame.height() - frame.top() - frame.bottom())
                             .expandedTo(kFormMinimumClient);
    if (client != size()) setFixedSize(client);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() != nullptr && HoldsLocalFiles(*event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData() != nullptr && HoldsLocalFiles(*event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (event->mimeData() == nullptr) return;
    const std::optional<QString> text = DroppedFilesText(*event->mimeData());
    if (!text) return;
    form_.edit->setText(*text);
    event->acceptProposedAction();
}

} // namespace iploc
