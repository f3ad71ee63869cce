// The main window: the form's controls, their click handlers, file drops, and the
// window side of the workflows (MainWindowInterface).
//
// The application core runs the workflows; this class only passes it the clicks and the
// edit box's text, and shows what the workflows write. Writes from worker threads are
// handed to the UI thread; a worker's message box is shown there while the worker waits.
#pragma once

#include "app/application.h"
#include "app/gui/main_form.h"
#include "app/gui/pending_writes.h"
#include "app/gui/worker_messages.h"
#include "app/main_window_interface.h"
#include "app/settings.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace iploc {

class Dialogs;

class MainWindow : public QWidget, public MainWindowInterface {
    Q_OBJECT

public:
    // Builds the form at its place on the screen, creates the application object and runs
    // the window-created step (the store is opened, the count caption set). The window is
    // not shown yet. `dialogs` must outlive the window.
    MainWindow(Settings settings, Dialogs& dialogs);
    // Closes as the user's close does, if that has not happened yet.
    ~MainWindow() override;

    Application& application() { return *app_; }
    const FormControls& form() const { return form_; }

    // MainWindowInterface. The four setters and ShowMessage may be called on any thread.
    void SetCaption(const Text& caption) override;
    void SetLabelText(const Text& text) override;
    void SetEditText(const Text& text) override;
    void SetButtonEnabled(Button button, bool enabled) override;
    void ShowMessage(const Text& text, bool ownedByWindow) override;
    bool Confirm(const Text& text) override;
    void ProcessPendingEvents() override;
    void DestroyWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ConnectButtons();
    void ChooseWorkbook();
    void Export();

    Text EditText() const;
    bool OnUiThread() const;
    // Applies every pending write now (UI thread) or soon (any other thread).
    void WriteRequested(bool firstPending);
    void ApplyPendingWrites();
    QPushButton* ButtonOf(Button button) const;
    // Runs `task` on the UI thread from the event loop; during the export it waits until
    // the export has ended, so that no handler runs inside another.
    void PostWhenIdle(std::function<void()> task);
    void RunWhenIdle(std::function<void()> task);
    // The client size that gives the form's outer frame with the frame margins of the
    // window system (none on the offscreen platform).
    void FitFrameToForm();
    // Releases waiting workers, then stops and joins them and closes the store.
    void ShutDown();

    Dialogs& dialogs_;
    FormControls form_;
    PendingWrites writes_;
    WorkerMessages workerMessages_;
    bool exporting_ = false;
    bool closeAfterExport_ = false;
    std::vector<std::function<void()>> heldDuringExport_;
    // The workbook chosen last in the import dialog, shown pre-filled the next time.
    QString chosenWorkbook_;
    // Last, so that it goes first: its workers may still write to the members above.
    std::unique_ptr<Application> app_;
};

} // namespace iploc
