#pragma once
#include "device/PhoneOperations.h"

#include <cstddef>
#include <string>
#include <vector>

// A list of packages onto every attached phone in one run: each phone takes the packages in list
// order, one at a time, and every phone works at once. A question that needs the user is put once
// for the whole run; a refusal on one phone stops nothing else; one table tells every package on
// every phone.

// One package of the list, as the run needs it.
struct ShelfPackage {
    PackageToInstall package;        // `file` is the APK, or the bundle
    ISplitPackage* pieces = nullptr; // a bundle's pieces for a phone; null for an APK
    std::string label;               // how the table names it: "微信 8.0.49"
    std::string problem;             // why it can't be installed (damaged, a bundle without a base): skipped
    bool notIntact = false;          // its signature check failed: installed only when the user says so
};

void InstallShelf(const std::vector<ShelfPackage>& shelf, PhoneTools& tools, IPhoneView& view);
// Removes every package of the list that names its package from every phone, the same way.
void UninstallShelf(const std::vector<ShelfPackage>& shelf, PhoneTools& tools, IPhoneView& view);

// The note while the run goes: "第 3/12 个包，2/8 台手机完成".
std::string ShelfProgressText(std::size_t package, std::size_t packages, std::size_t phonesDone, std::size_t phones);

// How a run ended, counted package by phone.
struct ShelfTally {
    std::size_t packages = 0; // those that were installed (or removed)
    std::size_t phones = 0;
    std::size_t succeeded = 0;
    std::size_t failed = 0;
    std::size_t notDone = 0; // left alone by the user's answer
    std::size_t skipped = 0; // packages that could not be read
};
// "12 个包 × 8 台：94 成功，2 失败"
std::string ShelfSummary(const ShelfTally& tally);
