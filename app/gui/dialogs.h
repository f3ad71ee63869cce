// The modal dialogs of the main window, behind an interface so that tests can answer
// them (see tests/gui) while the product shows the real ones.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace iploc {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box titled "信息：" with one button, 确定; returns once it is dismissed.
    // `owner` is the owner window, or nullptr for a box without one.
    virtual void Inform(QWidget* owner, const QString& text) = 0;
    // A box titled "信息：" with 确定 and 取消, 取消 the default; true only for 确定
    // (Escape and closing the box count as 取消).
    virtual bool Confirm(QWidget* owner, const QString& text) = 0;
    // The open-file dialog for a workbook: the one filter "*.xls,*.xlsx" (patterns
    // *.xls and *.xlsx), starting in `directory` with `previous` (when not empty)
    // pre-filled. The chosen file's full path, or nullopt when cancelled.
    virtual std::optional<QString> ChooseWorkbook(QWidget* owner, const QString& directory,
                                                  const QString& previous) = 0;
};

// The real dialogs: QMessageBox and Qt's own QFileDialog.
class QtDialogs : public Dialogs {
public:
    void Inform(QWidget* owner, const QString& text) override;
    bool Confirm(QWidget* owner, const QString& text) override;
    std::optional<QString> ChooseWorkbook(QWidget* owner, const QString& directory,
                                          const QString& previous) override;
};

// The title of every message box, "信息：".
QString MessageTitle();
// The name filter of the workbook dialog: its description "*.xls,*.xlsx" and, in
// parentheses, the patterns, which the dialog keeps out of sight.
QString WorkbookNameFilter();

} // namespace iploc
