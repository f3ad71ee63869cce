#include "services/result_store.h"
#include "store_test_support.h"
#include "text/encoding.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace iploc::store_test {
namespace {

const Text kZhong = "\xD6\xD0"; // 中 in code page 936

ResultRecord Sample(int n) {
    const Text tag = NumberText(n);
    return {"10.0.0." + tag,
            Utf8ToText("中国") + tag,
            Utf8ToText("广东") + tag,
            Utf8ToText("深圳") + tag,
            "",
            Utf8ToText("电信") + tag};
}

TEST_F(StoreTest, CreateWritesAnEmptyStoreWithoutOpeningIt) {
    EXPECT_FALSE(Store().Open(file_, Alias())) << "nothing to open yet";
    EXPECT_FALSE(std::filesystem::exists(file_)) << "open must not create the file";

    ASSERT_TRUE(Store().Create(file_, ResultFields()));
    EXPECT_TRUE(std::filesystem::is_regular_file(file_));
    EXPECT_FALSE(Store().IsOpen());
    EXPECT_EQ(Store().RecordCount(), 0);

    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(Store().RecordCount(), 0);
    EXPECT_FALSE(Store().GoToFirst());
    ASSERT_TRUE(Store().AppendRecord(Sample(1)));
    EXPECT_FALSE(Store().Create(file_, ResultFields())) << "an existing store is never replaced";
    EXPECT_EQ(Store().RecordCount(), 1);
    EXPECT_TRUE(NamesStartingWith(dir_, "数据暂存库.edb.").empty());
}

TEST_F(StoreTest, CreateRefusesUnusableFieldLists) {
    const std::vector<std::vector<FieldSpec>> lists = {
        {},          {{"ip", 20}, {"", 50}}, {{"ip", 20}, {"IP", 50}},
        {{"ip", 0}}, {{"rec_no", 10}},       {{Text("a\0b", 3), 10}},
    };
    for (const auto& fields : lists) {
        EXPECT_FALSE(Store().Create(file_, fields)) << fields.size() << " fields";
        EXPECT_FALSE(std::filesystem::exists(file_));
    }
}

TEST_F(StoreTest, NavigatesInStoreOrder) {
    CreateAndOpen();
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(Store().AppendRecord(Sample(n)));
    EXPECT_EQ(Store().RecordCount(), 3);

    ASSERT_TRUE(Store().GoToFirst());
    EXPECT_EQ(ReadCurrent(), Sample(1));
    EXPECT_TRUE(Store().Skip());
    EXPECT_EQ(ReadCurrent(), Sample(2));
    EXPECT_TRUE(Store().Skip(0));
    EXPECT_EQ(ReadCurrent(), Sample(2));
    EXPECT_FALSE(Store().Skip(-1)) << "only forward";
    EXPECT_EQ(ReadCurrent(), Sample(2));

    // An append does not move the current record, so an export walking the store is not disturbed.
    ASSERT_TRUE(Store().AppendRecord(Sample(4)));
    EXPECT_EQ(ReadCurrent(), Sample(2));
    EXPECT_EQ(Store().RecordCount(), 4);

    EXPECT_TRUE(Store().Skip(2));
    EXPECT_EQ(ReadCurrent(), Sample(4));
    EXPECT_TRUE(Store().Skip()) << "to one past the last record";
    EXPECT_EQ(Store().ReadField("ip"), "");
    EXPECT_FALSE(Store().WriteField("ip", "1.1.1.1")) << "no current record past the end";
    EXPECT_FALSE(Store().Skip());

    ASSERT_TRUE(Store().GoToFirst());
    EXPECT_TRUE(Store().Skip(100)) << "stops one past the last record";
    EXPECT_EQ(ReadCurrent(), ResultRecord{});
}

TEST_F(StoreTest, BlankRecordTakesFieldWritesAndKeepsThemAfterReopening) {
    CreateAndOpen();
    ASSERT_TRUE(Store().AppendRecord(Sample(1)));
    ASSERT_TRUE(Store().AddBlankRecord());
    EXPECT_EQ(Store().RecordCount(), 2);
    EXPECT_EQ(ReadCurrent(), ResultRecord{}) << "the blank record is current";

    EXPECT_TRUE(Store().WriteField("IP", "1.2.3.4")) << "field names ignore ASCII case";
    EXPECT_TRUE(Store().WriteField("isp", Utf8ToText("联通")));
    EXPECT_TRUE(Store().WriteField("isp", Utf8ToText("移动"))) << "a second write replaces the first";
    EXPECT_FALSE(Store().WriteField("zip", "1"));
    EXPECT_EQ(Store().ReadField("zip"), "");
    EXPECT_EQ(Store().ReadField("ip"), "1.2.3.4");

    ASSERT_TRUE(Store().Close(Alias()));
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(ReadCurrent(), Sample(1)) << "opening makes the first record current";
    ASSERT_TRUE(Store().Skip());
    EXPECT_EQ(ReadCurrent(), (ResultRecord{"1.2.3.4", "", "", "", "", Utf8ToText("移动")}));
}

TEST_F(StoreTest, CutsValuesToTheirWidthsWithoutSplittingACharacter) {
    auto zhong = [](int count) {
        Text text;
        for (int i = 0; i < count; ++i)
            text += kZhong;
        return text;
    };
    const Text a19(19, 'a'), a49(49, 'a');
    struct Case {
        const char* field;
        Text value, stored;
    } cases[] = {
        {"ip", Text(20, '1'), Text(20, '1')},
        {"ip", Text(21, '1'), Text(20, '1')},
        {"ip", a19 + kZhong, a19}, // 中 would straddle byte 20
        {"ip", Text(18, 'a') + kZhong + "b", Text(18, 'a') + kZhong},
        {"country", zhong(25), zhong(25)},
        {"country", zhong(26), zhong(25)},
        {"country", "a" + zhong(25), "a" + zhong(24)}, // the cut at 50 would split the last 中
        {"city", a49 + kZhong, a49},
        {"area", "ab\x81", "ab\x81"}, // a lone lead byte that fits stays
        {"isp", Text("\x80\xFF\x01 \t\r\n", 7), Text("\x80\xFF\x01 \t\r\n", 7)}, // bytes kept exactly
    };
    CreateAndOpen();
    for (const Case& c : cases) {
        ASSERT_TRUE(Store().AddBlankRecord());
        ASSERT_TRUE(Store().WriteField(c.field, c.value));
        ResultRecord whole{};
        for (std::size_t i = 0; i < whole.size(); ++i)
            if (ResultFields()[i].name == c.field) whole[i] = c.value;
        ASSERT_TRUE(Store().AppendRecord(whole));
    }
    ASSERT_TRUE(Store().Close(Alias()));
    ASSERT_TRUE(Store().Open(file_, Alias()));
    for (const Case& c : cases) {
        EXPECT_EQ(Store().ReadField(c.field), c.stored) << c.field << " written field by field: " << c.value;
        Store().Skip();
        EXPECT_EQ(Store().ReadField(c.field), c.stored) << c.field << " appended whole: " << c.value;
        Store().Skip();
    }
}

std::uintmax_t StoreBytes(const std::filesystem::path& file) {
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal"}) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file.string() + suffix, error);
        if (!error) total += size;
    }
    return total;
}

TEST_F(StoreTest, ClearRemovesEveryRecordAndShrinksTheFile) {
    EXPECT_FALSE(Store().Clear()) << "no store open";
    CreateAndOpen();
    const ResultRecord wide = {Text(20, '9'), Text(50, 'c'), Text(50, 'p'),
                               Text(50, 'y'), Text(50, 'a'), Text(50, 'i')};
    for (int n = 0; n < 3000; ++n)
        ASSERT_TRUE(Store().AppendRecord(wide));
    ASSERT_TRUE(Store().GoToFirst());
    const auto before = StoreBytes(file_);

    ASSERT_TRUE(Store().Clear());
    EXPECT_EQ(Store().RecordCount(), 0);
    EXPECT_EQ(Store().ReadField("ip"), "") << "the cleared record is no longer current";
    EXPECT_FALSE(Store().GoToFirst());
    const auto after = StoreBytes(file_);
    EXPECT_LT(after * 20, before) << before << " bytes before, " << after << " after";

    ASSERT_TRUE(Store().AppendRecord(Sample(7)));
    ASSERT_TRUE(Store().Close(Alias()));
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(Store().RecordCount(), 1);
    EXPECT_EQ(ReadCurrent(), Sample(7));
}

TEST_F(StoreTest, ClosesOnlyUnderItsAliasAndThenDoesNothing) {
    CreateAndOpen();
    ASSERT_TRUE(Store().AppendRecord(Sample(1)));
    EXPECT_FALSE(Store().Close("other"));
    EXPECT_TRUE(Store().IsOpen());
    ASSERT_TRUE(Store().Close(Alias()));
    EXPECT_FALSE(Store().IsOpen());
    EXPECT_FALSE(Store().Close(Alias()));

    EXPECT_EQ(Store().RecordCount(), 0);
    EXPECT_FALSE(Store().GoToFirst());
    EXPECT_FALSE(Store().Skip());
    EXPECT_FALSE(Store().AddBlankRecord());
    EXPECT_FALSE(Store().WriteField("ip", "1"));
    EXPECT_EQ(Store().ReadField("ip"), "");
    EXPECT_FALSE(Store().AppendRecord(Sample(2)));
    EXPECT_FALSE(Store().Clear());

    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_EQ(Store().RecordCount(), 1);
    EXPECT_EQ(ReadCurrent(), Sample(1));
}

TEST_F(StoreTest, OneStoreAtATime) {
    const auto other = dir_ / "other.edb";
    CreateAndOpen();
    ASSERT_TRUE(Store().AppendRecord(Sample(1)));
    ASSERT_TRUE(Store().Create(other, ResultFields()));

    EXPECT_FALSE(Store().Open(dir_ / "missing.edb", "b"));
    EXPECT_EQ(Store().RecordCount(), 1) << "a failed open keeps the open store";

    ASSERT_TRUE(Store().Open(other, "b"));
    EXPECT_EQ(Store().RecordCount(), 0) << "the newly opened store is the one acted on";
    EXPECT_FALSE(Store().Close(Alias()));
    EXPECT_TRUE(Store().Close("b"));
}

TEST_F(StoreTest, StoreWithOtherFieldsTakesNoResultRecords) {
    ASSERT_TRUE(Store().Create(file_, {{"name", 4}, {"note", 8}}));
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_FALSE(Store().AppendRecord(Sample(1)));
    ASSERT_TRUE(Store().AddBlankRecord());
    EXPECT_TRUE(Store().WriteField("note", "0123456789"));
    EXPECT_EQ(Store().ReadField("note"), "01234567");
    EXPECT_FALSE(Store().WriteField("ip", "1"));
}

TEST_F(StoreTest, AppendsABatchOfRecordsAllOrNone) {
    CreateAndOpen();
    ASSERT_TRUE(Store().AppendRecord(Sample(1)));
    const std::vector<ResultRecord> batch = {Sample(2), Sample(3), Sample(4)};
    ASSERT_TRUE(Store().AppendRecords(batch));
    EXPECT_EQ(Store().RecordCount(), 4);
    ASSERT_TRUE(Store().GoToFirst());
    for (int n = 1; n <= 4; ++n, Store().Skip())
        EXPECT_EQ(ReadCurrent(), Sample(n));

    // Values are cut to their widths in a batch as in a single append.
    ResultRecord tooLong = Sample(6);
    tooLong[0] = Text(30, '1');
    EXPECT_TRUE(Store().AppendRecords(std::vector<ResultRecord>{Sample(5), tooLong}));
    EXPECT_EQ(Store().RecordCount(), 6);
    ASSERT_TRUE(Store().GoToFirst());
    ASSERT_TRUE(Store().Skip(5));
    EXPECT_EQ(Store().ReadField("ip"), Text(20, '1'));
    ASSERT_TRUE(Store().Close(Alias()));
    EXPECT_FALSE(Store().AppendRecords(batch)) << "no store open";
}

TEST_F(StoreTest, BatchIntoAStoreWithOtherFieldsStoresNothing) {
    ASSERT_TRUE(Store().Create(file_, {{"name", 4}, {"note", 8}}));
    ASSERT_TRUE(Store().Open(file_, Alias()));
    EXPECT_FALSE(Store().AppendRecords(std::vector<ResultRecord>{Sample(1), Sample(2)}));
    EXPECT_EQ(Store().RecordCount(), 0);
}

// An export walks the store while a batch appends from another thread.
TEST_F(StoreTest, ThreadsShareTheStore) {
    CreateAndOpen();
    constexpr int kRecords = 2000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 1; n <= kRecords; ++n)
            EXPECT_TRUE(Store().AppendRecord(Sample(n)));
        done = true;
    });
    int walks = 0;
    while (!done || walks == 0) {
        ++walks;
        int position = 0;
        for (bool at = Store().GoToFirst(); at && !Store().ReadField("ip").empty(); Store().Skip()) {
            ++position;
            ASSERT_EQ(Store().ReadField("ip"), Sample(position).front());
            ASSERT_EQ(Store().ReadField("isp"), Sample(position).back());
        }
        EXPECT_LE(position, Store().RecordCount());
    }
    writer.join();
    EXPECT_EQ(Store().RecordCount(), kRecords);
}

} // namespace
} // namespace iploc::store_test
