#pragma once
#include <string>

// One APK of a split package, as the install choice sees it. Whoever lists the pieces (a bundle
// reader) fills it; the choice only reads it.

enum class SplitKind {
    Base,        // the base APK of the package
    Feature,     // the main APK of a feature module
    Abi,         // native code for one processor type
    Density,     // images for one screen density bucket
    Language,    // texts of one language
    OtherConfig, // any other configuration (texture formats, device tiers, combined qualifiers)
};

struct SplitApk {
    std::string name; // what the owner knows the piece by (a bundle: its member name)
    SplitKind kind = SplitKind::OtherConfig;
    std::string config; // Abi: the phone's spelling ("arm64-v8a"); Density: the bucket ("xxhdpi");
                        // Language: the language code ("zh"); OtherConfig: the qualifier as written
    std::string module; // "base", or the feature module the piece belongs to
};

extern const char* const kBaseModule; // "base"

// Reads a configuration qualifier as split names write it: "arm64_v8a", "xxhdpi", "xxhdpi_v4",
// "zh", "zh_rTW", "b+sr+Latn". Sets kind and config; anything unknown is OtherConfig with the
// qualifier as it came.
void ClassifyQualifier(const std::string& qualifier, SplitKind& kind, std::string& config);

// Reads a split name as a split APK's manifest states it: "" or "base" for the base,
// "config.arm64_v8a" for a base config split, "feature_x" for a feature module,
// "feature_x.config.xxhdpi" for one of its config splits. `name` of the result is left empty.
SplitApk ClassifySplitName(const std::string& splitName);

// The phone's spelling of an ABI written with underscores ("arm64_v8a" -> "arm64-v8a"); empty when
// the text names no ABI.
std::string AbiFromQualifier(const std::string& qualifier);

// The dots per inch of a density bucket ("xxhdpi" -> 480), 0 for a text that is not one.
int DensityOfBucket(const std::string& bucket);
