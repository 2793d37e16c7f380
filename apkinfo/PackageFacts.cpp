#include "apkinfo/PackageFacts.h"

#include "apkinfo/BadgingParser.h"
#include "apkinfo/Labels.h"

namespace {

class FactsSink : public IBadgingSink {
public:
    FactsSink(PackageFacts& facts, ISystem& system) : facts_(facts), system_(system) {}

    void PackageNameFound(const std::string& name) override { facts_.packageName = name; }
    void VersionNameFound(const std::string& version) override {
        // Shown like the label when it is UTF-8; a version that is not keeps its bytes as they came.
        facts_.versionName = AnsiFromUtf8(version, system_);
    }
    void SdkVersionFound(const std::string& level) override { facts_.sdkLabel = AndroidVersionName(level); }
    void PermissionFound(const std::string& permission) override { facts_.permissions.push_back(permission); }
    void ApplicationLabelFound(const std::u16string& label) override { facts_.appName = system_.ToAnsi(label); }
    void ApplicationIconFound(const std::string& iconPath) override { facts_.iconMembers.push_back(iconPath); }

private:
    PackageFacts& facts_;
    ISystem& system_;
};

} // namespace

PackageFacts ReadPackageFacts(const StringList& lines, ISystem& system) {
    PackageFacts facts;
    FactsSink sink(facts, system);
    ParseBadging(lines, sink);
    // What the phones are asked about and opened with; the window shows neither.
    bool packageSeen = false;
    for (const std::string& line : lines) {
        std::string value;
        if (!packageSeen && line.rfind("package:", 0) == 0) {
            packageSeen = true;
            if (FindKeyValue(line, "versionCode", value) && !value.empty() && value.size() <= 18 &&
                value.find_first_not_of("0123456789") == std::string::npos)
                facts.versionCode = std::stoll(value);
        } else if (facts.launchableActivity.empty() && line.rfind("launchable-activity:", 0) == 0 &&
                   FindKeyValue(line, "name", value)) {
            facts.launchableActivity = value;
        }
    }
    return facts;
}

std::string FileSizeText(const std::string& path, ISystem& system) {
    const std::uint64_t size = system.FileSize(path);
    return FormatFileSize(size, system.ThousandSeparator(), system.DecimalSeparator());
}
