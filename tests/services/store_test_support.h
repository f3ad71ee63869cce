// Helpers shared by the result store tests: a scratch directory per test and whole-file I/O.
#pragma once

#include "services/result_store.h"
#include "text/encoding.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace iploc::store_test {

inline const Text& Alias() {
    static const Text alias = Utf8ToText("数据库");
    return alias;
}

inline std::string ReadFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Names in `dir` that start with `prefix`, sorted.
inline std::vector<std::string> NamesStartingWith(const std::filesystem::path& dir,
                                                  const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh directory for each test, holding the store path "数据暂存库.edb"; the process-wide
// store is closed after the test.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::path(::testing::TempDir()) / "iploc-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        file_ = dir_ / "数据暂存库.edb";
    }
    void TearDown() override {
        Store().Close(Alias());
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    static ResultStore& Store() { return ResultStore::Instance(); }
    void CreateAndOpen() {
        ASSERT_TRUE(Store().Create(file_, ResultFields()));
        ASSERT_TRUE(Store().Open(file_, Alias()));
    }
    // The six fields of the current record.
    static ResultRecord ReadCurrent() {
        ResultRecord record;
        for (std::size_t i = 0; i < record.size(); ++i)
            record[i] = Store().ReadField(ResultFields()[i].name);
        return record;
    }

    std::filesystem::path dir_;
    std::filesystem::path file_;
};

} // namespace iploc::store_test
