#include "tests/gui/scripted_dialogs.h"

#include <QCoreApplication>
#include <QThread>

namespace iploc::test {
namespace {

bool OnGuiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

void ScriptedDialogs::SetNextConfirm(bool ok) {
    std::lock_guard lock(mutex_);
    confirms_.push_back(ok);
}

void ScriptedDialogs::SetNextFile(std::optional<QString> path) {
    std::lock_guard lock(mutex_);
    files_.push_back({path.has_value(), path.value_or(QString())});
}

void ScriptedDialogs::OnInform(std::function<void(const QString&)> action) {
    std::lock_guard lock(mutex_);
    onInform_ = std::move(action);
}

std::vector<DialogCall> ScriptedDialogs::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

QStringList ScriptedDialogs::Texts(DialogCall::Kind kind) const {
    QStringList texts;
    for (const DialogCall& call : Calls()) {
        if (call.kind == kind) texts.push_back(call.text);
    }
    return texts;
}

void ScriptedDialogs::Record(DialogCall call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

void ScriptedDialogs::Inform(QWidget* owner, const QString& text) {
    Record({DialogCall::Kind::Inform, text, {}, owner, OnGuiThread()});
    std::function<void(const QString&)> action;
    {
        std::lock_guard lock(mutex_);
        action = onInform_;
    }
    if (action) action(text);
}

bool ScriptedDialogs::Confirm(QWidget* owner, const QString& text) {
    Record({DialogCall::Kind::Confirm, text, {}, owner, OnGuiThread()});
    std::lock_guard lock(mutex_);
    if (confirms_.empty()) return false;
    const bool ok = confirms_.front();
    confirms_.pop_front();
    return ok;
}

std::optional<QString> ScriptedDialogs::ChooseWorkbook(QWidget* owner, const QString& directory,
                                                       const QString& previous) {
    Record({DialogCall::Kind::ChooseWorkbook, directory, previous, owner, OnGuiThread()});
    std::lock_guard lock(mutex_);
    if (files_.empty()) return std::nullopt;
    const ScriptedFile file = files_.front();
    files_.pop_front();
    if (!file.chosen) return std::nullopt;
    return file.path;
}

} // namespace iploc::test
