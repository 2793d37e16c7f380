#pragma once
#include "signing/Crypto.h"

#include <string>
#include <utility>
#include <vector>

// The text files of JAR signing, META-INF/MANIFEST.MF and the signers' .SF files: sections of
// "Name: value" lines separated by empty lines, long values continued on lines that start with a
// space. A section's bytes are kept as they are, since the .SF signs them byte for byte.

struct TManifestSection {
    std::string name; // the Name attribute; empty for the main section
    TByteView bytes;  // from its first line through the empty line that ends it
    std::vector<std::pair<std::string, std::string>> attributes;
    // The value of an attribute (names compare without regard to ASCII case), or null.
    const std::string* Find(const std::string& attribute) const;
};

struct TManifest {
    std::vector<TManifestSection> sections; // sections[0] is the main section
    const TManifestSection& Main() const { return sections.front(); }
};

constexpr size_t kMaxManifestSize = 32u << 20;

// False with a sentence for the user (GBK) when the text is not a manifest; `fileName` names it
// there. Two sections of one name are refused, as phones refuse them.
bool ParseManifest(TByteView text, const std::string& fileName, TManifest& manifest, std::string& problem);

// The digest attributes of a section that name an algorithm phones know ("SHA-256-Digest",
// "SHA1-Digest", ...), decoded from Base64: suffix is "-Digest", "-Digest-Manifest" or
// "-Digest-Manifest-Main-Attributes". A value that is not Base64 comes back empty, so it never matches.
struct TNamedDigest {
    TDigestKind kind;
    TBytes value;
};
std::vector<TNamedDigest> DigestAttributes(const TManifestSection& section, const std::string& suffix);
