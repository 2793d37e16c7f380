#include "apkinfo/PieceCheck.h"

#include "apkinfo/BadgingParser.h"

namespace {

// A name from a stranger's file, shown only in the characters package names are made of.
std::string Shown(const std::string& name) {
    std::string shown;
    for (char c : name.substr(0, 80)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_';
        shown += plain ? c : '?';
    }
    return shown;
}

} // namespace

std::string PieceProblem(const StringList& badgingLines, const std::string& packageName, bool isBase) {
    for (const std::string& line : badgingLines) {
        if (line.rfind("package:", 0) != 0)
            continue;
        std::string name;
        if (!FindKeyValue(line, "name", name))
            return std::string();
        std::string split;
        const bool hasSplit = FindKeyValue(line, "split", split) && !split.empty();
        if (!packageName.empty() && name != packageName)
            return "安装包里的文件属于不同的应用：" + Shown(name) + " 与 " + Shown(packageName) + "。";
        if (!isBase && !hasSplit)
            return "安装包里有不止一个基础 APK，无法确定安装哪一个。";
        if (isBase && hasSplit)
            return "安装包的基础 APK 其实是一个拆分包，安装包已损坏。";
        return std::string();
    }
    return std::string();
}
