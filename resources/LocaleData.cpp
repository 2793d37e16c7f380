#include "resources/LocaleData.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

uint32_t PackLocale(const char language[2], const char region[2]) {
    return (uint32_t(uint8_t(language[0])) << 24) | (uint32_t(uint8_t(language[1])) << 16) |
           (uint32_t(uint8_t(region[0])) << 8) | uint32_t(uint8_t(region[1]));
}

// "en" or "en-GB" (three-letter and three-digit codes allowed) to its packed form.
uint32_t PackTag(const std::string& tag) {
    const size_t dash = tag.find('-');
    const std::string language = tag.substr(0, dash);
    const std::string region = dash == std::string::npos ? std::string() : tag.substr(dash + 1);
    char lang[2] = {0, 0};
    char reg[2] = {0, 0};
    PackLocaleCode(language.c_str(), 'a', lang);
    if (!region.empty())
        PackLocaleCode(region.c_str(), '0', reg);
    return PackLocale(lang, reg);
}

constexpr uint32_t kRoot = 0;
uint32_t DropRegion(uint32_t packed) {
    return packed & 0xFFFF0000u;
}
bool HasRegion(uint32_t packed) {
    return (packed & 0xFFFFu) != 0;
}

struct TLocaleTables {
    std::unordered_map<uint32_t, std::string> scripts;   // language or language-region
    std::unordered_map<uint32_t, uint32_t> latinParents; // for the Latin script
    std::unordered_map<uint32_t, uint32_t> hantParents;  // for traditional Chinese
    std::unordered_set<std::string> representative;      // packed language-region, "/", script
};

// The likely script from the tables, or four zero bytes.
std::string ScriptIn(const TLocaleTables& t, const char language[2], const char region[2]) {
    if (language[0] == 0)
        return std::string(4, '\0');
    auto found = t.scripts.find(PackLocale(language, region));
    if (found == t.scripts.end() && region[0] != 0)
        found = t.scripts.find(DropRegion(PackLocale(language, region)));
    return found != t.scripts.end() ? found->second : std::string(4, '\0');
}

// Calls f for each blank-separated word of list.
template <typename F> void ForEachWord(const char* list, F f) {
    const std::string text = list;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            f(text.substr(start, end - start));
        start = end + 1;
    }
}

void AddScripts(TLocaleTables& t, const char* script, const char* tags) {
    ForEachWord(tags, [&](const std::string& tag) { t.scripts[PackTag(tag)] = script; });
}

void AddParents(std::unordered_map<uint32_t, uint32_t>& map, const char* parent, const char* language,
                const char* regions) {
    const uint32_t parentKey = PackTag(parent);
    ForEachWord(regions,
                [&](const std::string& region) { map[PackTag(std::string(language) + "-" + region)] = parentKey; });
}

const TLocaleTables& Tables() {
    static const TLocaleTables tables = [] {
        TLocaleTables t;
        // Languages written in Latin letters unless listed under another script below.
        AddScripts(t, "Latn",
                   "aa af ak an ast az bm br bs ca ceb co cs cy da de ee en eo es et eu ff fi fil fo fr fur fy ga "
                   "gd gl gn gsw gv ha haw hr ht hu id ig in is it jv kab kea kl ku kw la lb lg ln lt lu lv mg mi "
                   "ms mt nb nd nds nl nn no ny oc om pl pt qu rm rn ro rw sc se sg sk sl sm sn so sq ss st su sv sw "
                   "tk tl tn to tr ts uz ve vi vo wa wo xh yo zu agq asa bas bem bez cgg dav dje dua dyo ebu ewo "
                   "guz jmc kam kde khq kkj kln ksb ksf ksh lag lkt luo luy mas mer mfe mgh mgo mua naq nmg nnh nus "
                   "nyn rof rwk saq sbp seh ses smn teo twq vun wae xog yav");
        AddScripts(t, "Arab",
                   "ar fa ur ps ug sd ks ckb lrc mzn uz-AF pa-PK az-IR ms-CC ha-SD ku-LB tg-PK ky-CN "
                   "kk-AF kk-CN kk-IR kk-MN");
        AddScripts(t, "Cyrl", "ru uk be bg mk sr kk ky mn tg tt ba cv ce os ab av kv sah cu ug-KZ ug-MN uz-CN");
        AddScripts(t, "Latn", "sr-ME sr-RO sr-RU sr-TR");
        AddScripts(t, "Hans", "zh yue-CN");
        AddScripts(t, "Hant", "zh-TW zh-HK zh-MO yue");
        AddScripts(t, "Jpan", "ja");
        AddScripts(t, "Kore", "ko");
        AddScripts(t, "Grek", "el");
        AddScripts(t, "Hebr", "he iw yi");
        AddScripts(t, "Deva", "hi mr ne sa mai kok bho brx doi sd-IN");
        AddScripts(t, "Beng", "bn as mni");
        AddScripts(t, "Guru", "pa");
        AddScripts(t, "Gujr", "gu");
        AddScripts(t, "Orya", "or");
        AddScripts(t, "Taml", "ta");
        AddScripts(t, "Telu", "te");
        AddScripts(t, "Knda", "kn");
        AddScripts(t, "Mlym", "ml");
        AddScripts(t, "Sinh", "si");
        AddScripts(t, "Thai", "th");
        AddScripts(t, "Laoo", "lo");
        AddScripts(t, "Mymr", "my");
        AddScripts(t, "Khmr", "km");
        AddScripts(t, "Geor", "ka");
        AddScripts(t, "Armn", "hy");
        AddScripts(t, "Ethi", "am ti");
        AddScripts(t, "Tibt", "bo dz");
        AddScripts(t, "Thaa", "dv");
        AddScripts(t, "Cans", "iu");
        AddScripts(t, "Cher", "chr");
        AddScripts(t, "Yiii", "ii");
        AddScripts(t, "Olck", "sat");
        AddScripts(t, "Tfng", "zgh shi");
        AddScripts(t, "Vaii", "vai");
        AddScripts(t, "Nkoo", "nqo");
        AddScripts(t, "Syrc", "syr");
        AddScripts(t, "Mong", "mn-CN");

        // Regional variants that descend from a common regional parent rather than from the
        // language itself.
        AddParents(t.latinParents, "en-001", "en",
                   "150 AG AI AU BB BE BM BS BW BZ CA CC CK CM CX CY DG DM ER FJ FK FM GB GD GG GH GI GM GY HK IE "
                   "IL IM IN IO JE JM KE KI KN KY LC LR LS MG MO MS MT MU MW MY NA NF NG NR NU NZ PG PH PK PN PW RW "
                   "SB SC SD SG SH SL SS SX SZ TC TK TO TT TV TZ UG VC VG VU WS ZA ZM ZW");
        AddParents(t.latinParents, "en-150", "en", "AT CH DE DK FI NL SE SI");
        AddParents(t.latinParents, "es-419", "es", "AR BO BR BZ CL CO CR CU DO EC GT HN MX NI PA PE PR PY SV US UY VE");
        AddParents(t.latinParents, "pt-PT", "pt", "AO CH CV FR GQ GW LU MO MZ ST TL");
        AddParents(t.hantParents, "zh-HK", "zh", "MO");

        // The pseudo-locales (accented English, right-to-left Arabic) have scripts of their own,
        // so that they never stand in for real English or Arabic.
        t.scripts[PackTag("en-XA")] = "~~~A";
        t.scripts[PackTag("ar-XB")] = "~~~B";
        t.scripts[PackTag("ji")] = "Hebr";

        // The usual region of each language (and of a language in another script), plus the ones
        // that stand for a whole area: en-GB for en-001, es-MX and es-US for es-419.
        const char* usual[] = {
            "af-ZA", "am-ET",  "ar-EG",  "as-IN",  "ast-ES", "az-AZ",  "be-BY",  "bg-BG", "bn-BD", "bo-CN",  "br-FR",
            "bs-BA", "ca-ES",  "ceb-PH", "chr-US", "ckb-IQ", "cs-CZ",  "cy-GB",  "da-DK", "de-DE", "dz-BT",  "el-GR",
            "en-US", "es-ES",  "et-EE",  "eu-ES",  "fa-IR",  "fi-FI",  "fil-PH", "fo-FO", "fr-FR", "fy-NL",  "ga-IE",
            "gd-GB", "gl-ES",  "gsw-CH", "gu-IN",  "ha-NG",  "haw-US", "he-IL",  "hi-IN", "hr-HR", "hu-HU",  "hy-AM",
            "id-ID", "ig-NG",  "in-ID",  "is-IS",  "it-IT",  "iw-IL",  "ja-JP",  "jv-ID", "ka-GE", "kab-DZ", "kk-KZ",
            "km-KH", "kn-IN",  "ko-KR",  "kok-IN", "ky-KG",  "lb-LU",  "lo-LA",  "lt-LT", "lv-LV", "mai-IN", "mg-MG",
            "mi-NZ", "mk-MK",  "ml-IN",  "mn-MN",  "mni-IN", "mr-IN",  "ms-MY",  "mt-MT", "my-MM", "nb-NO",  "ne-NP",
            "nl-NL", "nn-NO",  "no-NO",  "or-IN",  "pa-IN",  "pl-PL",  "ps-AF",  "pt-BR", "rm-CH", "ro-RO",  "ru-RU",
            "rw-RW", "sat-IN", "si-LK",  "sk-SK",  "sl-SI",  "so-SO",  "sq-AL",  "sr-RS", "sv-SE", "sw-TZ",  "ta-IN",
            "te-IN", "tg-TJ",  "th-TH",  "ti-ET",  "tk-TM",  "tl-PH",  "to-TO",  "tr-TR", "tt-RU", "ug-CN",  "uk-UA",
            "ur-PK", "uz-UZ",  "vi-VN",  "xh-ZA",  "yo-NG",  "yue-HK", "zh-CN",  "zu-ZA", "en-GB", "es-MX",  "es-US",
        };
        for (const char* pair : usual) {
            const uint32_t packed = PackTag(pair);
            const char lang[2] = {char(packed >> 24), char(packed >> 16)};
            const char reg[2] = {char(packed >> 8), char(packed)};
            t.representative.insert(std::to_string(packed) + "/" + ScriptIn(t, lang, reg));
        }
        // Languages in their second script.
        const char* usualInScript[][2] = {
            {"zh-TW", "Hant"}, {"sr-RS", "Latn"}, {"pa-PK", "Arab"},  {"uz-AF", "Arab"}, {"az-IR", "Arab"},
            {"mn-CN", "Mong"}, {"ms-MY", "Arab"}, {"yue-CN", "Hans"}, {"bs-BA", "Cyrl"}, {"uz-UZ", "Cyrl"},
            {"az-AZ", "Cyrl"}, {"ha-NG", "Arab"}, {"sd-IN", "Deva"},
        };
        for (const auto& pair : usualInScript)
            t.representative.insert(std::to_string(PackTag(pair[0])) + "/" + pair[1]);
        return t;
    }();
    return tables;
}

const std::unordered_map<uint32_t, uint32_t>* ParentsFor(const char script[4]) {
    if (std::memcmp(script, "Latn", 4) == 0)
        return &Tables().latinParents;
    if (std::memcmp(script, "Hant", 4) == 0)
        return &Tables().hantParents;
    return nullptr;
}

uint32_t FindParent(uint32_t packed, const char script[4]) {
    if (!HasRegion(packed))
        return kRoot;
    if (const auto* parents = ParentsFor(script)) {
        const auto found = parents->find(packed);
        if (found != parents->end())
            return found->second;
    }
    return DropRegion(packed);
}

// Walks from packed up the parent tree, writing each step to out (when given), until one of stops
// is met; stopIndex tells which (or -1). Returns the number of steps written.
size_t FindAncestors(uint32_t* out, long& stopIndex, uint32_t packed, const char script[4], const uint32_t* stops,
                     size_t stopCount) {
    uint32_t ancestor = packed;
    size_t count = 0;
    // The tree is a few levels deep; the bound only guards against a table mistake.
    for (size_t guard = 0; guard < 16; ++guard) {
        if (out != nullptr)
            out[count] = ancestor;
        ++count;
        for (size_t i = 0; i < stopCount; ++i) {
            if (stops[i] == ancestor) {
                stopIndex = static_cast<long>(i);
                return count;
            }
        }
        ancestor = FindParent(ancestor, script);
        if (ancestor == kRoot)
            break;
    }
    stopIndex = -1;
    return count;
}

size_t FindDistance(uint32_t supported, const char script[4], const uint32_t* requestAncestors, size_t ancestorCount) {
    long index = -1;
    const size_t steps = FindAncestors(nullptr, index, supported, script, requestAncestors, ancestorCount);
    // Both share the language as their root, so index is found; the distance is the sum of both
    // sides' steps to the nearest common ancestor.
    return steps + static_cast<size_t>(index < 0 ? 0 : index) - 1;
}

bool IsRepresentative(uint32_t packed, const char script[4]) {
    return Tables().representative.count(std::to_string(packed) + "/" + std::string(script, 4)) != 0;
}

} // namespace

int UnpackLocaleCode(const char in[2], char base, char out[4]) {
    const uint8_t b0 = uint8_t(in[0]);
    const uint8_t b1 = uint8_t(in[1]);
    if (b0 & 0x80) {
        out[0] = char((b1 & 0x1f) + base);
        out[1] = char((((b1 & 0xe0) >> 5) | ((b0 & 0x03) << 3)) + base);
        out[2] = char(((b0 & 0x7c) >> 2) + base);
        out[3] = 0;
        return 3;
    }
    if (b0 != 0) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = out[3] = 0;
        return 2;
    }
    std::memset(out, 0, 4);
    return 0;
}

void PackLocaleCode(const char* in, char base, char out[2]) {
    if (in[0] == 0 || in[1] == 0) {
        out[0] = out[1] = 0;
        return;
    }
    if (in[2] == 0 || in[2] == '-') {
        out[0] = in[0];
        out[1] = in[1];
        return;
    }
    const uint8_t first = uint8_t(in[0] - base) & 0x7f;
    const uint8_t second = uint8_t(in[1] - base) & 0x7f;
    const uint8_t third = uint8_t(in[2] - base) & 0x7f;
    out[0] = char(0x80 | (third << 2) | (second >> 3));
    out[1] = char(((second << 5) | first) & 0xFF);
}

void ComputeLocaleScript(const char language[2], const char region[2], char script[4]) {
    std::memcpy(script, ScriptIn(Tables(), language, region).data(), 4);
}

int CompareLocaleRegions(const char leftRegion[2], const char rightRegion[2], const char requestedLanguage[2],
                         const char requestedScript[4], const char requestedRegion[2]) {
    if (leftRegion[0] == rightRegion[0] && leftRegion[1] == rightRegion[1])
        return 0;
    const uint32_t left = PackLocale(requestedLanguage, leftRegion);
    const uint32_t right = PackLocale(requestedLanguage, rightRegion);
    const uint32_t request = PackLocale(requestedLanguage, requestedRegion);
    const uint32_t both[2] = {left, right};
    uint32_t ancestors[17];
    long which = -1;
    const size_t count = FindAncestors(ancestors, which, request, requestedScript, both, 2);
    if (which == 0)
        return 1;
    if (which == 1)
        return -1;
    // Neither is an ancestor of the request: the one nearer in the tree wins.
    const size_t leftDistance = FindDistance(left, requestedScript, ancestors, count);
    const size_t rightDistance = FindDistance(right, requestedScript, ancestors, count);
    if (leftDistance != rightDistance)
        return static_cast<int>(rightDistance) - static_cast<int>(leftDistance);
    const bool leftUsual = IsRepresentative(left, requestedScript);
    const bool rightUsual = IsRepresentative(right, requestedScript);
    if (leftUsual != rightUsual)
        return leftUsual ? 1 : -1;
    // Nothing tells them apart: for a stable choice the lower region code wins.
    return right > left ? 1 : -1;
}

bool IsCloseToUsEnglish(const char region[2]) {
    static const uint32_t stops[2] = {PackTag("en"), PackTag("en-001")};
    const char english[2] = {'e', 'n'};
    long which = -1;
    FindAncestors(nullptr, which, PackLocale(english, region), "Latn", stops, 2);
    return which == 0;
}
