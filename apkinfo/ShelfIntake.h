#pragma once
#include "device/PathText.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Sorting what the user hands in (dropped files and folders, a multiple selection, a command line)
// into the list of packages: packages by their extension, a folder's packages directly inside it,
// each file once, and no more than the list holds.

// The most packages the list holds: a shop's usual set many times over, and still a list a person
// can read and a run that ends the same afternoon.
constexpr std::size_t kShelfLimit = 200;

// The files directly inside a folder, as full paths; false when the path is no folder.
using FolderLister = std::function<bool(const std::string& path, std::vector<std::string>& files)>;

struct ShelfIntake {
    std::vector<std::string> added;        // the packages to put on the list, in order
    std::size_t duplicates = 0;            // already listed, or handed in twice
    std::size_t notPackages = 0;           // files of another kind
    std::size_t unnamable = 0;             // names the code page can't spell ("?" in their path)
    std::size_t overLimit = 0;             // packages beyond what the list holds
    std::vector<std::string> emptyFolders; // folders without a package directly inside
};

ShelfIntake TakeIn(const std::vector<std::string>& paths, const std::vector<std::string>& listed,
                   const FolderLister& listFolder, const LeadByteTest& isLeadByte);

// What the user is told about an intake, in the window's code page; empty when every file handed
// in was taken.
std::string IntakeMessage(const ShelfIntake& intake, const LeadByteTest& isLeadByte);
