#include "app/gui/dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace iploc {
namespace {

// A box with the title "信息：", plain text and no icon; the button texts are set here
// rather than left to a translation that may not be installed.
void SetUp(QMessageBox& box, const QString& text) {
    box.setWindowTitle(MessageTitle());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
}

void Label(QMessageBox& box, QMessageBox::StandardButton which, const char* text) {
    box.button(which)->setText(QString::fromUtf8(text));
}

} // namespace

QString MessageTitle() {
    return QStringLiteral("信息：");
}

QString WorkbookNameFilter() {
    return QStringLiteral("*.xls,*.xlsx (*.xls *.xlsx)");
}

void QtDialogs::Inform(QWidget* owner, const QString& text) {
    QMessageBox box(owner);
    SetUp(box, text);
    box.setStandardButtons(QMessageBox::Ok);
    Label(box, QMessageBox::Ok, "确定");
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::Confirm(QWidget* owner, const QString& text) {
    QMessageBox box(owner);
    SetUp(box, text);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    Label(box, QMessageBox::Ok, "确定");
    Label(box, QMessageBox::Cancel, "取消");
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

std::optional<QString> QtDialogs::ChooseWorkbook(QWidget* owner, const QString& directory,
                                                 const QString& previous) {
    QFileDialog dialog(owner);
    // Qt's own dialog shows the filter's description alone, as written, on every desktop.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(WorkbookNameFilter());
    dialog.setDirectory(directory);
    if (!previous.isEmpty()) dialog.selectFile(previous);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front();
}

} // namespace iploc
