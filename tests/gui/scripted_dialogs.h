// Dialogs for the window tests: every box and file dialog the window asks for is
// recorded, and the answers come from a script set up by the test.
#pragma once

#include "app/gui/dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

class QWidget;

namespace iploc::test {

struct DialogCall {
    enum class Kind { Inform, Confirm, ChooseWorkbook };
    Kind kind;
    QString text;     // the message, or the directory of the file dialog
    QString previous; // the file dialog's pre-filled path
    QWidget* owner;   // nullptr for a box without owner window
    bool onGuiThread; // shown on the application's (UI) thread
};

class ScriptedDialogs : public Dialogs {
public:
    // The next Confirm's answer (true: 确定); unscripted confirmations answer 取消.
    void SetNextConfirm(bool ok);
    // The next file dialog's answer: a path, or nullopt for a cancel; unscripted ones cancel.
    void SetNextFile(std::optional<QString> path);
    // Runs inside every Inform, before it returns (as the user dismisses the box).
    void OnInform(std::function<void(const QString& text)> action);

    std::vector<DialogCall> Calls() const;
    QStringList Texts(DialogCall::Kind kind) const;

    void Inform(QWidget* owner, const QString& text) override;
    bool Confirm(QWidget* owner, const QString& text) override;
    std::optional<QString> ChooseWorkbook(QWidget* owner, const QString& directory,
                                          const QString& previous) override;

private:
    void Record(DialogCall call);

    mutable std::mutex mutex_;
    std::vector<DialogCall> calls_;
    std::deque<bool> confirms_;
    struct ScriptedFile {
        bool chosen; // false: the dialog is cancelled
        QString path;
    };
    std::deque<ScriptedFile> files_;
    std::function<void(const QString&)> onInform_;
};

} // namespace iploc::test
