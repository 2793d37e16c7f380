#include "app/MainForm.h"

void TfrmMain::ShowApkIcon(const std::string&, const std::string&) {
    // The package's own icon arrives with the PNG decoder; until then the placeholder stays.
}
