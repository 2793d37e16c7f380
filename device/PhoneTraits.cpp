#include "device/PhoneTraits.h"

#include "device/TextSplit.h"

const char* const kPropAbiList = "ro.product.cpu.abilist";
const char* const kPropAbi = "ro.product.cpu.abi";
const char* const kPropDensity = "ro.sf.lcd_density";
const char* const kPropLocale = "persist.sys.locale";
const char* const kPropProductLocale = "ro.product.locale";
const char* const kPropSdk = "ro.build.version.sdk";

namespace {

// A whole answer of decimal digits, within a sane range; 0 otherwise.
int SmallNumber(const std::string& text, int most) {
    if (text.empty() || text.size() > 6)
        return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= most ? value : 0;
}

// "zh-CN", "zh_CN", "zh-Hans-CN", "ZH" -> "zh".
std::string LanguageOfLocale(const std::string& locale) {
    std::string language;
    for (char c : locale) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c < 'a' || c > 'z')
            break;
        language += c;
    }
    if (language.size() < 2 || language.size() > 3)
        return std::string();
    if (language == "iw")
        return "he";
    if (language == "in")
        return "id";
    if (language == "ji")
        return "yi";
    return language;
}

} // namespace

std::string GetpropValue(const std::string& output) {
    std::string value;
    std::string text = output;
    for (char& c : text) {
        if (c == '\r')
            c = '\n';
    }
    for (const std::string& line : SplitText(text, "\n")) {
        const std::string trimmed = TrimControls(line);
        if (trimmed.empty() || trimmed[0] == '*')
            continue;
        value = trimmed;
    }
    return value;
}

PhoneTraits ReadPhoneTraits(const PhoneProperties& answers) {
    PhoneTraits traits;
    std::string abis = GetpropValue(answers.abiList);
    if (abis.empty())
        abis = GetpropValue(answers.abi);
    for (const std::string& abi : SplitText(abis, ",")) {
        const std::string name = TrimControls(abi);
        if (name.empty() || name.size() > 32)
            continue;
        bool seen = false;
        for (const std::string& known : traits.abis)
            seen = seen || known == name;
        if (!seen)
            traits.abis.push_back(name);
    }
    traits.density = SmallNumber(GetpropValue(answers.density), 10000);
    std::string locale = GetpropValue(answers.locale);
    if (LanguageOfLocale(locale).empty())
        locale = GetpropValue(answers.productLocale);
    traits.language = LanguageOfLocale(locale);
    traits.sdk = SmallNumber(GetpropValue(answers.sdk), 1000);
    return traits;
}
