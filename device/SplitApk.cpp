#include "device/SplitApk.h"

#include <cstddef>

const char* const kBaseModule = "base";

namespace {

struct AbiSpelling {
    const char* qualifier; // as split names write it
    const char* phone;     // as the phone lists it
};

const AbiSpelling kAbis[] = {
    {"arm64_v8a", "arm64-v8a"},
    {"armeabi_v7a", "armeabi-v7a"},
    {"armeabi", "armeabi"},
    {"x86_64", "x86_64"},
    {"x86", "x86"},
    {"riscv64", "riscv64"},
    {"mips64", "mips64"},
    {"mips", "mips"},
};

struct Bucket {
    const char* name;
    int dpi;
};

const Bucket kBuckets[] = {
    {"ldpi", 120}, {"mdpi", 160}, {"tvdpi", 213}, {"hdpi", 240}, {"xhdpi", 320}, {"xxhdpi", 480}, {"xxxhdpi", 640},
};

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "xxhdpi_v4" and "xxhdpi-v4" are the bucket with the platform version aapt adds to it.
std::string WithoutVersion(const std::string& qualifier) {
    const std::size_t mark = qualifier.find_first_of("_-");
    if (mark == std::string::npos || mark + 2 > qualifier.size() || qualifier[mark + 1] != 'v')
        return qualifier;
    for (std::size_t i = mark + 2; i < qualifier.size(); ++i) {
        if (!IsDigit(qualifier[i]))
            return qualifier;
    }
    return mark + 2 < qualifier.size() ? qualifier.substr(0, mark) : qualifier;
}

// A language of two or three lower-case letters, alone or followed by a region or script
// ("zh_rTW", "zh-CN", "pt_BR"); "b+sr+Latn" is the tagged form. Returns the language or "".
std::string LanguageOf(const std::string& qualifier) {
    std::string text = qualifier;
    if (text.compare(0, 2, "b+") == 0)
        text = text.substr(2);
    std::size_t length = 0;
    while (length < text.size() && IsLower(text[length]))
        ++length;
    if (length < 2 || length > 3)
        return std::string();
    if (length < text.size() && text[length] != '_' && text[length] != '-' && text[length] != '+')
        return std::string();
    std::string language = text.substr(0, length);
    // The platform keeps the old codes of three languages in resource names.
    if (language == "iw")
        language = "he";
    else if (language == "in")
        language = "id";
    else if (language == "ji")
        language = "yi";
    return language;
}

} // namespace

std::string AbiFromQualifier(const std::string& qualifier) {
    for (const AbiSpelling& abi : kAbis) {
        if (qualifier == abi.qualifier)
            return abi.phone;
    }
    return std::string();
}

int DensityOfBucket(const std::string& bucket) {
    for (const Bucket& known : kBuckets) {
        if (bucket == known.name)
            return known.dpi;
    }
    return 0;
}

void ClassifyQualifier(const std::string& qualifier, SplitKind& kind, std::string& config) {
    const std::string abi = AbiFromQualifier(qualifier);
    if (!abi.empty()) {
        kind = SplitKind::Abi;
        config = abi;
        return;
    }
    const std::string bucket = WithoutVersion(qualifier);
    if (DensityOfBucket(bucket) != 0) {
        kind = SplitKind::Density;
        config = bucket;
        return;
    }
    const std::string language = LanguageOf(qualifier);
    if (!language.empty()) {
        kind = SplitKind::Language;
        config = language;
        return;
    }
    kind = SplitKind::OtherConfig;
    config = qualifier;
}

SplitApk ClassifySplitName(const std::string& splitName) {
    SplitApk split;
    if (splitName.empty() || splitName == kBaseModule) {
        split.kind = SplitKind::Base;
        split.module = kBaseModule;
        return split;
    }
    static const std::string kConfig = "config.";
    std::string qualifier;
    if (splitName.compare(0, kConfig.size(), kConfig) == 0) {
        split.module = kBaseModule;
        qualifier = splitName.substr(kConfig.size());
    } else {
        const std::size_t mark = splitName.find(".config.");
        if (mark == std::string::npos) {
            split.kind = SplitKind::Feature;
            split.module = splitName;
            return split;
        }
        split.module = splitName.substr(0, mark);
        qualifier = splitName.substr(mark + 8);
    }
    ClassifyQualifier(qualifier, split.kind, split.config);
    return split;
}
