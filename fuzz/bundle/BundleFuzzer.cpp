// Feeds arbitrary input to the bundle reader. The first byte chooses what the rest is:
//   0, 1, 2  a whole archive, read as .apks, .xapk, .apkm
//   3, 4     the manifest.json of an .xapk / the info.json of an .apkm, inside a small archive that
//            holds the APKs and the OBB such manifests usually name
// A bundle that reads is then chosen from for a phone and extracted into a scratch folder, which
// must be empty again afterwards.
#include "apkinfo/Bundle.h"
#include "apkinfo/OpenedBundle.h"
#include "device/SplitChoice.h"

#include "RealSystem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string& Scratch() {
    static const std::string folder = [] {
        const std::string path = "/tmp/varnel-bundle-fuzz-" + std::to_string(getpid());
        mkdir(path.c_str(), 0700);
        return path + "/";
    }();
    return folder;
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

uint32_t Crc(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

// A stored archive of the given members.
std::vector<uint8_t> StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> central;
    for (const auto& member : members) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t crc = Crc(member.second);
        const auto size = static_cast<uint32_t>(member.second.size());
        const auto nameLength = static_cast<uint32_t>(member.first.size());
        Put32(out, 0x04034B50);
        Put16(out, 20);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, 0);
        Put32(out, crc);
        Put32(out, size);
        Put32(out, size);
        Put16(out, nameLength);
        Put16(out, 0);
        out.insert(out.end(), member.first.begin(), member.first.end());
        out.insert(out.end(), member.second.begin(), member.second.end());
        Put32(central, 0x02014B50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, crc);
        Put32(central, size);
        Put32(central, size);
        Put16(central, nameLength);
        Put32(central, 0); // extra and comment lengths
        Put32(central, 0); // disk, internal attributes
        Put32(central, 0); // external attributes
        Put32(central, offset);
        central.insert(central.end(), member.first.begin(), member.first.end());
    }
    const auto centralOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(out, 0x06054B50);
    Put32(out, 0);
    Put16(out, static_cast<uint32_t>(members.size()));
    Put16(out, static_cast<uint32_t>(members.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    return out;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

void Exercise(const std::string& path, PackageFileKind kind) {
    RealSystem system(Scratch());
    try {
        const BundleInfo info = ReadBundle(path, kind, TZipPlatform::Portable());
        const PhoneTraits phones[] = {{{"arm64-v8a", "armeabi-v7a"}, 480, "zh", 33}, {{"x86"}, 240, "fr", 19}};
        OpenedBundle bundle(path, kind, system, TZipPlatform::Portable());
        for (const PhoneTraits& phone : phones) {
            const SplitChoice choice = ChooseSplits(info.Splits(), info.Standalones(), phone);
            bundle.PieceFiles(choice.names);
        }
        bundle.ObbFiles();
    } catch (const std::exception&) {
        // Every failure must arrive as an exception; crashes, leaks and hangs are the bugs.
    }
    // Nothing may stay behind in the scratch folder, whatever happened.
    if (rmdir(Scratch().c_str()) != 0)
        std::abort();
    mkdir(Scratch().c_str(), 0700);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t mode = data[0] % 5;
    const std::string path = "/tmp/varnel-bundle-fuzz-" + std::to_string(getpid()) + ".bin";
    std::vector<uint8_t> archive;
    if (mode < 3) {
        archive.assign(data + 1, data + size);
    } else {
        const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        const std::string apk = std::string("PK\x03\x04", 4) + "not much of a package";
        archive = StoredZip({{mode == 3 ? "manifest.json" : "info.json", text},
                             {"org.varnel.fuzz.apk", apk},
                             {"base.apk", apk},
                             {"config.arm64_v8a.apk", apk},
                             {"split_config.xxhdpi.apk", apk},
                             {"Android/obb/org.varnel.fuzz/main.1.org.varnel.fuzz.obb", "obb data"}});
    }
    if (!WriteFile(path, archive.data(), archive.size()))
        return 0;
    const PackageFileKind kinds[] = {PackageFileKind::Apks, PackageFileKind::Xapk, PackageFileKind::Apkm,
                                     PackageFileKind::Xapk, PackageFileKind::Apkm};
    Exercise(path, kinds[mode]);
    std::remove(path.c_str());
    return 0;
}
