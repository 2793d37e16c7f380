#include "apkinfo/PermissionRuns.h"

const char* const kPermissionFace = "宋体 ";
const char* const kPermissionSeparator = "-------------------------------------\r\n\r\n";

RunColor LevelColor(const std::string& level) {
    if (level == "1")
        return RunColor::Maroon;
    if (level == "2")
        return RunColor::Red;
    return RunColor::Green;
}

std::vector<StyledRun> PermissionRuns(const StringList& permissions, IPermissionTexts& texts) {
    std::vector<StyledRun> runs;
    const std::size_t count = permissions.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& name = permissions[i];
        const std::string title = texts.Read(name, "Title");
        if (title.empty())
            continue;
        const std::string level = texts.Read(name, "Level");
        runs.push_back(StyledRun{title, 10, LevelColor(level), true});
        // The description and the separator stay bold like the heading.
        runs.push_back(StyledRun{texts.Read(name, "Description"), 9, RunColor::Automatic, true});
        // Its own two line ends and the box's one leave two empty lines before the next heading.
        runs.push_back(StyledRun{kPermissionSeparator, 9, RunColor::Automatic, true});
    }
    return runs;
}
