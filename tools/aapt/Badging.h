#pragma once
#include <string>

#include "resources/ByteSpan.h"

// What "aapt dump badging" prints: standard output and error text (lines end with '\n') and the
// exit status. Output that precedes a failure stays, as the real tool leaves it on the console.
struct TBadgingResult {
    std::string out;
    std::string err;
    int exitCode = 0;
};

// The badging of a package from its binary manifest and its resource table. A null pointer stands
// for a member the package lacks.
//
// Prints the package line, sdkVersion, targetSdkVersion, uses-permission (with the ones the
// platform implies for old targets and for WRITE_EXTERNAL_STORAGE, each followed by its
// uses-implied-permission line), application-label and application-label-<locale>,
// application-icon-<density>, the application line and launchable-activity, in the order and with
// the quoting of the Android tool; other lines of the real tool are left out.
TBadgingResult DumpBadging(const TByteSpan* manifest, const TByteSpan* resourceTable);
