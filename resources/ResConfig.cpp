#include "resources/ResConfig.h"

#include <cstring>
#include <utility>

#include "resources/LocaleData.h"

namespace {

constexpr uint8_t kMaskLayoutDir = 0xC0;
constexpr uint8_t kMaskScreenSize = 0x0F;
constexpr uint8_t kMaskScreenLong = 0x30;
constexpr uint8_t kMaskUiModeType = 0x0F;
constexpr uint8_t kMaskUiModeNight = 0x30;
constexpr uint8_t kMaskScreenRound = 0x03;
constexpr uint8_t kMaskWideColorGamut = 0x03;
constexpr uint8_t kMaskHdr = 0x0C;
constexpr uint8_t kMaskKeysHidden = 0x03;
constexpr uint8_t kKeysHiddenNo = 1;
constexpr uint8_t kKeysHiddenSoft = 3;
constexpr uint8_t kMaskNavHidden = 0x0C;

bool Same2(const char a[2], const char b[2]) {
    return a[0] == b[0] && a[1] == b[1];
}

bool IsTagalog(const char language[2]) {
    char fil[2];
    PackLocaleCode("fil", 'a', fil);
    return (language[0] == 't' && language[1] == 'l') || Same2(language, fil);
}

// Tagalog and Filipino count as one language.
bool SameLanguage(const char a[2], const char b[2]) {
    return Same2(a, b) || (IsTagalog(a) && IsTagalog(b));
}

// The composite fields the platform tests for "anything set".
uint32_t Imsi(const TResConfig& c) {
    return uint32_t(c.mcc) | c.mnc;
}
bool LocaleSet(const TResConfig& c) {
    return c.HasLocale();
}
bool ScreenTypeSet(const TResConfig& c) {
    return c.orientation || c.touchscreen || c.density;
}
bool InputSet(const TResConfig& c) {
    return c.keyboard || c.navigation || c.inputFlags || c.inputPad;
}
bool ScreenSizeSet(const TResConfig& c) {
    return c.screenWidth || c.screenHeight;
}
bool VersionSet(const TResConfig& c) {
    return c.sdkVersion || c.minorVersion;
}
bool ScreenConfigSet(const TResConfig& c) {
    return c.screenLayout || c.uiMode || c.smallestScreenWidthDp;
}
bool ScreenSizeDpSet(const TResConfig& c) {
    return c.screenWidthDp || c.screenHeightDp;
}
bool ScreenConfig2Set(const TResConfig& c) {
    return c.screenLayout2 || c.colorMode || c.screenConfigPad2;
}

} // namespace

TResConfig TResConfig::Read(const TByteSpan& record) {
    TResConfig c;
    // Fields past the record's own size, or past the bytes we have, read as zero.
    const uint32_t declared = record.U32Or0(0);
    const TByteSpan r = record.Sub(0, declared < record.Size() ? declared : record.Size());
    c.mcc = r.U16Or0(4);
    c.mnc = r.U16Or0(6);
    c.language[0] = char(r.U8Or0(8));
    c.language[1] = char(r.U8Or0(9));
    c.country[0] = char(r.U8Or0(10));
    c.country[1] = char(r.U8Or0(11));
    c.orientation = r.U8Or0(12);
    c.touchscreen = r.U8Or0(13);
    c.density = r.U16Or0(14);
    c.keyboard = r.U8Or0(16);
    c.navigation = r.U8Or0(17);
    c.inputFlags = r.U8Or0(18);
    c.inputPad = r.U8Or0(19);
    c.screenWidth = r.U16Or0(20);
    c.screenHeight = r.U16Or0(22);
    c.sdkVersion = r.U16Or0(24);
    c.minorVersion = r.U16Or0(26);
    c.screenLayout = r.U8Or0(28);
    c.uiMode = r.U8Or0(29);
    c.smallestScreenWidthDp = r.U16Or0(30);
    c.screenWidthDp = r.U16Or0(32);
    c.screenHeightDp = r.U16Or0(34);
    for (size_t i = 0; i < 4; ++i)
        c.localeScript[i] = char(r.U8Or0(36 + i));
    for (size_t i = 0; i < 8; ++i)
        c.localeVariant[i] = char(r.U8Or0(40 + i));
    c.screenLayout2 = r.U8Or0(48);
    c.colorMode = r.U8Or0(49);
    c.screenConfigPad2 = r.U16Or0(50);
    c.localeScriptWasComputed = r.U8Or0(52) != 0;
    for (size_t i = 0; i < 8; ++i)
        c.localeNumberingSystem[i] = char(r.U8Or0(53 + i));
    return c;
}

bool TResConfig::operator==(const TResConfig& o) const {
    return mcc == o.mcc && mnc == o.mnc && Same2(language, o.language) && Same2(country, o.country) &&
           orientation == o.orientation && touchscreen == o.touchscreen && density == o.density &&
           keyboard == o.keyboard && navigation == o.navigation && inputFlags == o.inputFlags &&
           inputPad == o.inputPad && screenWidth == o.screenWidth && screenHeight == o.screenHeight &&
           sdkVersion == o.sdkVersion && minorVersion == o.minorVersion && screenLayout == o.screenLayout &&
           uiMode == o.uiMode && smallestScreenWidthDp == o.smallestScreenWidthDp && screenWidthDp == o.screenWidthDp &&
           screenHeightDp == o.screenHeightDp && std::memcmp(localeScript, o.localeScript, 4) == 0 &&
           std::memcmp(localeVariant, o.localeVariant, 8) == 0 && screenLayout2 == o.screenLayout2 &&
           colorMode == o.colorMode && screenConfigPad2 == o.screenConfigPad2 &&
           localeScriptWasComputed == o.localeScriptWasComputed &&
           std::memcmp(localeNumberingSystem, o.localeNumberingSystem, 8) == 0;
}

void TResConfig::ClearLocale() {
    std::memset(language, 0, 2);
    std::memset(country, 0, 2);
    std::memset(localeScript, 0, 4);
    std::memset(localeVariant, 0, 8);
    std::memset(localeNumberingSystem, 0, 8);
    localeScriptWasComputed = false;
}

void TResConfig::SetLocaleFrom(const TResConfig& other) {
    ClearLocale();
    if (!other.HasLocale())
        return;
    std::memcpy(language, other.language, 2);
    std::memcpy(country, other.country, 2);
    std::memcpy(localeVariant, other.localeVariant, 8);
    std::memcpy(localeNumberingSystem, other.localeNumberingSystem, 8);
    // A script that the tag spells out is kept; otherwise the likely one is worked out.
    if (other.localeScript[0] != 0 && !other.localeScriptWasComputed) {
        std::memcpy(localeScript, other.localeScript, 4);
    } else {
        localeScriptWasComputed = true;
        ComputeLocaleScript(language, country, localeScript);
    }
}

std::string TResConfig::Bcp47Locale() const {
    if (language[0] == 0 && country[0] == 0)
        return std::string();
    // Built as a C string, as the tools do: a zero byte inside a part ends the tag there. Room for
    // every part at its longest: 3 + 1 + 4 + 1 + 3 + 1 + 8 + 6 + 8 characters and the terminator.
    char out[40] = {};
    size_t n = 0;
    if (language[0] != 0)
        n += static_cast<size_t>(UnpackLocaleCode(language, 'a', out));
    if (localeScript[0] != 0 && !localeScriptWasComputed) {
        if (n > 0)
            out[n++] = '-';
        std::memcpy(out + n, localeScript, 4);
        n += 4;
    }
    if (country[0] != 0) {
        if (n > 0)
            out[n++] = '-';
        n += static_cast<size_t>(UnpackLocaleCode(country, '0', out + n));
    }
    if (localeVariant[0] != 0) {
        if (n > 0)
            out[n++] = '-';
        for (size_t i = 0; i < 8 && localeVariant[i] != 0; ++i)
            out[n++] = localeVariant[i];
    }
    if (localeNumberingSystem[0] != 0 && n > 0) {
        std::memcpy(out + n, "-u-nu-", 6);
        n += 6;
        std::memcpy(out + n, localeNumberingSystem, 8);
    }
    return std::string(out);
}

bool TResConfig::Match(const TResConfig& request) const {
    if (Imsi(*this) != 0) {
        if (mcc != 0 && mcc != request.mcc)
            return false;
        if (mnc != 0 && mnc != request.mnc)
            return false;
    }
    if (LocaleSet(*this)) {
        // Region and variant don't decide a match; the script does when both scripts are known.
        if (!SameLanguage(language, request.language))
            return false;
        bool countriesMustMatch = false;
        char computed[4];
        const char* script = localeScript;
        if (request.localeScript[0] == 0) {
            countriesMustMatch = true;
        } else if (localeScript[0] == 0 && !localeScriptWasComputed) {
            ComputeLocaleScript(language, country, computed);
            if (computed[0] == 0)
                countriesMustMatch = true;
            else
                script = computed;
        }
        if (countriesMustMatch) {
            if (country[0] != 0 && !Same2(country, request.country))
                return false;
        } else if (std::memcmp(script, request.localeScript, 4) != 0) {
            return false;
        }
    }
    if (ScreenConfigSet(*this)) {
        const int layoutDir = screenLayout & kMaskLayoutDir;
        if (layoutDir != 0 && layoutDir != (request.screenLayout & kMaskLayoutDir))
            return false;
        const int size = screenLayout & kMaskScreenSize;
        if (size != 0 && size > (request.screenLayout & kMaskScreenSize))
            return false;
        const int isLong = screenLayout & kMaskScreenLong;
        if (isLong != 0 && isLong != (request.screenLayout & kMaskScreenLong))
            return false;
        const int modeType = uiMode & kMaskUiModeType;
        if (modeType != 0 && modeType != (request.uiMode & kMaskUiModeType))
            return false;
        const int night = uiMode & kMaskUiModeNight;
        if (night != 0 && night != (request.uiMode & kMaskUiModeNight))
            return false;
        if (smallestScreenWidthDp != 0 && smallestScreenWidthDp > request.smallestScreenWidthDp)
            return false;
    }
    if (ScreenConfig2Set(*this)) {
        const int round = screenLayout2 & kMaskScreenRound;
        if (round != 0 && round != (request.screenLayout2 & kMaskScreenRound))
            return false;
        const int hdr = colorMode & kMaskHdr;
        if (hdr != 0 && hdr != (request.colorMode & kMaskHdr))
            return false;
        const int wide = colorMode & kMaskWideColorGamut;
        if (wide != 0 && wide != (request.colorMode & kMaskWideColorGamut))
            return false;
    }
    if (ScreenSizeDpSet(*this)) {
        if (screenWidthDp != 0 && screenWidthDp > request.screenWidthDp)
            return false;
        if (screenHeightDp != 0 && screenHeightDp > request.screenHeightDp)
            return false;
    }
    if (ScreenTypeSet(*this)) {
        if (orientation != 0 && orientation != request.orientation)
            return false;
        // Any density matches: it can be scaled (IsBetterThan prefers the nearest).
        if (touchscreen != 0 && touchscreen != request.touchscreen)
            return false;
    }
    if (InputSet(*this)) {
        const int keysHidden = inputFlags & kMaskKeysHidden;
        const int requestKeysHidden = request.inputFlags & kMaskKeysHidden;
        // A resource for "keys exposed" also serves a request for "soft keys exposed".
        if (keysHidden != 0 && keysHidden != requestKeysHidden &&
            (keysHidden != kKeysHiddenNo || requestKeysHidden != kKeysHiddenSoft))
            return false;
        const int navHidden = inputFlags & kMaskNavHidden;
        if (navHidden != 0 && navHidden != (request.inputFlags & kMaskNavHidden))
            return false;
        if (keyboard != 0 && keyboard != request.keyboard)
            return false;
        if (navigation != 0 && navigation != request.navigation)
            return false;
    }
    if (ScreenSizeSet(*this)) {
        if (screenWidth != 0 && screenWidth > request.screenWidth)
            return false;
        if (screenHeight != 0 && screenHeight > request.screenHeight)
            return false;
    }
    if (VersionSet(*this)) {
        if (sdkVersion != 0 && sdkVersion > request.sdkVersion)
            return false;
        if (minorVersion != 0 && minorVersion != request.minorVersion)
            return false;
    }
    return true;
}

bool TResConfig::IsLocaleBetterThan(const TResConfig& o, const TResConfig& request) const {
    if (!LocaleSet(request))
        return false;
    if (!LocaleSet(*this) && !LocaleSet(o) && localeScript[0] == 0 && o.localeScript[0] == 0)
        return false;
    if (!SameLanguage(language, o.language)) {
        // Only one of them names a language (both matched): that one is better, except that
        // resources without a language are where American English traditionally lives.
        const char english[2] = {'e', 'n'};
        const char unitedStates[2] = {'U', 'S'};
        if (Same2(request.language, english)) {
            if (Same2(request.country, unitedStates)) {
                if (language[0] != 0)
                    return country[0] == 0 || Same2(country, unitedStates);
                return !(o.country[0] == 0 || Same2(o.country, unitedStates));
            }
            if (IsCloseToUsEnglish(request.country)) {
                if (language[0] != 0)
                    return IsCloseToUsEnglish(country);
                return !IsCloseToUsEnglish(o.country);
            }
        }
        return language[0] != 0;
    }
    // Same language, and the scripts passed Match: region, then variant, then numbering system.
    const int regions =
        CompareLocaleRegions(country, o.country, request.language, request.localeScript, request.country);
    if (regions != 0)
        return regions > 0;
    const bool variantMatches = std::strncmp(localeVariant, request.localeVariant, 8) == 0;
    const bool otherVariantMatches = std::strncmp(o.localeVariant, request.localeVariant, 8) == 0;
    if (variantMatches != otherVariantMatches)
        return variantMatches;
    const bool numbersMatch = std::strncmp(localeNumberingSystem, request.localeNumberingSystem, 8) == 0;
    const bool otherNumbersMatch = std::strncmp(o.localeNumberingSystem, request.localeNumberingSystem, 8) == 0;
    if (numbersMatch != otherNumbersMatch)
        return numbersMatch;
    // Equivalent languages (Tagalog, Filipino): the one spelled as requested wins.
    return Same2(language, request.language) && !Same2(o.language, request.language);
}

bool TResConfig::IsBetterThan(const TResConfig& o, const TResConfig& request) const {
    if (Imsi(*this) || Imsi(o)) {
        if (mcc != o.mcc && request.mcc)
            return mcc != 0;
        if (mnc != o.mnc && request.mnc)
            return mnc != 0;
    }
    if (IsLocaleBetterThan(o, request))
        return true;
    if (o.IsLocaleBetterThan(*this, request))
        return false;
    if (screenLayout || o.screenLayout) {
        if (((screenLayout ^ o.screenLayout) & kMaskLayoutDir) != 0 && (request.screenLayout & kMaskLayoutDir))
            return (screenLayout & kMaskLayoutDir) > (o.screenLayout & kMaskLayoutDir);
    }
    if (smallestScreenWidthDp || o.smallestScreenWidthDp) {
        // Larger ones were filtered out by Match: the largest left is the closest.
        if (smallestScreenWidthDp != o.smallestScreenWidthDp)
            return smallestScreenWidthDp > o.smallestScreenWidthDp;
    }
    if (ScreenSizeDpSet(*this) || ScreenSizeDpSet(o)) {
        int mine = 0;
        int theirs = 0;
        if (request.screenWidthDp) {
            mine += request.screenWidthDp - screenWidthDp;
            theirs += request.screenWidthDp - o.screenWidthDp;
        }
        if (request.screenHeightDp) {
            mine += request.screenHeightDp - screenHeightDp;
            theirs += request.screenHeightDp - o.screenHeightDp;
        }
        if (mine != theirs)
            return mine < theirs;
    }
    if (screenLayout || o.screenLayout) {
        if (((screenLayout ^ o.screenLayout) & kMaskScreenSize) != 0 && (request.screenLayout & kMaskScreenSize)) {
            // An unspecified size counts as normal when at least normal is requested.
            const int mySize = screenLayout & kMaskScreenSize;
            const int otherSize = o.screenLayout & kMaskScreenSize;
            int fixedMine = mySize;
            int fixedOther = otherSize;
            if ((request.screenLayout & kMaskScreenSize) >= kScreenSizeNormal) {
                if (fixedMine == 0)
                    fixedMine = kScreenSizeNormal;
                if (fixedOther == 0)
                    fixedOther = kScreenSizeNormal;
            }
            if (fixedMine == fixedOther)
                return mySize != 0;
            return fixedMine > fixedOther;
        }
        if (((screenLayout ^ o.screenLayout) & kMaskScreenLong) != 0 && (request.screenLayout & kMaskScreenLong))
            return (screenLayout & kMaskScreenLong) != 0;
    }
    if (screenLayout2 || o.screenLayout2) {
        if (((screenLayout2 ^ o.screenLayout2) & kMaskScreenRound) != 0 && (request.screenLayout2 & kMaskScreenRound))
            return (screenLayout2 & kMaskScreenRound) != 0;
    }
    if (colorMode || o.colorMode) {
        if (((colorMode ^ o.colorMode) & kMaskWideColorGamut) != 0 && (request.colorMode & kMaskWideColorGamut))
            return (colorMode & kMaskWideColorGamut) != 0;
        if (((colorMode ^ o.colorMode) & kMaskHdr) != 0 && (request.colorMode & kMaskHdr))
            return (colorMode & kMaskHdr) != 0;
    }
    if (orientation != o.orientation && request.orientation)
        return orientation != 0;
    if (uiMode || o.uiMode) {
        if (((uiMode ^ o.uiMode) & kMaskUiModeType) != 0 && (request.uiMode & kMaskUiModeType))
            return (uiMode & kMaskUiModeType) != 0;
        if (((uiMode ^ o.uiMode) & kMaskUiModeNight) != 0 && (request.uiMode & kMaskUiModeNight))
            return (uiMode & kMaskUiModeNight) != 0;
    }
    if (ScreenTypeSet(*this) || ScreenTypeSet(o)) {
        if (density != o.density) {
            const int mine = density ? density : kDensityMedium;
            const int theirs = o.density ? o.density : kDensityMedium;
            // A density-independent variant beats scaling any bucket.
            if (mine == kDensityAny)
                return true;
            if (theirs == kDensityAny)
                return false;
            int requested = request.density;
            if (requested == 0 || requested == kDensityAny)
                requested = kDensityMedium;
            int high = mine;
            int low = theirs;
            bool mineIsHigher = true;
            if (low > high) {
                std::swap(high, low);
                mineIsHigher = false;
            }
            if (requested >= high)
                return mineIsHigher;
            if (low >= requested)
                return !mineIsHigher;
            // Between the two: scaling down counts twice as good as scaling up. (64 bits: densities
            // go up to 65535, and the products past 32.)
            if ((2 * int64_t(low) - requested) * high > int64_t(requested) * requested)
                return !mineIsHigher;
            return mineIsHigher;
        }
        if (touchscreen != o.touchscreen && request.touchscreen)
            return touchscreen != 0;
    }
    if (InputSet(*this) || InputSet(o)) {
        const int keysHidden = inputFlags & kMaskKeysHidden;
        const int otherKeysHidden = o.inputFlags & kMaskKeysHidden;
        if (keysHidden != otherKeysHidden) {
            const int requested = request.inputFlags & kMaskKeysHidden;
            if (requested) {
                if (!keysHidden)
                    return false;
                if (!otherKeysHidden)
                    return true;
                if (requested == keysHidden)
                    return true;
                if (requested == otherKeysHidden)
                    return false;
            }
        }
        const int navHidden = inputFlags & kMaskNavHidden;
        const int otherNavHidden = o.inputFlags & kMaskNavHidden;
        if (navHidden != otherNavHidden) {
            if (request.inputFlags & kMaskNavHidden) {
                if (!navHidden)
                    return false;
                if (!otherNavHidden)
                    return true;
            }
        }
        if (keyboard != o.keyboard && request.keyboard)
            return keyboard != 0;
        if (navigation != o.navigation && request.navigation)
            return navigation != 0;
    }
    if (ScreenSizeSet(*this) || ScreenSizeSet(o)) {
        int mine = 0;
        int theirs = 0;
        if (request.screenWidth) {
            mine += request.screenWidth - screenWidth;
            theirs += request.screenWidth - o.screenWidth;
        }
        if (request.screenHeight) {
            mine += request.screenHeight - screenHeight;
            theirs += request.screenHeight - o.screenHeight;
        }
        if (mine != theirs)
            return mine < theirs;
    }
    if (VersionSet(*this) || VersionSet(o)) {
        if (sdkVersion != o.sdkVersion && request.sdkVersion)
            return sdkVersion > o.sdkVersion;
        if (minorVersion != o.minorVersion && request.minorVersion)
            return minorVersion != 0;
    }
    return false;
}
