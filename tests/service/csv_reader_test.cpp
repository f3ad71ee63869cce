#include "service/csv_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace iploc {
namespace {

using ::testing::ElementsAre;

std::vector<CsvRecord> ReadAll(const std::string& text, std::string* error = nullptr,
                               std::size_t* errorLine = nullptr) {
    std::istringstream in(text);
    CsvReader reader(in);
    std::vector<CsvRecord> records;
    CsvRecord record;
    while (reader.Next(record))
        records.push_back(record);
    if (error) *error = reader.error();
    if (errorLine) *errorLine = reader.errorLine();
    return records;
}

TEST(ServiceCsv, ReadsPlainAndQuotedFields) {
    std::string error = "unset";
    const auto records = ReadAll("a,b,c\n"
                                 "\"x,y\",\"say \"\"hi\"\"\",\"\"\n"
                                 ",,\n"
                                 "\"two\nlines\",z\n"
                                 "last",
                                 &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_THAT(records[0].fields, ElementsAre("a", "b", "c"));
    EXPECT_THAT(records[1].fields, ElementsAre("x,y", "say \"hi\"", ""));
    EXPECT_THAT(records[2].fields, ElementsAre("", "", ""));
    EXPECT_THAT(records[3].fields, ElementsAre("two\nlines", "z"));
    EXPECT_THAT(records[4].fields, ElementsAre("last"));
    // A record that spans lines is counted from its first line, and the next one after it.
    EXPECT_EQ(records[3].line, 4u);
    EXPECT_EQ(records[4].line, 6u);
}

TEST(ServiceCsv, SkipsCommentsBlankLinesAndByteOrderMarkAndAcceptsCrLf) {
    const auto records = ReadAll("\xEF\xBB\xBF# comment, with \"quotes\"\r\n"
                                 "\r\n"
                                 "  \t\n"
                                 "a,\xE4\xB8\xAD\xE5\x9B\xBD\r\n"
                                 "#,not,a,record\n"
                                 "b,\"c\r\nd\"\r\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_THAT(records[0].fields, ElementsAre("a", "\xE4\xB8\xAD\xE5\x9B\xBD"));
    EXPECT_EQ(records[0].line, 4u);
    EXPECT_THAT(records[1].fields, ElementsAre("b", "c\nd"));
    EXPECT_EQ(records[1].line, 6u);
}

TEST(ServiceCsv, ByteOrderMarkOnlyCountsAtTheStart) {
    const auto records = ReadAll("a\n\xEF\xBB\xBF"
                                 "b\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields[0], "\xEF\xBB\xBF"
                                    "b");
}

TEST(ServiceCsv, StopsAtMalformedRecordsNamingTheLine) {
    const struct {
        const char* text;
        std::size_t goodRecords;
        const char* error;
        std::size_t line;
    } cases[] = {
        {"a,b\n\"open,c\nstill open\n", 1, "a quoted field is not closed", 2},
        {"a,b\n\n\"x\"y,z\n", 1, "text after the closing quote of a field", 3},
        {"ab\"c,d\n", 0, "a quote inside a field that is not quoted", 1},
        {"\"a\nb\" c\n", 0, "text after the closing quote of a field", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        std::size_t line = 0;
        EXPECT_EQ(ReadAll(c.text, &error, &line).size(), c.goodRecords);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(line, c.line);
    }
}

TEST(ServiceCsv, StaysFailedAfterAnError) {
    std::istringstream in("x\"y\nfine\n");
    CsvReader reader(in);
    CsvRecord record;
    EXPECT_FALSE(reader.Next(record));
    EXPECT_FALSE(reader.Next(record));
    EXPECT_EQ(reader.errorLine(), 1u);
}

} // namespace
} // namespace iploc
