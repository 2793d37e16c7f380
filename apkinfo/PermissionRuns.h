#pragma once
#include "device/TextSplit.h"

#include <string>
#include <vector>

// The permission box's content: for each permission the settings file describes, its heading
// coloured by its level, its description and a separator, each one line of styled text.

enum class RunColor { Automatic, Green, Maroon, Red };

struct StyledRun {
    std::string text; // one line; the box adds the line end
    int pointSize;
    RunColor color;
    bool bold;
    bool operator==(const StyledRun& other) const {
        return text == other.text && pointSize == other.pointSize && color == other.color && bold == other.bold;
    }
};

// The face every run is written in: "宋体" with a trailing blank, five bytes.
extern const char* const kPermissionFace;
// The line that ends each block, with the empty lines after it.
extern const char* const kPermissionSeparator;

// Where the texts come from: the permission's section in PermissionInfo.cfg (Title, Level,
// Description); a missing value reads as empty.
class IPermissionTexts {
public:
    virtual ~IPermissionTexts() = default;
    virtual std::string Read(const std::string& section, const std::string& key) = 0;
};

// Three runs per described permission, in list order; a permission without a Title gives none.
std::vector<StyledRun> PermissionRuns(const StringList& permissions, IPermissionTexts& texts);

// The colour of a heading: Level "1" maroon, "2" red, anything else green.
RunColor LevelColor(const std::string& level);
