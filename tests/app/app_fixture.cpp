#include "tests/app/app_fixture.h"

#include "app/store_access.h"
#include "tests/app/workbook_files.h"

#include <nlohmann/json.hpp>

namespace iploc::test {

std::string AnswerJson(const std::string& ip, const std::array<std::string, 5>& values) {
    nlohmann::ordered_json answer;
    answer["ip"] = ip;
    for (std::size_t i = 0; i < values.size(); ++i)
        answer[TextToUtf8(AnswerKeys()[i])] = values[i];
    return answer.dump();
}

RecordingServer::RecordingServer(std::function<ScriptedAnswer(const ReceivedRequest&)> handler)
    : handler_(std::move(handler)),
      server_(TestServer::Transport::Tls, [this](const ReceivedRequest& request) {
          {
              std::lock_guard lock(mutex_);
              targets_.push_back(request.target);
          }
          return handler_(request);
      }) {}

std::vector<std::string> RecordingServer::Targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

std::vector<std::string> RecordingServer::Addresses() const {
    std::vector<std::string> addresses;
    for (const std::string& target : Targets()) {
        const std::string prefix = "/json?ip=";
        addresses.push_back(target.rfind(prefix, 0) == 0 ? target.substr(prefix.size()) : "<" + target + ">");
    }
    return addresses;
}

Application& AppTest::Start(const std::string& host, LocalClock clock) {
    app_ = std::make_unique<Application>(window_, Settings{host, home_.path()}, std::move(clock));
    app_->OnCreated();
    return *app_;
}

std::vector<ResultRecord> AppTest::Stored() {
    app_.reset();
    StoreAccess store;
    if (!store.OpenOrCreate(StoreFile(), StoreAlias())) return {};
    std::vector<ResultRecord> records = store.Snapshot();
    store.Close(StoreAlias());
    return records;
}

void AppTest::Seed(int count) {
    StoreAccess store;
    ASSERT_TRUE(store.OpenOrCreate(StoreFile(), StoreAlias()));
    for (int i = 1; i <= count; ++i) {
        const Text n = NumberText(i);
        ASSERT_TRUE(store.Append({"10.9.9." + n, "c" + n, "p" + n, "ci" + n, "a" + n, "i" + n}));
    }
    store.Close(StoreAlias());
}

std::filesystem::path AppTest::Workbook(const std::vector<std::optional<std::string>>& column,
                                        const std::vector<std::pair<std::string, std::string>>& extra) {
    static int made = 0;
    const std::filesystem::path path = files_.path() / ("input" + std::to_string(++made) + ".xlsx");
    WriteColumnA(path, column, extra);
    return path;
}

BatchReport AppTest::RunBatch(const std::filesystem::path& workbook) {
    app_->OnBatchClicked(T(workbook.string()));
    app_->WaitForWorkers();
    return app_->LastBatchReport().value_or(BatchReport{});
}

} // namespace iploc::test
