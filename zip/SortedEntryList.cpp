#include "zip/SortedEntryList.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "zip/ZipErrors.h"

namespace {

int CompareText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<unsigned char>(cb + 32);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <typename T> int CompareValues(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Compression rate as the share of bytes saved; an empty member saves nothing.
double Rate(const TZipEntryInfo& entry) {
    const uint64_t full = entry.EffectiveUncompressedSize();
    if (full == 0)
        return 0.0;
    return 1.0 - static_cast<double>(entry.EffectiveCompressedSize()) / static_cast<double>(full);
}

} // namespace

TSortedEntryList::TSortedEntryList(bool ownsObjects, TDuplicates duplicates, TZipSortMode sortMode)
    : ownsObjects_(ownsObjects), duplicates_(duplicates), sortMode_(sortMode) {}

TSortedEntryList::~TSortedEntryList() {
    Clear();
}

void TSortedEntryList::Clear() {
    if (ownsObjects_) {
        for (TZipEntryInfo* entry : items_)
            delete entry;
    }
    items_.clear();
    items_.shrink_to_fit();
    capacity_ = 0;
    zip64_ = false;
}

int TSortedEntryList::Compare(TZipSortMode mode, const TZipEntryInfo& item, const TZipEntryInfo& key) {
    switch (mode) {
    case TZipSortMode::ByName:
        return CompareText(item.FullPath(), key.FullPath());
    case TZipSortMode::ByFileName:
        return CompareText(item.FileName, key.FileName);
    case TZipSortMode::ByDirectoryName:
        return CompareText(item.Directory, key.Directory);
    case TZipSortMode::ByDate:
        return CompareValues(item.DateTime, key.DateTime);
    case TZipSortMode::ByCompressedSize:
        return CompareValues(item.EffectiveCompressedSize(), key.EffectiveCompressedSize());
    case TZipSortMode::ByUnCompressedSize:
        return CompareValues(item.EffectiveUncompressedSize(), key.EffectiveUncompressedSize());
    case TZipSortMode::ByRate:
        return CompareValues(Rate(item), Rate(key));
    case TZipSortMode::ByNone:
    default:
        // Archive order: by starting disk, then by local header offset.
        if (item.EffectiveStartDisk() != key.EffectiveStartDisk())
            return item.EffectiveStartDisk() < key.EffectiveStartDisk() ? -1 : 1;
        return CompareValues(item.EffectiveLocalHeaderOffset(), key.EffectiveLocalHeaderOffset());
    }
}

void TSortedEntryList::Grow(size_t needed) {
    while (capacity_ < needed) {
        size_t delta;
        if (capacity_ > 8)
            delta = static_cast<size_t>(std::lround(std::sqrt(static_cast<double>(capacity_))));
        else if (capacity_ > 4)
            delta = 8;
        else
            delta = 4;
        if (capacity_ + delta > kMaxCapacity)
            throw EListError("List capacity out of bounds (" + std::to_string(capacity_ + delta) + ")");
        capacity_ += delta;
    }
    items_.reserve(capacity_);
}

size_t TSortedEntryList::LowerBound(const TZipEntryInfo& key) const {
    // Appending in order is the common case: check the end first.
    if (items_.empty() || Compare(sortMode_, *items_.back(), key) < 0)
        return items_.size();
    const auto it =
        std::lower_bound(items_.begin(), items_.end(), &key, [this](const TZipEntryInfo* item, const TZipEntryInfo* k) {
            return Compare(sortMode_, *item, *k) < 0;
        });
    return static_cast<size_t>(it - items_.begin());
}

std::ptrdiff_t TSortedEntryList::Add(TZipEntryInfo* entry) {
    const size_t pos = LowerBound(*entry);
    if (pos < items_.size() && Compare(sortMode_, *items_[pos], *entry) == 0) {
        if (duplicates_ == TDuplicates::dupIgnore)
            return -1;
        if (duplicates_ == TDuplicates::dupError)
            throw EListError(ZipMessages::kDuplicateObject);
    }
    if (items_.size() == capacity_)
        Grow(items_.size() + 1);
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), entry);
    if (entry->Zip64OrNull() != nullptr)
        zip64_ = true;
    return static_cast<std::ptrdiff_t>(pos);
}

std::vector<TZipEntryInfo*> TSortedEntryList::AddAll(const std::vector<TZipEntryInfo*>& entries) {
    std::vector<TZipEntryInfo*> dropped;
    if (duplicates_ == TDuplicates::dupIgnore) {
        for (TZipEntryInfo* entry : entries) {
            if (Add(entry) < 0)
                dropped.push_back(entry);
        }
        return dropped;
    }
    // Merge the current items (already in order) with the new ones; among equal keys a later
    // addition goes before the earlier ones, as Add would have put it.
    std::vector<TZipEntryInfo*> all(items_);
    all.insert(all.end(), entries.begin(), entries.end());
    std::vector<size_t> order(all.size());
    std::iota(order.begin(), order.end(), size_t(0));
    const size_t existing = items_.size();
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = Compare(sortMode_, *all[a], *all[b]);
        if (c != 0)
            return c < 0;
        if (a >= existing && b >= existing)
            return a > b;
        return a >= existing && b < existing;
    });
    std::vector<TZipEntryInfo*> merged;
    merged.reserve(all.size());
    for (size_t index : order) {
        TZipEntryInfo* entry = all[index];
        if (duplicates_ == TDuplicates::dupError && !merged.empty() && Compare(sortMode_, *merged.back(), *entry) == 0)
            throw EListError(ZipMessages::kDuplicateObject);
        merged.push_back(entry);
    }
    if (merged.size() > capacity_)
        Grow(merged.size());
    items_ = std::move(merged);
    for (TZipEntryInfo* entry : entries) {
        if (entry->Zip64OrNull() != nullptr)
            zip64_ = true;
    }
    return dropped;
}

std::ptrdiff_t TSortedEntryList::IndexOf(const TZipEntryInfo& key) const {
    const size_t pos = LowerBound(key);
    if (pos < items_.size() && Compare(sortMode_, *items_[pos], key) == 0)
        return static_cast<std::ptrdiff_t>(pos);
    return -1;
}

TZipEntryInfo* TSortedEntryList::operator[](size_t index) const {
    if (index >= items_.size())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[index];
}

void TSortedEntryList::Put(size_t, TZipEntryInfo*) {
    throw EListError(ZipMessages::kCannotPut);
}
