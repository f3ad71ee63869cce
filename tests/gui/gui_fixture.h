// Helpers for the window tests: a temporary program directory, stores seeded before the
// window starts, the form's widgets by control name, and driving modal boxes.
#pragma once

#include "app/gui/main_window.h"
#include "app/settings.h"
#include "services/result_store.h"
#include "tests/app/child_process.h"
#include "tests/gui/scripted_dialogs.h"

#include <QApplication>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace iploc::test {

// A QString from a UTF-8 literal.
inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A fresh program directory. The service host defaults to a port where nothing listens.
class GuiHome {
public:
    GuiHome();
    iploc::Settings SettingsFor(std::string host = {}) const;
    const std::filesystem::path& Directory() const { return dir_.path(); }
    std::filesystem::path StoreFile() const { return dir_.path() / "数据暂存库.edb"; }

private:
    TempDir dir_;
    std::string unusedHost_;
};

// Writes `count` records into the store file before a window opens it.
void SeedStore(const std::filesystem::path& storeFile, int count);
// The records of the store file; call it only while no window has the store open.
std::vector<ResultRecord> StoredRecords(const std::filesystem::path& storeFile);

// The form's widget of that control name, or nullptr.
template <typename Widget>
Widget* Control(QWidget& window, const char* name) {
    return window.findChild<Widget*>(U(name));
}

// Runs `action` on the next modal box or dialog once it is shown (polling the event loop),
// so a test can answer a box that the code under test shows with exec().
void OnNextModal(std::function<void(QWidget& modal)> action);

// A window under test with scripted dialogs, shown, at its place.
struct TestWindow {
    explicit TestWindow(const iploc::Settings& settings);
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

// A range table for iploc-service with the one range 1.2.3.0-1.2.3.255 and the values
// 中国 / 广东省 / 深圳市 / 南山区 / 电信, written into `dir`.
std::filesystem::path WriteRanges(const std::filesystem::path& dir);
// What the label shows for an address of that range.
QString RangeResultText();

} // namespace iploc::test
