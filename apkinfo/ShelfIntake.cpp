#include "apkinfo/ShelfIntake.h"

#include "apkinfo/PackageKind.h"

#include <algorithm>
#include <set>

namespace {

// Windows names files without regard to ASCII case, and takes either slash.
std::string PathKey(const std::string& path, const LeadByteTest& isLeadByte) {
    std::string key;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (isLeadByte(c) && i + 1 < path.size()) {
            key += path[i];
            key += path[++i];
            continue;
        }
        key += c == '/' ? '\\' : c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
    }
    return key;
}

std::string Count(std::size_t value) { return std::to_string(value); }

} // namespace

ShelfIntake TakeIn(const std::vector<std::string>& paths, const std::vector<std::string>& listed,
                   const FolderLister& listFolder, const LeadByteTest& isLeadByte) {
    ShelfIntake intake;
    std::set<std::string> seen;
    for (const std::string& path : listed)
        seen.insert(PathKey(path, isLeadByte));
    std::size_t room = listed.size() < kShelfLimit ? kShelfLimit - listed.size() : 0;
    const auto takeFile = [&](const std::string& path) {
        if (PackageKindOfPath(path, isLeadByte) == PackageFileKind::None) {
            ++intake.notPackages;
        } else if (path.find('?') != std::string::npos) {
            // A name the code page can't spell reads back with '?', which no Windows name holds.
            ++intake.unnamable;
        } else if (!seen.insert(PathKey(path, isLeadByte)).second) {
            ++intake.duplicates;
        } else if (room == 0) {
            ++intake.overLimit;
        } else {
            intake.added.push_back(path);
            --room;
        }
    };
    for (const std::string& path : paths) {
        std::vector<std::string> files;
        if (!listFolder || !listFolder(path, files)) {
            takeFile(path);
            continue;
        }
        // Only what lies directly inside: a folder of packages, not a whole disk searched.
        std::sort(files.begin(), files.end(), [&](const std::string& a, const std::string& b) {
            return PathKey(a, isLeadByte) < PathKey(b, isLeadByte);
        });
        const std::size_t before = intake.added.size() + intake.duplicates + intake.overLimit + intake.unnamable;
        for (const std::string& file : files) {
            if (PackageKindOfPath(file, isLeadByte) != PackageFileKind::None)
                takeFile(file);
        }
        if (intake.added.size() + intake.duplicates + intake.overLimit + intake.unnamable == before)
            intake.emptyFolders.push_back(path);
    }
    return intake;
}

std::string IntakeMessage(const ShelfIntake& intake, const LeadByteTest& isLeadByte) {
    std::vector<std::string> parts;
    if (intake.overLimit > 0)
        parts.push_back("列表最多 " + Count(kShelfLimit) + " 个安装包，另有 " + Count(intake.overLimit) +
                        " 个没有加入");
    if (intake.duplicates > 0)
        parts.push_back(Count(intake.duplicates) + " 个重复的安装包只列一次");
    if (intake.unnamable > 0)
        parts.push_back(Count(intake.unnamable) + " 个文件名含有本机系统编码无法表示的字符，请改名后再添加");
    if (intake.notPackages > 0)
        parts.push_back(Count(intake.notPackages) + " 个文件不是APK或安装包组，没有加入");
    for (const std::string& folder : intake.emptyFolders) {
        std::string name = folder;
        while (!name.empty() && (name.back() == '\\' || name.back() == '/'))
            name.pop_back();
        parts.push_back("文件夹“" + ExtractFileName(name, isLeadByte) + "”里没有APK文件");
    }
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "；") + part;
    return text.empty() ? text : text + "。";
}
