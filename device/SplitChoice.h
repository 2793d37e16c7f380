#pragma once
#include "device/PhoneTraits.h"
#include "device/SplitApk.h"

#include <string>
#include <vector>

// Which APKs of a split package one phone gets.

// A complete APK for phones that can't take splits (bundletool's standalones), with what its name
// says it targets.
struct StandaloneApk {
    std::string name;
    std::string abi;     // the phone's spelling; empty when the name names none
    std::string density; // the bucket; empty when the name names none
};

enum class ChoiceOutcome {
    Pieces,        // install `names` together (one name: a plain install serves)
    Standalone,    // the phone can't take splits: install the one standalone APK in `names`
    TooOld,        // the phone can't take splits and the bundle has no standalone APK for it
    NoMatchingAbi, // the package has native code, but none for this phone's processor
};

struct SplitChoice {
    ChoiceOutcome outcome = ChoiceOutcome::Pieces;
    std::vector<std::string> names; // the pieces' names, the base first
};

// The first Android version that installs split packages.
constexpr int kSplitsMinSdk = 21;

// Picks for a phone: the base and every feature module's main APK; for each of these modules the
// ABI split that comes first in the phone's ABI order, the density split nearest the phone's
// density (the higher one on a tie; 160 dpi when the phone did not say) and every split of the
// phone's language; no other config split. A phone below Android 5.0 that would need more than one
// piece gets the best standalone APK instead (its ABI first in the phone's order, then the nearest
// density), or TooOld. An unknown SDK level counts as new enough: adb reports what it can't do.
SplitChoice ChooseSplits(const std::vector<SplitApk>& pieces, const std::vector<StandaloneApk>& standalones,
                         const PhoneTraits& phone);

// What the status shows for a phone when the choice gives nothing to install.
extern const char* const kTooOldForSplitsText;
extern const char* const kNoMatchingAbiText;
