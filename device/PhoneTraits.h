#pragma once
#include <string>
#include <vector>

// What a phone is, as far as choosing the pieces of a split package goes, read from the answers of
// `adb -s <serial> shell getprop <property>`.

// The properties to ask for. The second of each pair serves when the first answers nothing.
extern const char* const kPropAbiList;       // "ro.product.cpu.abilist": "arm64-v8a,armeabi-v7a,armeabi"
extern const char* const kPropAbi;           // "ro.product.cpu.abi": phones before Android 5.0
extern const char* const kPropDensity;       // "ro.sf.lcd_density": "480"
extern const char* const kPropLocale;        // "persist.sys.locale": "zh-CN"
extern const char* const kPropProductLocale; // "ro.product.locale": the factory setting
extern const char* const kPropSdk;           // "ro.build.version.sdk": "33"

// adb's standard output for each property, as it came (CR LF ended, maybe empty, maybe with an old
// adb's daemon start lines before the answer).
struct PhoneProperties {
    std::string abiList;
    std::string abi;
    std::string density;
    std::string locale;
    std::string productLocale;
    std::string sdk;
};

struct PhoneTraits {
    std::vector<std::string> abis; // best first, as the phone spells them ("arm64-v8a")
    int density = 0;               // dots per inch; 0 when the phone did not say
    std::string language;          // lower-case language code ("zh"); empty when the phone did not say
    int sdk = 0;                   // API level; 0 when the phone did not say
};

PhoneTraits ReadPhoneTraits(const PhoneProperties& answers);

// The value in one getprop answer: its last line that is not a daemon start line ("* daemon ..."),
// without blanks around it. Empty when there is none.
std::string GetpropValue(const std::string& output);
