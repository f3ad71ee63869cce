// Writes to the window's controls, made on any thread and applied on the UI thread.
//
// Each control keeps only its latest pending value, so a burst of caption updates from a
// fast batch run costs one repaint, and the value written last is always the one shown.
// Values of different controls are applied together, in one pass.
#pragma once

#include "app/main_window_interface.h"

#include <QString>
#include <map>
#include <mutex>
#include <optional>

namespace iploc {

class PendingWrites {
public:
    struct Changes {
        std::optional<QString> caption;
        std::optional<QString> label;
        std::optional<QString> edit;
        std::map<Button, bool> buttonsEnabled;
    };

    // Each returns true when this is the first write since the last Take, i.e. when the
    // caller has to arrange for a Take on the UI thread.
    bool SetCaption(QString caption);
    bool SetLabel(QString text);
    bool SetEdit(QString text);
    bool SetButtonEnabled(Button button, bool enabled);

    // Everything written since the last Take, which is left empty.
    Changes Take();

private:
    template <typename Write>
    bool Add(Write&& write);

    std::mutex mutex_;
    Changes changes_;
    bool waiting_ = false;
};

} // namespace iploc
