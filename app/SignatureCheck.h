#pragma once
#include "app/MainForm.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#include <thread>

// The window's signature check in flight: the worker thread and what it hands back. Whoever drops
// it (another package chosen, the window's end) stops the thread first: the flag is looked at
// every few megabytes, so that is soon.
struct TfrmMain::SignatureWork {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    bool ended = false;
    bool refused = false;
    std::string summary;
    std::string details;
    std::optional<std::uint32_t> signer; // as phones name it, when the package has one signer
    std::thread thread;

    SignatureWork() = default;
    SignatureWork(const SignatureWork&) = delete;
    SignatureWork& operator=(const SignatureWork&) = delete;
    ~SignatureWork() {
        cancel = true;
        if (thread.joinable())
            thread.join();
    }
};

// Certificate and member names arrive as UTF-16; the window's text is the ANSI code page.
std::string WideToAnsi(const std::u16string& text);

struct TSignerFacts;
// The number by which phones name the package's signer, when it has one: a phone names the app's
// one signer (the newest key of a rotated one), and several can't be matched against what it says.
std::optional<std::uint32_t> PhoneSignerOf(const std::vector<TSignerFacts>& signers);

// The message the worker posts to the window when it has ended; wParam is the check's number.
constexpr UINT kSignatureCheckedMessage = WM_APP + 40;
