#pragma once
#include <string>
#include <vector>

// What a phone is: what choosing the pieces of a split package needs, and what the user calls it.
// All of it comes from one `adb -s <serial> shell getprop`, which lists every property.

// The properties to ask for. The second of each pair serves when the first answers nothing.
extern const char* const kPropAbiList;       // "ro.product.cpu.abilist": "arm64-v8a,armeabi-v7a,armeabi"
extern const char* const kPropAbi;           // "ro.product.cpu.abi": phones before Android 5.0
extern const char* const kPropDensity;       // "ro.sf.lcd_density": "480"
extern const char* const kPropLocale;        // "persist.sys.locale": "zh-CN"
extern const char* const kPropProductLocale; // "ro.product.locale": the factory setting
extern const char* const kPropSdk;           // "ro.build.version.sdk": "33"

// The values of the properties the split choice uses, in UTF-8 as the phone has them; empty when
// the phone has none. (Each may also be one property's own answer, CR LF and daemon lines and all.)
struct PhoneProperties {
    std::string abiList;
    std::string abi;
    std::string density;
    std::string locale;
    std::string productLocale;
    std::string sdk;
};

// Everything one getprop listing tells: the properties above, and who made the phone and what the
// user calls it.
struct PhoneProfile {
    PhoneProperties properties;
    std::string brand; // "Xiaomi", "samsung"
    std::string model; // "23013RK75C"
    std::string manufacturer;
    std::string marketName; // "Redmi Note 12 Turbo": the first of the makers' marketing properties
};

// Reads the listing of `getprop` without a name: one "[name]: [value]" a line. Lines of any other
// form (daemon start lines, a cut last line) are skipped; only the properties above are kept, each
// cut to a sane length.
PhoneProfile ReadGetpropListing(const std::string& output);

// What the user calls the phone, in UTF-8: its marketing name, else brand and model; without
// control characters and at most a few dozen characters. Empty when the phone names neither.
std::string PhoneName(const PhoneProfile& profile);

// The makers whose phones ask on their own screen before a USB install, each with its own switches.
enum class PhoneMaker { Other, Xiaomi, Oppo, Vivo, Huawei };
PhoneMaker MakerOf(const PhoneProfile& profile);

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
