#include "device/PhoneTraits.h"

#include "device/TextSplit.h"
#include "device/Utf8.h"

#include <algorithm>
#include <iterator>
#include <string_view>

const char* const kPropAbiList = "ro.product.cpu.abilist";
const char* const kPropAbi = "ro.product.cpu.abi";
const char* const kPropDensity = "ro.sf.lcd_density";
const char* const kPropLocale = "persist.sys.locale";
const char* const kPropProductLocale = "ro.product.locale";
const char* const kPropSdk = "ro.build.version.sdk";

namespace {

// A property's value is at most 92 bytes on most phones; read-only ones may be longer, but nothing
// Varnel shows needs more than this.
constexpr std::size_t kValueCap = 256;
// A phone's name in the window: enough for "HUAWEI Mate 60 Pro+ 卫星通信版", not a paragraph.
constexpr std::size_t kNameCap = 40;

// Where the makers keep the name on the box, most specific first.
const char* const kMarketNameProperties[] = {
    "ro.product.marketname",    "ro.vendor.oplus.market.name",  "ro.oppo.market.name",       "ro.vivo.market.name",
    "ro.config.marketing_name", "ro.product.vendor.marketname", "ro.product.odm.marketname",
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Control characters out, runs of blanks as one, at most `cap` characters, in UTF-8; a text that
// is not UTF-8 keeps only its printable ASCII.
std::string CleanName(const std::string& text, std::size_t cap) {
    std::u16string wide;
    const bool utf8 = DecodeUtf8(text, wide);
    std::string out;
    std::size_t characters = 0;
    bool blank = false;
    for (std::size_t i = 0; i < text.size() && characters < cap;) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (byte >= 0x80) {
            length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            if (!utf8) {
                ++i;
                continue;
            }
        } else if (byte <= ' ' || byte == 0x7F) {
            blank = !out.empty();
            ++i;
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out.append(text, i, length);
        i += length;
        ++characters;
    }
    return out;
}

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

PhoneProfile ReadGetpropListing(const std::string& output) {
    PhoneProfile profile;
    PhoneProperties& traits = profile.properties;
    const std::pair<const char*, std::string*> wanted[] = {
        {"ro.product.cpu.abilist", &traits.abiList},
        {"ro.product.cpu.abi", &traits.abi},
        {"ro.sf.lcd_density", &traits.density},
        {"persist.sys.locale", &traits.locale},
        {"ro.product.locale", &traits.productLocale},
        {"ro.build.version.sdk", &traits.sdk},
        {"ro.product.brand", &profile.brand},
        {"ro.product.model", &profile.model},
        {"ro.product.manufacturer", &profile.manufacturer},
    };
    std::size_t marketRank = std::size(kMarketNameProperties);
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string_view line(output.data() + start, end - start);
        start = end + 1;
        // "[name]: [value]", the value up to the line's last ']' (a value may hold brackets).
        const std::size_t close = line.find("]: [");
        const std::size_t last = line.rfind(']');
        if (line.empty() || line[0] != '[' || close == std::string_view::npos || last < close + 4)
            continue;
        const std::string_view name = line.substr(1, close - 1);
        const std::string value(line.substr(close + 4, std::min(last - (close + 4), kValueCap)));
        for (const auto& property : wanted) {
            if (name == property.first)
                *property.second = value;
        }
        for (std::size_t rank = 0; rank < marketRank; ++rank) {
            if (name == kMarketNameProperties[rank] && !TrimControls(value).empty()) {
                profile.marketName = value;
                marketRank = rank;
            }
        }
    }
    return profile;
}

std::string PhoneName(const PhoneProfile& profile) {
    const std::string market = CleanName(profile.marketName, kNameCap);
    if (!market.empty())
        return market;
    const std::string brand = CleanName(profile.brand, kNameCap);
    const std::string model = CleanName(profile.model, kNameCap);
    // Some models carry the brand already ("HUAWEI P30", "Pixel 7" under "google" does not).
    if (brand.empty() || Lower(model).rfind(Lower(brand), 0) == 0)
        return model;
    return model.empty() ? brand : CleanName(brand + " " + model, kNameCap);
}

PhoneMaker MakerOf(const PhoneProfile& profile) {
    struct Family {
        const char* name;
        PhoneMaker maker;
    };
    static const Family kFamilies[] = {
        {"xiaomi", PhoneMaker::Xiaomi}, {"redmi", PhoneMaker::Xiaomi}, {"poco", PhoneMaker::Xiaomi},
        {"oppo", PhoneMaker::Oppo},     {"oneplus", PhoneMaker::Oppo}, {"realme", PhoneMaker::Oppo},
        {"vivo", PhoneMaker::Vivo},     {"iqoo", PhoneMaker::Vivo},    {"huawei", PhoneMaker::Huawei},
        {"honor", PhoneMaker::Huawei},
    };
    for (const std::string& said : {profile.brand, profile.manufacturer}) {
        const std::string name = Lower(TrimControls(said));
        for (const Family& family : kFamilies) {
            if (name == family.name)
                return family.maker;
        }
    }
    return PhoneMaker::Other;
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
