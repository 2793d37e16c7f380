#pragma once
#include "device/TextSplit.h"
#include "device/Utf8.h"

#include <string>

// Receives the facts that the package dump lines carry, in the order of the lines. The window
// writes them into its fields; tests record them.
class IBadgingSink {
public:
    virtual ~IBadgingSink() = default;
    virtual void PackageNameFound(const std::string& packageName) = 0;
    // The version name's bytes as the tool printed them (UTF-8 in every real package).
    virtual void VersionNameFound(const std::string& versionName) = 0;
    // The raw level text; the receiver names the release (AndroidVersionName).
    virtual void SdkVersionFound(const std::string& level) = 0;
    virtual void PermissionFound(const std::string& permission) = 0;
    // The label decoded from UTF-8; empty when its UTF-8 form is broken.
    virtual void ApplicationLabelFound(const std::u16string& label) = 0;
    // The icon member with '\' separators, as the ZIP reader matches names. Called for every
    // application line, also with an empty path.
    virtual void ApplicationIconFound(const std::string& iconPath) = 0;
};

// Reads the lines of `aapt dump badging` in order; each line that holds "package:",
// "sdkVersion:", "uses-permission:" or "application:" (tested in that order, anywhere in the
// line, case-sensitive) goes to its handler; every other line is ignored.
void ParseBadging(const StringList& lines, IBadgingSink& sink);

void ParsePackageLine(const std::string& line, IBadgingSink& sink);
void ParseSdkVersionLine(const std::string& line, IBadgingSink& sink);
void ParsePermissionLine(const std::string& line, IBadgingSink& sink);
void ParseApplicationLine(const std::string& line, IBadgingSink& sink);

// The value of `key='...'` on a line, where the key stands on its own (not the tail of a longer
// key such as compileSdkVersionCodename). aapt does not escape quotes inside values, so a value
// ends only at a quote that ends the line or is followed by blanks and the next key='.
// Returns false when the key is absent. With several occurrences the last one counts.
bool FindKeyValue(const std::string& line, const std::string& key, std::string& value);

// The value of a keyless quoted form such as sdkVersion:'21' or uses-permission:'a.b.C': from the
// first quote to its closing quote by the same rule. Empty when the line holds no quote.
std::string FirstQuotedValue(const std::string& line);

// The label's decoding: as DecodeUtf8, and empty when the text is not valid UTF-8.
std::u16string DecodeUtf8Label(const std::string& utf8);
