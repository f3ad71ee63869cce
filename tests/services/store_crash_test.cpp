// A child process appends records and is killed with SIGKILL at random moments: every
// record whose append returned must be there, in order and whole, and nothing else.
#include "crash_record.h"
#include "store_test_support.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace iploc::store_test {
namespace {

using Clock = std::chrono::steady_clock;

std::filesystem::path ChildProgram() {
    const char* binDir = std::getenv("IPLOC_BIN_DIR");
    const std::filesystem::path dir = (binDir && *binDir)
                                          ? std::filesystem::path(binDir)
                                          : std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return dir / "store_crash_child";
}

// Appends what can be read from `fd` to `output` until `deadline`, or until end of file
// when `deadline` is empty.
void ReadOutput(int fd, std::string& output, std::optional<Clock::time_point> deadline) {
    char buffer[4096];
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0) return;
            timeoutMs = static_cast<int>(left.count());
        }
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, timeoutMs) <= 0) continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return;
        output.append(buffer, static_cast<std::size_t>(got));
    }
}

struct ChildRun {
    std::vector<std::int64_t> reported; // record numbers whose append returned
    int status = 0;
};

// Runs the child on `file` for `runFor`, kills it with SIGKILL and collects what it printed.
ChildRun RunAndKill(const std::filesystem::path& program, const std::filesystem::path& file,
                    std::chrono::microseconds runFor) {
    ChildRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string programText = program.string(), fileText = file.string();
    char* argv[] = {programText.data(), fileText.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, programText.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string output;
    if (spawned == 0) {
        ReadOutput(fds[0], output, Clock::now() + runFor);
        ::kill(pid, SIGKILL);
        ReadOutput(fds[0], output, std::nullopt);
        ::waitpid(pid, &run.status, 0);
    }
    ::close(fds[0]);
    // A line cut short by the kill is not a report.
    TextList lines = Split(output, "\n");
    if (!lines.empty() && !EndsWith(output, "\n")) lines.pop_back();
    for (const Text& line : lines)
        run.reported.push_back(std::stoll(line));
    return run;
}

class StoreCrashTest : public StoreTest {
protected:
    // Every record from `from` (1-based) to the end equals the record the child made for its number.
    void ExpectWholeRecordsFrom(std::int64_t from) {
        const std::int64_t count = Store().RecordCount();
        ASSERT_TRUE(Store().GoToFirst() || count == 0);
        Store().Skip(from - 1);
        for (std::int64_t k = from; k <= count; ++k, Store().Skip())
            ASSERT_EQ(ReadCurrent(), crash_test::StoredRecordNumber(k)) << "record " << k;
    }
};

TEST_F(StoreCrashTest, RecordsWhoseAppendReturnedSurviveSigkill) {
    const auto program = ChildProgram();
    ASSERT_TRUE(std::filesystem::exists(program)) << program;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> runForUs(0, 200000);

    std::int64_t stored = 0;
    for (int trial = 1; trial <= 20; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const ChildRun run = RunAndKill(program, file_, std::chrono::microseconds(runForUs(random)));
        ASSERT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL) << "status " << run.status;
        for (std::size_t i = 0; i < run.reported.size(); ++i)
            ASSERT_EQ(run.reported[i], stored + 1 + static_cast<std::int64_t>(i)) << "numbers run on";
        const std::int64_t confirmed = run.reported.empty() ? stored : run.reported.back();

        if (!Store().Open(file_, Alias())) {
            ASSERT_EQ(confirmed, 0) << "only a child killed before it made the store leaves none";
            continue;
        }
        const std::int64_t count = Store().RecordCount();
        EXPECT_GE(count, confirmed) << "a record whose append returned is lost";
        EXPECT_LE(count, confirmed + 1) << "at most the append in flight may have landed";
        ExpectWholeRecordsFrom(stored + 1);
        stored = count;
        ASSERT_TRUE(Store().Close(Alias()));
    }
    ASSERT_TRUE(Store().Open(file_, Alias()));
    ExpectWholeRecordsFrom(1);
    EXPECT_GT(stored, 0) << "the children never got to append";
    std::printf("%lld records appended over the trials\n", static_cast<long long>(stored));
}

} // namespace
} // namespace iploc::store_test
