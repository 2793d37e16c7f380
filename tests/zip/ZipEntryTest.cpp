// Date-time repair and the entry list's order, growth and duplicate rules.
#include <doctest/doctest.h>

#include <memory>
#include <random>

#include "zip/SortedEntryList.h"
#include "zip/ZipErrors.h"

namespace {

uint32_t Pack(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute, uint32_t second) {
    const uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
    const uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
    return time | (date << 16);
}

std::unique_ptr<TZipEntryInfo> At(uint64_t offset, uint16_t disk = 0) {
    auto entry = std::make_unique<TZipEntryInfo>();
    entry->StartDisk = disk;
    entry->SetEffectiveLocalHeaderOffset(offset);
    return entry;
}

} // namespace

TEST_CASE("RepairDosDateTime clamps fields out of range and keeps valid values as they are") {
    struct TCase {
        uint32_t in;
        uint32_t out;
    } cases[] = {
        {0, Pack(1980, 1, 1, 0, 0, 0)},                           // day and month 0 become 1
        {Pack(2025, 1, 1, 12, 0, 0), Pack(2025, 1, 1, 12, 0, 0)}, // valid
        {(31u << 11) | (Pack(2025, 1, 1, 0, 0, 0) & 0xFFFF0000u), Pack(2025, 1, 1, 23, 0, 0)},
        {Pack(2025, 1, 1, 0, 63, 0), Pack(2025, 1, 1, 0, 59, 0)},
        {Pack(2025, 1, 1, 0, 0, 62), Pack(2025, 1, 1, 0, 0, 58)}, // 62 s clamps to 59, stored as 58
        {Pack(2025, 15, 1, 0, 0, 0), Pack(2025, 12, 1, 0, 0, 0)},
        {(127u << 25), Pack(2099, 1, 1, 0, 0, 0)},                      // year 2107
        {Pack(2107, 0, 0, 0, 0, 0) | 0x1E, Pack(2099, 1, 1, 0, 0, 58)}, // clamped: the odd seconds stay
    };
    for (const TCase& c : cases) {
        CAPTURE(c.in);
        CHECK(RepairDosDateTime(c.in) == c.out);
    }
}

TEST_CASE("the entry list grows by about the square root of its capacity") {
    TSortedEntryList list(true, TDuplicates::dupError, TZipSortMode::ByNone);
    std::vector<size_t> capacities;
    for (uint64_t i = 0; i < 40; ++i) {
        auto entry = At(i * 100);
        list.Add(entry.get());
        entry.release();
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    CHECK(capacities == std::vector<size_t>{4, 8, 16, 20, 24, 29, 34, 40});
}

TEST_CASE("archive order, and the three duplicate policies") {
    TSortedEntryList list(true, TDuplicates::dupError, TZipSortMode::ByNone);
    for (uint64_t offset : {500u, 100u, 300u}) {
        auto entry = At(offset);
        list.Add(entry.get());
        entry.release();
    }
    auto second = At(0, 1); // a later disk sorts after every offset of disk 0
    list.Add(second.get());
    second.release();
    REQUIRE(list.Count() == 4);
    CHECK(list[0]->LocalHeaderOffset == 100);
    CHECK(list[2]->LocalHeaderOffset == 500);
    CHECK(list[3]->StartDisk == 1);
    auto duplicate = At(300);
    CHECK_THROWS_WITH_AS(list.Add(duplicate.get()), "Duplicate Object index", EListError);
    CHECK_THROWS_WITH_AS(list.Put(0, duplicate.get()), "Cannot <Put> an Object in a sorted list!", EListError);
    CHECK_THROWS_AS(list[4], EListError);
    CHECK(list.IndexOf(*duplicate) == 1);

    TSortedEntryList ignoring(false, TDuplicates::dupIgnore, TZipSortMode::ByNone);
    auto a = At(7);
    auto b = At(7);
    CHECK(ignoring.Add(a.get()) == 0);
    CHECK(ignoring.Add(b.get()) == -1);
    CHECK(ignoring.Count() == 1);

    // Accept: an equal entry goes before the ones already there.
    TSortedEntryList accepting(false, TDuplicates::dupAccept, TZipSortMode::ByNone);
    accepting.Add(a.get());
    accepting.Add(b.get());
    CHECK(accepting[0] == b.get());
    CHECK(accepting[1] == a.get());
}

TEST_CASE("AddAll puts entries where adding them one by one would") {
    std::mt19937 random(11);
    for (TDuplicates policy : {TDuplicates::dupAccept, TDuplicates::dupIgnore}) {
        std::vector<std::unique_ptr<TZipEntryInfo>> entries;
        std::vector<TZipEntryInfo*> raw;
        for (int i = 0; i < 300; ++i) {
            entries.push_back(At(random() % 50));
            entries.back()->Crc32 = static_cast<uint32_t>(i); // tells equal keys apart
            raw.push_back(entries.back().get());
        }
        TSortedEntryList one(false, policy, TZipSortMode::ByNone);
        for (TZipEntryInfo* entry : raw)
            one.Add(entry);
        TSortedEntryList batch(false, policy, TZipSortMode::ByNone);
        batch.AddAll(raw);
        REQUIRE(one.Count() == batch.Count());
        for (size_t i = 0; i < one.Count(); ++i)
            CHECK(one[i] == batch[i]);
    }
    TSortedEntryList strict(false, TDuplicates::dupError, TZipSortMode::ByNone);
    auto a = At(1);
    auto b = At(1);
    CHECK_THROWS_AS(strict.AddAll({a.get(), b.get()}), EListError);
    CHECK(strict.Count() == 0);
}
