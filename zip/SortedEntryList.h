#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "zip/ZipEntry.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// The reader's entry list: kept in order of a comparison chosen by sort mode, with a policy for
// entries that compare equal. An owning list deletes its entries; a view only points at entries
// that another list owns.
class TSortedEntryList {
public:
    // The largest capacity the list accepts.
    static constexpr size_t kMaxCapacity = 0x1FFFFFFE;

    TSortedEntryList(bool ownsObjects, TDuplicates duplicates, TZipSortMode sortMode);
    TSortedEntryList(const TSortedEntryList&) = delete;
    TSortedEntryList& operator=(const TSortedEntryList&) = delete;
    ~TSortedEntryList();

    // Inserts before the first item that does not compare below the entry. Returns the index, or
    // -1 when the ignore policy dropped it (an owning list then did not take it over). The error
    // policy raises EListError "Duplicate Object index". An owning list takes the entry over once
    // it is inserted.
    std::ptrdiff_t Add(TZipEntryInfo* entry);
    // The same as adding each entry in turn, but in O(n log n): a directory listed in reverse
    // order must not cost quadratic time. Entries are taken over (owning list) once all are in;
    // on EListError the list is unchanged and the caller still owns them all. Returns the entries
    // that the ignore policy dropped (they stay the caller's).
    std::vector<TZipEntryInfo*> AddAll(const std::vector<TZipEntryInfo*>& entries);
    // Index of an entry that compares equal to the key, or -1.
    std::ptrdiff_t IndexOf(const TZipEntryInfo& key) const;

    TZipEntryInfo* operator[](size_t index) const; // EListError outside 0..Count()-1
    // Replacing an item would break the order: always EListError.
    void Put(size_t index, TZipEntryInfo* entry);
    void Clear();

    size_t Count() const { return items_.size(); }
    size_t Capacity() const { return capacity_; }
    TZipSortMode SortMode() const { return sortMode_; }
    TDuplicates Duplicates() const { return duplicates_; }
    bool OwnsObjects() const { return ownsObjects_; }
    bool HasZip64() const { return zip64_; }

    // < 0, 0, > 0 as the item sorts before, with or after the key.
    static int Compare(TZipSortMode mode, const TZipEntryInfo& item, const TZipEntryInfo& key);

private:
    void Grow(size_t needed);
    size_t LowerBound(const TZipEntryInfo& key) const;

    std::vector<TZipEntryInfo*> items_;
    size_t capacity_ = 0;
    bool ownsObjects_;
    TDuplicates duplicates_;
    TZipSortMode sortMode_;
    bool zip64_ = false;
};
