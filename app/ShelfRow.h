#pragma once
#include "app/MainForm.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
    std::uint64_t id = 0;                 // the row's own number: its place changes as rows are removed
    std::string signature;                // the verdict's one line; empty until the check has been
    bool checked = false;
    bool intact = true;
    std::optional<std::uint32_t> signer; // as phones name it, from the check
    int image = 0;
};

// The list's signature check: one thread going down the rows that have no verdict yet, each verdict
// handed back as it comes. Whoever drops it (the list changed, the window closed) stops the thread.
struct TfrmMain::ShelfSignatureWork {
    struct Item {
        std::uint64_t id;
        std::string path;                // an APK; for a bundle, empty and its pieces below
        std::vector<std::string> names;  // a bundle's pieces as named in it
        std::vector<std::string> pieces; // their files, taken out of the bundle
    };
    struct Verdict {
        std::uint64_t id;
        std::string label;
        bool refused;
        std::optional<std::uint32_t> signer;
    };
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::vector<Verdict> verdicts; // arrived and not yet shown
    bool ended = false;
    std::thread thread;

    ShelfSignatureWork() = default;
    ShelfSignatureWork(const ShelfSignatureWork&) = delete;
    ShelfSignatureWork& operator=(const ShelfSignatureWork&) = delete;
    ~ShelfSignatureWork() {
        cancel = true;
        if (thread.joinable())
            thread.join();
    }
};

// The message the list's worker posts for each verdict; wParam is the check's number.
constexpr UINT kShelfSignatureMessage = WM_APP + 41;
