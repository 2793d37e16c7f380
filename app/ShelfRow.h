#pragma once
#include "app/MainForm.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One row of the list of packages: what the tool read of the package, and why it can't be installed
// when it can't.
struct TfrmMain::ShelfRow {
    std::string path;
    std::string problem; // why it can't be installed; empty for a good package
    std::string appName;
    std::string versionName;
    std::int64_t versionCode = -1;
    std::string sdkLabel;
    std::string sizeText;
    std::string packageName;
    std::string launchableActivity;
    StringList permissions;
    std::vector<std::string> iconMembers;
    std::shared_ptr<OpenedBundle> bundle; // its pieces' folder goes with the row
    std::string signature;
    bool intact = true;
    int image = 0;
};
