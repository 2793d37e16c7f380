#include "app/Gathering.h"

namespace {

const char* const kMutexName = "Local\\VarnelGathering";
const char* const kMarkName = "VarnelGathering";
// Explorer starts a selection's instances within moments of each other; a start after this is the
// user's next double-click, which gets a window of its own as it always did.
constexpr UINT kGatherMs = 5000;
// How long a later instance looks for the first window: long enough for a slow machine to make it.
constexpr DWORD kWaitMs = 15000;

Gathering* gathering = nullptr; // the one this process leads, while it gathers

BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (GetPropA(window, kMarkName) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

Gathering::Gathering() : mutex_(CreateMutexA(nullptr, FALSE, kMutexName)) {
    first_ = GetLastError() != ERROR_ALREADY_EXISTS;
    // A later instance lets go at once: should it show its packages itself, a start after it must not
    // take it for one that gathers.
    if (!first_)
        mutex_.Reset();
}

Gathering::~Gathering() {
    if (gathering == this)
        End(nullptr, 0, 0, 0);
}

void Gathering::Mark(HWND window) {
    if (!first_ || gathering != nullptr)
        return;
    window_ = window;
    SetPropA(window, kMarkName, reinterpret_cast<HANDLE>(1));
    gathering = this;
    SetTimer(nullptr, 0, kGatherMs, End);
}

void CALLBACK Gathering::End(HWND, UINT, UINT_PTR timer, DWORD) {
    if (timer != 0)
        KillTimer(nullptr, timer);
    if (gathering == nullptr)
        return;
    if (IsWindow(gathering->window_))
        RemovePropA(gathering->window_, kMarkName);
    gathering->mutex_.Reset();
    gathering = nullptr;
}

bool Gathering::HandOver(const std::vector<std::string>& paths) const {
    const std::string data = JoinHandOver(paths);
    COPYDATASTRUCT copy = {kHandOverMark, static_cast<DWORD>(data.size()), const_cast<char*>(data.data())};
    const DWORD start = GetTickCount();
    do {
        HWND first = nullptr;
        EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&first));
        if (first != nullptr) {
            DWORD_PTR taken = FALSE;
            return SendMessageTimeoutA(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                                       kWaitMs, &taken) != 0 &&
                   taken == TRUE;
        }
        // The first instance gave up gathering, or ended, before its window was made.
        const UniqueHandle stillThere(OpenMutexA(SYNCHRONIZE, FALSE, kMutexName));
        if (!stillThere)
            return false;
        Sleep(50);
    } while (GetTickCount() - start < kWaitMs);
    return false;
}

std::string JoinHandOver(const std::vector<std::string>& paths) {
    std::string data;
    for (const std::string& path : paths)
        data += path + '\0';
    return data;
}

std::vector<std::string> SplitHandOver(const std::string& data) {
    std::vector<std::string> paths;
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find('\0', start);
        if (end == std::string::npos)
            end = data.size();
        if (end > start)
            paths.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}
