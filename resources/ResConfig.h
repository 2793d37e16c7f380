#pragma once
#include <cstdint>
#include <string>

#include "resources/ByteSpan.h"

// One configuration record of the resource table (locale, density, SDK version, screen, input and
// the rest) with the platform's rules for choosing among resource variants: Match tells whether a
// variant may serve a request, IsBetterThan which of two matching variants serves it better.
struct TResConfig {
    static constexpr uint8_t kOrientationPortrait = 1;
    static constexpr uint16_t kDensityMedium = 160;
    static constexpr uint16_t kDensityAny = 0xFFFE;
    static constexpr uint16_t kDensityNone = 0xFFFF;
    static constexpr uint8_t kScreenSizeNormal = 0x02;

    uint16_t mcc = 0;
    uint16_t mnc = 0;
    char language[2] = {0, 0};
    char country[2] = {0, 0};
    uint8_t orientation = 0;
    uint8_t touchscreen = 0;
    uint16_t density = 0;
    uint8_t keyboard = 0;
    uint8_t navigation = 0;
    uint8_t inputFlags = 0;
    uint8_t inputPad = 0;
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint16_t sdkVersion = 0;
    uint16_t minorVersion = 0;
    uint8_t screenLayout = 0;
    uint8_t uiMode = 0;
    uint16_t smallestScreenWidthDp = 0;
    uint16_t screenWidthDp = 0;
    uint16_t screenHeightDp = 0;
    char localeScript[4] = {0, 0, 0, 0};
    char localeVariant[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t screenLayout2 = 0;
    uint8_t colorMode = 0;
    uint16_t screenConfigPad2 = 0;
    bool localeScriptWasComputed = false;
    char localeNumberingSystem[8] = {0, 0, 0, 0, 0, 0, 0, 0};

    // Reads a record as stored (its first field gives its size; fields it does not reach stay 0).
    static TResConfig Read(const TByteSpan& record);

    bool Match(const TResConfig& request) const;
    bool IsBetterThan(const TResConfig& other, const TResConfig& request) const;

    // The locale as a BCP 47 tag ("", "fr", "zh-TW", "sr-Latn", "es-419").
    std::string Bcp47Locale() const;
    // Takes the locale part of other and works out the script when it has none of its own, as a
    // request for that locale does.
    void SetLocaleFrom(const TResConfig& other);
    void ClearLocale();

    bool HasLocale() const { return language[0] || language[1] || country[0] || country[1]; }
    bool operator==(const TResConfig& other) const;

private:
    bool IsLocaleBetterThan(const TResConfig& other, const TResConfig& request) const;
};
