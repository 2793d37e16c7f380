#pragma once
#include "device/PathText.h"

#include <string>

// The package files Varnel opens, told apart by their extension.
enum class PackageFileKind {
    None, // not a package file
    Apk,  // one APK
    Apks, // a bundle as bundletool (and SAI) write it
    Xapk, // a bundle as APKPure writes it: manifest.json, the APKs, maybe OBB data
    Apkm, // a bundle as APKMirror writes it: info.json and the APKs
};

// The kind of a path by its extension, in any letter case; `isLeadByte` keeps the second byte of
// a double-byte character from passing for a dot or a separator.
PackageFileKind PackageKindOfPath(const std::string& path, const LeadByteTest& isLeadByte);

// True for the three bundle kinds.
bool IsBundle(PackageFileKind kind);
