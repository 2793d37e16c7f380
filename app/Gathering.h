#pragma once
#include "device/Win32Handles.h"

#include <windows.h>

#include <string>
#include <vector>

// Explorer starts one instance for each file of a multiple selection. Instances started together end
// in one window: the first to start gathers for a few seconds, and the others hand their packages to
// its window and end. An instance started later opens its own window, as a double-click always did.

// The mark under which packages are handed over (WM_COPYDATA's dwData).
constexpr ULONG_PTR kHandOverMark = 0x56524E4C; // "VRNL"

class Gathering {
public:
    // Joins the instances starting now: the first becomes the one that gathers.
    Gathering();
    Gathering(const Gathering&) = delete;
    Gathering& operator=(const Gathering&) = delete;
    ~Gathering();

    bool First() const { return first_; }
    // The first instance's window, once made: the others find it by its mark until the gathering ends.
    void Mark(HWND window);
    // A later instance: hands the packages to the first window. False when no window took them in
    // time, and this instance shows them itself.
    bool HandOver(const std::vector<std::string>& paths) const;

private:
    static void CALLBACK End(HWND, UINT, UINT_PTR, DWORD);

    UniqueHandle mutex_;
    bool first_ = false;
    HWND window_ = nullptr;
};

// The packages as WM_COPYDATA carries them, and back.
std::string JoinHandOver(const std::vector<std::string>& paths);
std::vector<std::string> SplitHandOver(const std::string& data);
