#include "services/workbook/compound_file.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace iploc::workbook {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kHeaderFatEntries = 109;

std::uint32_t U32(std::string_view bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value; // little-endian hosts only, as everything this program runs on
}

std::uint16_t U16(std::string_view bytes, std::size_t at) {
    std::uint16_t value;
    std::memcpy(&value, bytes.data() + at, 2);
    return value;
}

class CompoundFile {
public:
    explicit CompoundFile(std::string_view file) : file_(file) {}
    bool ReadHeader();
    std::optional<std::string> Stream(std::string_view name) const;

private:
    std::optional<std::string_view> Sector(std::uint32_t number) const;
    bool ReadFat();
    // The sectors of a chain, in order; nullopt on a loop or a sector outside the table.
    std::optional<std::vector<std::uint32_t>> Chain(std::uint32_t start,
                                                    const std::vector<std::uint32_t>& table) const;
    std::optional<std::string> ReadChain(std::uint32_t start) const;
    std::optional<std::string> ReadMiniStream(std::uint32_t start, std::string_view miniStream) const;

    std::string_view file_;
    std::size_t sectorSize_ = 512;
    std::size_t sectorCount_ = 0;
    std::uint32_t miniCutoff_ = 4096;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
};

std::optional<std::string_view> CompoundFile::Sector(std::uint32_t number) const {
    if (number >= sectorCount_) return std::nullopt;
    return file_.substr((std::size_t(number) + 1) * sectorSize_, sectorSize_);
}

bool CompoundFile::ReadHeader() {
    if (file_.size() < 512 || file_.substr(0, 8) != "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") return false;
    const std::uint16_t shift = U16(file_, 30);
    if (shift != 9 && shift != 12) return false;
    sectorSize_ = std::size_t(1) << shift;
    if (file_.size() / sectorSize_ < 2) return false; // the header sector and at least one more
    sectorCount_ = file_.size() / sectorSize_ - 1;
    miniCutoff_ = U32(file_, 56);
    if (!ReadFat()) return false;
    const auto miniFat = ReadChain(U32(file_, 60));
    if (!miniFat) return false;
    miniFat_.resize(miniFat->size() / 4);
    if (!miniFat_.empty()) std::memcpy(miniFat_.data(), miniFat->data(), miniFat_.size() * 4);
    return true;
}

bool CompoundFile::ReadFat() {
    std::vector<std::uint32_t> fatSectors;
    const std::uint32_t fatCount = U32(file_, 44);
    for (std::size_t i = 0; i < kHeaderFatEntries && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(U32(file_, 76 + 4 * i));
    std::uint32_t difat = U32(file_, 68);
    for (std::size_t hops = 0; fatSectors.size() < fatCount && difat < kLastRegularSector; ++hops) {
        auto sector = Sector(difat);
        if (!sector || hops > sectorCount_) return false;
        const std::size_t entries = sectorSize_ / 4 - 1;
        for (std::size_t i = 0; i < entries && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(U32(*sector, 4 * i));
        difat = U32(*sector, 4 * entries);
    }
    if (fatSectors.size() != fatCount || fatCount > sectorCount_) return false;
    for (std::uint32_t number : fatSectors) {
        auto sector = Sector(number);
        if (!sector) return false;
        for (std::size_t i = 0; i < sectorSize_ / 4; ++i)
            fat_.push_back(U32(*sector, 4 * i));
    }
    return true;
}

std::optional<std::vector<std::uint32_t>> CompoundFile::Chain(std::uint32_t start,
                                                              const std::vector<std::uint32_t>& table) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t sector = start; sector != kEndOfChain;) {
        if (sector >= table.size() || chain.size() >= table.size()) return std::nullopt;
        chain.push_back(sector);
        sector = table[sector];
    }
    return chain;
}

std::optional<std::string> CompoundFile::ReadChain(std::uint32_t start) const {
    auto chain = Chain(start, fat_);
    if (!chain) return std::nullopt;
    std::string bytes;
    bytes.reserve(chain->size() * sectorSize_);
    for (std::uint32_t number : *chain) {
        auto sector = Sector(number);
        if (!sector) return std::nullopt;
        bytes.append(*sector);
    }
    return bytes;
}

std::optional<std::string> CompoundFile::ReadMiniStream(std::uint32_t start,
                                                        std::string_view miniStream) const {
    constexpr std::size_t kMiniSectorSize = 64;
    auto chain = Chain(start, miniFat_);
    if (!chain) return std::nullopt;
    std::string bytes;
    for (std::uint32_t number : *chain) {
        if ((std::size_t(number) + 1) * kMiniSectorSize > miniStream.size()) return std::nullopt;
        bytes.append(miniStream.substr(std::size_t(number) * kMiniSectorSize, kMiniSectorSize));
    }
    return bytes;
}

bool NameIs(std::string_view entry, std::string_view name) {
    const std::size_t length = U16(entry, 64);
    if (length != (name.size() + 1) * 2) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const std::uint16_t unit = U16(entry, 2 * i);
        if (unit >= 0x80 || ((unit | 0x20) != std::uint16_t(name[i] | 0x20))) return false;
    }
    return true;
}

std::optional<std::string> CompoundFile::Stream(std::string_view name) const {
    auto directory = ReadChain(U32(file_, 48));
    if (!directory || directory->size() < kDirectoryEntrySize) return std::nullopt;
    const std::string_view root = std::string_view(*directory).substr(0, kDirectoryEntrySize);
    for (std::size_t at = 0; at + kDirectoryEntrySize <= directory->size(); at += kDirectoryEntrySize) {
        const std::string_view entry = std::string_view(*directory).substr(at, kDirectoryEntrySize);
        if (entry[66] != 2 || !NameIs(entry, name)) continue; // 2: a stream
        const std::uint32_t size = U32(entry, 120);
        std::optional<std::string> bytes;
        if (size < miniCutoff_) {
            auto miniStream = ReadChain(U32(root, 116));
            if (miniStream) bytes = ReadMiniStream(U32(entry, 116), *miniStream);
        } else {
            bytes = ReadChain(U32(entry, 116));
        }
        if (!bytes || bytes->size() < size) return std::nullopt;
        bytes->resize(size);
        return bytes;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ReadCompoundStream(std::string_view file, std::string_view name) {
    CompoundFile compound(file);
    if (!compound.ReadHeader()) return std::nullopt;
    return compound.Stream(name);
}

} // namespace iploc::workbook
