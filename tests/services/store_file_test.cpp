// What the store does with a file at its path that it did not write, or cannot use.
#include "services/result_store.h"
#include "services/store_file.h"
#include "store_test_support.h"

#include <gtest/gtest.h>
#include <regex>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

namespace iploc::store_test {
namespace {

// Runs `sql` on a new database at `file` through SQLite directly.
void MakeSqliteFile(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class StoreFileTest : public StoreTest {
protected:
    // A closed store of ours holding `records` records.
    void MakeStore(int records) {
        CreateAndOpen();
        const ResultRecord record = {"10.0.0.1", Text(50, 'c'), Text(50, 'p'), "", "", ""};
        for (int n = 0; n < records; ++n)
            ASSERT_TRUE(Store().AppendRecord(record));
        ASSERT_TRUE(Store().Close(Alias()));
    }

    // Opening fails, the file (with its "-wal" companion when `walBytes` is given) is moved aside with its
    // bytes intact and a note on stderr, and a new store can then be made at the path.
    void ExpectMovedAside(const std::string& bytes, const std::string& walBytes = {}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Store().Open(file_, Alias()));
        const std::string note = testing::internal::GetCapturedStderr();
        EXPECT_NE(note.find("moved it aside"), std::string::npos) << note;

        EXPECT_FALSE(std::filesystem::exists(file_));
        const auto aside = NamesStartingWith(dir_, "数据暂存库.edb.unreadable-");
        ASSERT_FALSE(aside.empty());
        static const std::regex kName(R"(数据暂存库\.edb\.unreadable-\d{8}-\d{6}(-\d+)?)");
        EXPECT_TRUE(std::regex_match(aside.front(), kName)) << aside.front();
        EXPECT_EQ(ReadFileBytes(dir_ / aside.front()), bytes);
        if (!walBytes.empty()) {
            EXPECT_EQ(ReadFileBytes(dir_ / (aside.front() + "-wal")), walBytes);
        }
        EXPECT_FALSE(std::filesystem::exists(file_.string() + "-wal"));

        ASSERT_TRUE(Store().Create(file_, ResultFields()));
        ASSERT_TRUE(Store().Open(file_, Alias()));
        EXPECT_EQ(Store().RecordCount(), 0);
    }
};

TEST_F(StoreFileTest, TextFileIsMovedAsideWithItsCompanion) {
    WriteFileBytes(file_, "ip,country\n1.2.3.4,cn\n");
    WriteFileBytes(file_.string() + "-wal", "not a journal");
    ExpectMovedAside("ip,country\n1.2.3.4,cn\n", "not a journal");
}

TEST_F(StoreFileTest, EmptyFileIsMovedAside) {
    WriteFileBytes(file_, "");
    ExpectMovedAside("");
}

TEST_F(StoreFileTest, OtherSqliteDatabaseIsMovedAside) {
    MakeSqliteFile(file_, "CREATE TABLE notes(body TEXT); INSERT INTO notes VALUES('keep me');");
    ExpectMovedAside(ReadFileBytes(file_));
}

TEST_F(StoreFileTest, DatabaseWithOurMarkerButNoRecordTableIsMovedAside) {
    MakeSqliteFile(file_,
                   "PRAGMA application_id = " + std::to_string(store_file::kStoreApplicationId) +
                       "; PRAGMA user_version = 1;"
                       "CREATE TABLE store_fields(position INTEGER PRIMARY KEY, name TEXT, max_length INT);"
                       "INSERT INTO store_fields VALUES(1, 'ip', 20);");
    ExpectMovedAside(ReadFileBytes(file_));
}

TEST_F(StoreFileTest, TruncatedStoreIsMovedAside) {
    MakeStore(2000);
    std::string bytes = ReadFileBytes(file_);
    ASSERT_GT(bytes.size(), 16384u);
    bytes.resize(bytes.size() / 2);
    WriteFileBytes(file_, bytes);
    ExpectMovedAside(bytes);
}

TEST_F(StoreFileTest, StoreWithDamagedPagesIsMovedAside) {
    MakeStore(2000);
    std::string bytes = ReadFileBytes(file_);
    ASSERT_GT(bytes.size(), 8u * 4096);
    for (std::size_t i = 4 * 4096; i < 6 * 4096; ++i)
        bytes[i] = static_cast<char>(0xA5);
    WriteFileBytes(file_, bytes);
    ExpectMovedAside(bytes);
}

TEST_F(StoreFileTest, EveryMoveGetsItsOwnName) {
    for (const char* junk : {"first", "second", "third"}) {
        WriteFileBytes(file_, junk);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Store().Open(file_, Alias()));
        testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> kept;
    for (const auto& name : NamesStartingWith(dir_, "数据暂存库.edb.unreadable-"))
        kept.push_back(ReadFileBytes(dir_ / name));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(StoreFileTest, OrphanJournalIsMovedAsideBeforeANewStoreIsMade) {
    WriteFileBytes(file_.string() + "-wal", "frames of another file");
    EXPECT_FALSE(Store().Open(file_, Alias()));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(Store().Create(file_, ResultFields()));
    testing::internal::GetCapturedStderr();
    const auto aside = NamesStartingWith(dir_, "数据暂存库.edb.unreadable-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(dir_ / aside.front()), "frames of another file");
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(Store().RecordCount(), 0);
}

// Files the store cannot judge or use now are left exactly where they are.
TEST_F(StoreFileTest, LeavesAloneWhatItCannotUse) {
    std::filesystem::create_directory(file_);
    EXPECT_FALSE(Store().Open(file_, Alias()));
    EXPECT_FALSE(Store().Create(file_, ResultFields()));
    EXPECT_TRUE(std::filesystem::is_directory(file_));
    std::filesystem::remove(file_);

    MakeStore(3);
    MakeSqliteFile(file_, "PRAGMA user_version = 2");
    EXPECT_FALSE(Store().Open(file_, Alias())) << "a store written by a newer version";
    EXPECT_FALSE(Store().Create(file_, ResultFields()));
    MakeSqliteFile(file_, "PRAGMA user_version = 1");
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(Store().RecordCount(), 3);
    ASSERT_TRUE(Store().Close(Alias()));

    std::filesystem::permissions(file_, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    if (::access(file_.c_str(), W_OK) != 0) { // root may write anyway
        EXPECT_FALSE(Store().Open(file_, Alias())) << "a store that cannot be written";
    }
    std::filesystem::permissions(file_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    EXPECT_TRUE(NamesStartingWith(dir_, "数据暂存库.edb.").empty());
}

// Another process holding the store locked makes Open fail; the store stays where it is.
TEST_F(StoreFileTest, LockedStoreIsNotMovedAside) {
    MakeStore(3);
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    EXPECT_FALSE(Store().Open(file_, Alias()));
    EXPECT_FALSE(Store().Create(file_, ResultFields()));
    sqlite3_close(holder);

    EXPECT_TRUE(NamesStartingWith(dir_, "数据暂存库.edb.").empty());
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(Store().RecordCount(), 3);
}

} // namespace
} // namespace iploc::store_test
