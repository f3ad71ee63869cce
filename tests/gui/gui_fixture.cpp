#include "tests/gui/gui_fixture.h"

#include "app/store_access.h"
#include "text/text.h"

#include <QTest>
#include <QTimer>
#include <fstream>
#include <stdexcept>

namespace iploc::test {

GuiHome::GuiHome() : unusedHost_("127.0.0.1:" + std::to_string(UnusedPort())) {}

iploc::Settings GuiHome::SettingsFor(std::string host) const {
    return {host.empty() ? unusedHost_ : std::move(host), dir_.path()};
}

void SeedStore(const std::filesystem::path& storeFile, int count) {
    StoreAccess store;
    if (!store.OpenOrCreate(storeFile, StoreAlias())) throw std::runtime_error("cannot create the store");
    for (int i = 1; i <= count; ++i) {
        const Text n = NumberText(i);
        if (!store.Append({"10.0.0." + n, "c" + n, "p" + n, "ci" + n, "a" + n, "i" + n}))
            throw std::runtime_error("cannot append to the store");
    }
    store.Close(StoreAlias());
}

std::vector<ResultRecord> StoredRecords(const std::filesystem::path& storeFile) {
    StoreAccess store;
    if (!store.OpenOrCreate(storeFile, StoreAlias())) return {};
    std::vector<ResultRecord> records = store.Snapshot();
    store.Close(StoreAlias());
    return records;
}

void OnNextModal(std::function<void(QWidget&)> action) {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action(*modal);
    });
    timer->start();
}

TestWindow::TestWindow(const iploc::Settings& settings)
    : window(std::make_unique<MainWindow>(settings, dialogs)) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) throw std::runtime_error("the window was not shown");
}

std::filesystem::path WriteRanges(const std::filesystem::path& dir) {
    const std::filesystem::path path = dir / "ranges.csv";
    std::ofstream out(path);
    out << "start,end,country,province,city,area,isp\n"
        << "1.2.3.0,1.2.3.255,中国,广东省,深圳市,南山区,电信\n";
    return path;
}

QString RangeResultText() {
    return U("中国广东省深圳市南山区电信");
}

} // namespace iploc::test
