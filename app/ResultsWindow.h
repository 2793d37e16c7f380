#pragma once
#include "device/PhoneOperations.h"

#include <windows.h>

#include <functional>
#include <string>

// The table behind the note after an install: one row per phone (name, serial, version before and
// after, result, reason), a button that copies the rows as text, one that shows everything adb
// printed, and one that closes it. Modal to its owner until closed.
struct ResultsTableLook {
    HWND owner = nullptr;
    HFONT font = nullptr;
    UINT dpi = 96;
    const char* caption = "";
    std::function<void()> showDetails; // "adb输出"
    std::function<void(HWND)> opened;  // told the table's window once it is up, and null once it is gone
};

void ShowResultsTable(const ResultsTableLook& look, const InstallResults& results);

// Puts text on the clipboard in the ANSI code page; false when the clipboard can't be had.
bool CopyTextToClipboard(HWND owner, const std::string& text);
