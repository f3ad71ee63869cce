// The single lookup.
#include "tests/app/app_fixture.h"

#include <atomic>
#include <set>
#include <thread>

namespace iploc::test {
namespace {

using namespace std::chrono_literals;

std::filesystem::path Ranges() {
    return std::filesystem::path(IPLOC_TEST_DATA_DIR) / "app" / "ranges.csv";
}

bool HasLabel(const std::vector<WindowEvent>& events) {
    for (const auto& e : events) {
        if (e.kind == Kind::Label) return true;
    }
    return false;
}

TEST_F(AppTest, SingleLookupShowsTheFiveValuesJoinedAndEmptiesTheEditBox) {
    ServiceProcess service(Ranges());
    Start(service.HostPort());
    window_.ClearEvents();
    app_->OnLookupClicked("36.1.1.7");
    app_->WaitForWorkers();
    const std::vector<WindowEvent> events = window_.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, Kind::Label);
    EXPECT_EQ(events[0].text, T("中国广东深圳南山电信"));
    EXPECT_EQ(events[1].kind, Kind::Edit);
    EXPECT_EQ(events[1].text, "");
}

TEST_F(AppTest, SingleLookupSendsTheAddressAsTypedAndShowsWhatTheAnswerHolds) {
    RecordingServer server([](const ReceivedRequest& request) {
        ScriptedAnswer answer;
        if (request.target == "/json?ip=") {
            answer.body = AnswerJson("", {"E1", "E2", "E3", "E4", "E5"});
        } else {
            // "city" is missing: the others are shown, joined.
            answer.body = R"({"ip":"x","country":"A","province":"B","area":"D","isp":"E"})";
        }
        return answer;
    });
    Start(server.HostPort());
    app_->OnLookupClicked("");
    app_->WaitForWorkers();
    EXPECT_EQ(window_.Last(Kind::Label), "E1E2E3E4E5");
    app_->OnLookupClicked(" 10.0.0.1 ");
    app_->WaitForWorkers();
    EXPECT_EQ(window_.Last(Kind::Label), "ABDE");
    // Blanks travel as read (percent-encoded on the wire); nothing is trimmed.
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/json?ip=", "/json?ip=%2010.0.0.1%20"}));
}

TEST_F(AppTest, SingleLookupWithoutAnswerChangesNothing) {
    struct Case {
        const char* name;
        std::function<ScriptedAnswer(const ReceivedRequest&)> answer;
    } cases[] = {
        {"not JSON", [](const ReceivedRequest&) { return Body("<html>busy", 500); }},
        {"empty", [](const ReceivedRequest&) { return ScriptedAnswer{}; }},
        {"dropped", [](const ReceivedRequest&) { return Dropped(); }},
    };
    for (const auto& c : cases) {
        RecordingServer server(c.answer);
        Start(server.HostPort());
        window_.ClearEvents();
        app_->OnLookupClicked("10.0.0.1");
        app_->WaitForWorkers();
        EXPECT_TRUE(window_.Events().empty()) << c.name;
        EXPECT_EQ(server.Targets().size(), 1u) << c.name;
        app_.reset();
    }
    // No service at all.
    Start("127.0.0.1:" + std::to_string(UnusedPort()));
    window_.ClearEvents();
    app_->OnLookupClicked("10.0.0.1");
    app_->WaitForWorkers();
    EXPECT_TRUE(window_.Events().empty());
}

TEST_F(AppTest, EachClickLooksUpTheAddressItWasMadeWith) {
    // The first answer is held back until the second click has been made.
    std::atomic<bool> secondClicked{false};
    RecordingServer server([&](const ReceivedRequest& request) {
        const std::string ip = request.target.substr(request.target.find('=') + 1);
        if (ip == "10.0.0.1") {
            for (int i = 0; i < 500 && !secondClicked; ++i)
                std::this_thread::sleep_for(10ms);
        }
        return Body(AnswerJson(ip, {ip, "", "", "", ""}));
    });
    Start(server.HostPort());
    app_->OnLookupClicked("10.0.0.1");
    app_->OnLookupClicked("10.0.0.2");
    ASSERT_TRUE(window_.WaitUntil([](const auto& events) { return HasLabel(events); }));
    secondClicked = true;
    app_->WaitForWorkers();
    // Both addresses were asked for, and the label ends with the one that finished last.
    const std::vector<std::string> targets = server.Targets();
    EXPECT_EQ(std::set<std::string>(targets.begin(), targets.end()),
              (std::set<std::string>{"/json?ip=10.0.0.1", "/json?ip=10.0.0.2"}));
    EXPECT_EQ(window_.Texts(Kind::Label), (std::vector<Text>{"10.0.0.2", "10.0.0.1"}));
}

TEST_F(AppTest, ClosingTheWindowAbortsALookupInFlight) {
    RecordingServer server([](const ReceivedRequest&) { return Stalled(); });
    Start(server.HostPort());
    app_->OnLookupClicked("10.0.0.1");
    while (server.Targets().empty())
        std::this_thread::sleep_for(5ms);
    const auto start = std::chrono::steady_clock::now();
    app_->OnAboutToBeDestroyed();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s); // bounds a hang
    EXPECT_FALSE(window_.Last(Kind::Label));
}

} // namespace
} // namespace iploc::test
