#include "app/MainForm.h"

// Handlers whose operations arrive with later changes; until then they do nothing.

void TfrmMain::btnInstallClick() {}
void TfrmMain::btnUninstallClick() {}
bool TfrmMain::IsDeviceConnected(const StringList&) const { return false; }
bool TfrmMain::HasDoubleByteChars(const std::string&) const { return false; }
void TfrmMain::MakeTempApkPath(std::string& path) const { path.clear(); }
void TfrmMain::LinkMouseEnter(HWND) {}
void TfrmMain::LinkMouseLeave(HWND) {}
void TfrmMain::LinkClick(HWND) {}
