// A fixture for the workflow tests: a temporary program directory, a recording window,
// the application under test, and helpers for stores and workbooks.
#pragma once

#include "app/application.h"
#include "services/result_store.h"
#include "tests/app/child_process.h"
#include "tests/app/recording_window.h"
#include "tests/support/test_server.h"
#include "text/encoding.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace iploc::test {

using Kind = WindowEvent::Kind;

// Code page 936 text from a UTF-8 literal.
inline Text T(std::string_view utf8) {
    return Utf8ToText(utf8);
}

// The service's JSON answer with the five keys (UTF-8 values).
std::string AnswerJson(const std::string& ip, const std::array<std::string, 5>& values);

// Scripted answers: a body (with a status), a dropped connection, an answer that never comes.
inline ScriptedAnswer Body(std::string body, int status = 200) {
    ScriptedAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}
inline ScriptedAnswer Dropped() {
    ScriptedAnswer answer;
    answer.dropConnection = true;
    return answer;
}
inline ScriptedAnswer Stalled() {
    ScriptedAnswer answer;
    answer.delayBeforeHead = kStallForever;
    return answer;
}

// A TestServer over TLS that records the request targets it gets.
class RecordingServer {
public:
    explicit RecordingServer(std::function<ScriptedAnswer(const ReceivedRequest&)> handler);
    std::string HostPort() const { return server_.HostPort(); }
    std::vector<std::string> Targets() const;
    // The address part of each target ("/json?ip=" cut off).
    std::vector<std::string> Addresses() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    std::function<ScriptedAnswer(const ReceivedRequest&)> handler_;
    TestServer server_;
};

class AppTest : public ::testing::Test {
protected:
    void TearDown() override { app_.reset(); }

    // Creates the application for `host` and runs its window-created step.
    Application& Start(const std::string& host, LocalClock clock = ReadLocalClock);
    // Closes the application (as the window's destruction does) and returns the
    // records the store holds.
    std::vector<ResultRecord> Stored();
    // Writes a store with `count` records before the application starts.
    void Seed(int count);
    // An .xlsx in the program directory's sibling folder with `column` in A1, A2, ...
    std::filesystem::path Workbook(const std::vector<std::optional<std::string>>& column,
                                   const std::vector<std::pair<std::string, std::string>>& extra = {});
    // Starts a batch run and waits for it to end.
    BatchReport RunBatch(const std::filesystem::path& workbook);

    std::filesystem::path StoreFile() const { return home_.path() / "数据暂存库.edb"; }

    TempDir home_;
    TempDir files_;
    RecordingWindow window_;
    std::unique_ptr<Application> app_;
};

} // namespace iploc::test
