#include "app/gui/pending_writes.h"

#include <utility>

namespace iploc {

template <typename Write>
bool PendingWrites::Add(Write&& write) {
    std::lock_guard lock(mutex_);
    write(changes_);
    return !std::exchange(waiting_, true);
}

bool PendingWrites::SetCaption(QString caption) {
    return Add([&](Changes& changes) { changes.caption = std::move(caption); });
}

bool PendingWrites::SetLabel(QString text) {
    return Add([&](Changes& changes) { changes.label = std::move(text); });
}

bool PendingWrites::SetEdit(QString text) {
    return Add([&](Changes& changes) { changes.edit = std::move(text); });
}

bool PendingWrites::SetButtonEnabled(Button button, bool enabled) {
    return Add([&](Changes& changes) { changes.buttonsEnabled[button] = enabled; });
}

PendingWrites::Changes PendingWrites::Take() {
    std::lock_guard lock(mutex_);
    waiting_ = false;
    return std::exchange(changes_, Changes{});
}

} // namespace iploc
