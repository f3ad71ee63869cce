// Start-up and clearing the store.
#include "app/messages.h"
#include "app/run_lock.h"
#include "tests/app/app_fixture.h"

#include <fstream>

namespace iploc::test {
namespace {

TEST_F(AppTest, FirstStartInAnEmptyDirectoryCreatesTheStore) {
    Start("127.0.0.1:1");
    EXPECT_TRUE(std::filesystem::exists(StoreFile()));
    EXPECT_EQ(window_.Texts(Kind::Caption), std::vector<Text>{T("当前数据库共0个数据")});
    EXPECT_EQ(window_.ButtonState(Button::Export), false);
    EXPECT_EQ(window_.ButtonState(Button::Batch), std::nullopt); // stays enabled
    EXPECT_TRUE(window_.Texts(Kind::Message).empty());
}

TEST_F(AppTest, StartWithStoredRecordsShowsTheCountAndKeepsExportEnabled) {
    Seed(37);
    Start("127.0.0.1:1");
    EXPECT_EQ(window_.Texts(Kind::Caption), std::vector<Text>{T("当前数据库共37个数据")});
    EXPECT_EQ(window_.ButtonState(Button::Export), std::nullopt);
}

TEST_F(AppTest, AStoreThatCannotBeCreatedIsReportedAndCountsZero) {
    // The program directory lies below a plain file, so nothing can be created there.
    const std::filesystem::path blocker = files_.path() / "plain-file";
    std::ofstream(blocker) << "x";
    app_ = std::make_unique<Application>(window_, Settings{"127.0.0.1:1", blocker / "home"});
    app_->OnCreated();
    ASSERT_EQ(window_.Texts(Kind::Message), std::vector<Text>{T("临时数据库创建不成功")});
    EXPECT_FALSE(window_.Events()[0].flag); // no owner window
    EXPECT_EQ(window_.Last(Kind::Caption), T("当前数据库共0个数据"));
    EXPECT_EQ(window_.ButtonState(Button::Export), false);
    // Clearing without a store still says it cleared and refreshes the caption.
    window_.AnswerNextConfirm(true);
    app_->OnClearClicked();
    EXPECT_EQ(window_.Last(Kind::Message), T("已清空当前数据库！"));
}

TEST_F(AppTest, ClearAnsweredWithCancelChangesNothing) {
    Seed(3);
    Start("127.0.0.1:1");
    window_.ClearEvents();
    window_.AnswerNextConfirm(false);
    app_->OnClearClicked();
    const std::vector<WindowEvent> events = window_.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::Confirm);
    EXPECT_EQ(events[0].text, T("确定清空数据库数据？"));
    EXPECT_EQ(Stored().size(), 3u);
}

TEST_F(AppTest, ClearAnsweredWithOkEmptiesTheStoreThenShowsTheCount) {
    Seed(3);
    Start("127.0.0.1:1");
    window_.ClearEvents();
    window_.AnswerNextConfirm(true);
    app_->OnClearClicked();
    const std::vector<WindowEvent> events = window_.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::Confirm);
    EXPECT_EQ(events[1].kind, Kind::Message);
    EXPECT_EQ(events[1].text, T("已清空当前数据库！"));
    EXPECT_TRUE(events[1].flag); // owned by the window
    EXPECT_EQ(events[2].kind, Kind::Caption);
    EXPECT_EQ(events[2].text, T("当前数据库共0个数据"));
    EXPECT_EQ(window_.ButtonState(Button::Export), std::nullopt); // untouched by clearing
    EXPECT_TRUE(Stored().empty());
}

TEST_F(AppTest, ClearIsRefusedWhileABatchRunHoldsTheStore) {
    // Another process's run holds the store's run lock.
    Seed(2);
    Start("127.0.0.1:1");
    std::optional<RunLock> otherRun = RunLock::TryAcquire(StoreFile());
    ASSERT_TRUE(otherRun);
    window_.ClearEvents();
    window_.AnswerNextConfirm(true);
    app_->OnClearClicked();
    EXPECT_EQ(window_.Texts(Kind::Message), std::vector<Text>{ClearRefusedMessage()});
    EXPECT_TRUE(window_.Texts(Kind::Confirm).empty());
    otherRun.reset();
    EXPECT_EQ(Stored().size(), 2u);
}

} // namespace
} // namespace iploc::test
