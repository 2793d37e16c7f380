#include "apkinfo/PackageKind.h"

PackageFileKind PackageKindOfPath(const std::string& path, const LeadByteTest& isLeadByte) {
    const std::string extension = ExtractFileExt(path, isLeadByte);
    struct Known {
        const char* extension;
        PackageFileKind kind;
    };
    static const Known kKnown[] = {
        {".apk", PackageFileKind::Apk},
        {".apks", PackageFileKind::Apks},
        {".xapk", PackageFileKind::Xapk},
        {".apkm", PackageFileKind::Apkm},
    };
    for (const Known& known : kKnown) {
        if (SameTextAscii(extension, known.extension))
            return known.kind;
    }
    return PackageFileKind::None;
}

bool IsBundle(PackageFileKind kind) {
    return kind == PackageFileKind::Apks || kind == PackageFileKind::Xapk || kind == PackageFileKind::Apkm;
}
