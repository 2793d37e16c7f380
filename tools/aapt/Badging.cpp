#include "Badging.h"

#include <cstdint>
#include <string>

#include "resources/ResConfig.h"
#include "resources/ResFormat.h"
#include "resources/ResourceTable.h"
#include "resources/XmlTree.h"

using namespace ResFormat;

namespace {

// Attribute resource ids of the android namespace.
constexpr uint32_t kLabelAttr = 0x01010001;
constexpr uint32_t kIconAttr = 0x01010002;
constexpr uint32_t kNameAttr = 0x01010003;
constexpr uint32_t kDebuggableAttr = 0x0101000f;
constexpr uint32_t kScreenOrientationAttr = 0x0101001e;
constexpr uint32_t kMinSdkVersionAttr = 0x0101020c;
constexpr uint32_t kVersionCodeAttr = 0x0101021b;
constexpr uint32_t kVersionNameAttr = 0x0101021c;
constexpr uint32_t kTargetSdkVersionAttr = 0x01010270;
constexpr uint32_t kMaxSdkVersionAttr = 0x01010271;
constexpr uint32_t kTestOnlyAttr = 0x01010272;
constexpr uint32_t kInstallLocationAttr = 0x010102b7;
constexpr uint32_t kBannerAttr = 0x010103f2;
constexpr uint32_t kIsGameAttr = 0x010103f4;
constexpr uint32_t kCompileSdkVersionAttr = 0x01010572;
constexpr uint32_t kCompileSdkVersionCodenameAttr = 0x01010573;

const char* const kNotString = "attribute is not a string value";
const char* const kNotInteger = "attribute is not an integer value";
const char* const kNoSuchReference = "attribute value reference does not exist";

const char* const kWriteExternalStorage = "android.permission.WRITE_EXTERNAL_STORAGE";
const char* const kReadExternalStorage = "android.permission.READ_EXTERNAL_STORAGE";
const char* const kReadPhoneState = "android.permission.READ_PHONE_STATE";
const char* const kReadContacts = "android.permission.READ_CONTACTS";
const char* const kWriteContacts = "android.permission.WRITE_CONTACTS";
const char* const kReadCallLog = "android.permission.READ_CALL_LOG";
const char* const kWriteCallLog = "android.permission.WRITE_CALL_LOG";

// Quoting of values between single quotes: backslash, newline and double quote are escaped; a
// single quote is not. Text ends at a NUL, as a C string does.
std::string Quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\0')
            break;
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out;
}

// A component name as the tool completes it: ".Main" and "Main" are under the package.
std::string ComponentName(const std::string& package, const std::string& name) {
    const size_t dot = name.find('.');
    if (dot == 0)
        return package + name;
    if (dot == std::string::npos)
        return package + "." + name;
    return name;
}

struct TBail {}; // ends the walk after the error has been written

class TBadgingWalk {
public:
    TBadgingWalk(TXmlTree& tree, const TResourceTable& table, TBadgingResult& result)
        : tree_(tree), table_(table), result_(result) {
        // The device the tool pretends to be: American English, portrait, medium density, a
        // normal-size phone screen, and an SDK newer than any resource's version qualifier.
        base_.language[0] = 'e';
        base_.language[1] = 'n';
        base_.country[0] = 'U';
        base_.country[1] = 'S';
        TResConfig locale = base_;
        base_.SetLocaleFrom(locale);
        base_.orientation = TResConfig::kOrientationPortrait;
        base_.density = TResConfig::kDensityMedium;
        base_.sdkVersion = 10000;
        base_.screenWidthDp = 320;
        base_.screenHeightDp = 480;
        base_.smallestScreenWidthDp = 320;
        base_.screenLayout |= TResConfig::kScreenSizeNormal;
    }

    void Run() {
        try {
            Walk();
            ImpliedPermissions();
        } catch (const TBail&) {
            result_.exitCode = 1;
        }
    }

private:
    void Fail(const std::string& message) {
        result_.err += "AndroidManifest.xml:" + std::to_string(tree_.LineNumber()) + ": error: " + message + "\n";
        throw TBail();
    }
    void FailOnError(const char* attribute) {
        if (!error_.empty())
            Fail(std::string("ERROR getting '") + attribute + "' attribute: " + error_);
    }
    void Print(const std::string& text) { result_.out += text; }

    TResValue ValueOf(long index) const {
        TResValue value = tree_.AttributeValue(static_cast<size_t>(index));
        table_.NormalizeDynamic(value);
        return value;
    }

    // A string attribute taken as written (a reference is an error).
    std::string StringAttribute(uint32_t resId) {
        const long index = tree_.FindAttribute(resId);
        if (index < 0)
            return std::string();
        if (ValueOf(index).dataType != kTypeString) {
            error_ = kNotString;
            return std::string();
        }
        const std::string* text = tree_.AttributeRawString(static_cast<size_t>(index));
        return text ? *text : std::string();
    }

    std::string StringAttributeByName(const char* name) const {
        const long index = tree_.FindAttributeWithoutNamespace(name);
        if (index < 0 || ValueOf(index).dataType != kTypeString)
            return std::string();
        const std::string* text = tree_.AttributeRawString(static_cast<size_t>(index));
        return text ? *text : std::string();
    }

    // An integer attribute taken as written; recordError false ignores a value of another type.
    int32_t IntegerAttribute(uint32_t resId, int32_t fallback, bool recordError = true) {
        const long index = tree_.FindAttribute(resId);
        if (index < 0)
            return fallback;
        const TResValue value = ValueOf(index);
        if (value.dataType < kTypeFirstInt || value.dataType > kTypeLastInt) {
            if (recordError)
                error_ = kNotInteger;
            return fallback;
        }
        return static_cast<int32_t>(value.data);
    }

    int32_t ResolvedIntegerAttribute(uint32_t resId, int32_t fallback) {
        const long index = tree_.FindAttribute(resId);
        if (index < 0)
            return fallback;
        TResValue value = ValueOf(index);
        if (value.dataType == kTypeReference)
            Resolve(value, base_);
        if (value.dataType < kTypeFirstInt || value.dataType > kTypeLastInt) {
            error_ = kNotInteger;
            return fallback;
        }
        return static_cast<int32_t>(value.data);
    }

    // Follows a reference, and gives up on a table that would take too long to search.
    bool Resolve(TResValue& value, const TResConfig& config) {
        const bool found = table_.ResolveReference(value, config);
        if (table_.Exhausted())
            Fail("ERROR: the resource table is too large to search");
        return found;
    }

    // A string attribute with references followed for the given configuration.
    std::string ResolvedStringAttribute(uint32_t resId, const TResConfig& config) {
        const long index = tree_.FindAttribute(resId);
        if (index < 0)
            return std::string();
        TResValue value = ValueOf(index);
        if (value.dataType == kTypeString) {
            const std::string* text = tree_.AttributeRawString(static_cast<size_t>(index));
            return text ? *text : std::string();
        }
        if (!Resolve(value, config)) {
            error_ = kNoSuchReference;
            return std::string();
        }
        if (value.dataType != kTypeString) {
            error_ = kNotString;
            return std::string();
        }
        const std::string* text = table_.ValueString(value.data);
        return text ? *text : std::string();
    }

    void Walk() {
        int depth = 0;
        for (;;) {
            const TXmlTree::TEvent event = tree_.Next();
            if (event == TXmlTree::TEvent::EndDocument || event == TXmlTree::TEvent::BadDocument)
                break;
            if (event == TXmlTree::TEvent::EndTag) {
                --depth;
                if (depth < 2) {
                    withinApplication_ = false;
                } else if (depth < 3) {
                    EndOfComponent();
                } else if (depth < 4) {
                    withinIntentFilter_ = false;
                }
                continue;
            }
            if (event != TXmlTree::TEvent::StartTag)
                continue;
            ++depth;
            const std::string* name = tree_.ElementName();
            if (name == nullptr)
                Fail("ERROR: failed to get XML element name (bad string pool)");
            const std::string& tag = *name;
            if (depth == 1) {
                Manifest(tag);
            } else if (depth == 2) {
                withinApplication_ = false;
                if (tag == "application")
                    Application();
                else if (tag == "uses-sdk")
                    UsesSdk();
                else if (tag == "uses-permission")
                    UsesPermission();
            } else if (depth == 3) {
                withinActivity_ = false;
                if (withinApplication_ && tag == "activity")
                    Activity();
            } else if (depth == 4) {
                if (tag == "intent-filter")
                    withinIntentFilter_ = true;
            } else if (depth == 5 && withinIntentFilter_) {
                if (tag == "action" || tag == "category")
                    IntentFilterItem(tag);
            }
        }
    }

    void Manifest(const std::string& tag) {
        if (tag != "manifest")
            Fail("ERROR: manifest does not start with <manifest> tag");
        package_ = StringAttributeByName("package");
        Print("package: name='" + Quoted(package_) + "' ");
        const int32_t versionCode = IntegerAttribute(kVersionCodeAttr, -1);
        FailOnError("android:versionCode");
        Print(versionCode > 0 ? "versionCode='" + std::to_string(versionCode) + "' " : std::string("versionCode='' "));
        const std::string versionName = ResolvedStringAttribute(kVersionNameAttr, base_);
        FailOnError("android:versionName");
        Print("versionName='" + Quoted(versionName) + "'");
        const std::string split = StringAttributeByName("split");
        if (!split.empty())
            Print(" split='" + Quoted(split) + "'");
        // The platform build attributes are printed as they stand, without escapes.
        const std::string buildName = StringAttributeByName("platformBuildVersionName");
        if (!buildName.empty())
            Print(" platformBuildVersionName='" + buildName + "'");
        const std::string buildCode = StringAttributeByName("platformBuildVersionCode");
        if (!buildCode.empty())
            Print(" platformBuildVersionCode='" + buildCode + "'");
        const int32_t compileSdk = IntegerAttribute(kCompileSdkVersionAttr, -1);
        FailOnError("android:compileSdkVersion");
        if (compileSdk > 0)
            Print(" compileSdkVersion='" + std::to_string(compileSdk) + "'");
        const std::string codename = ResolvedStringAttribute(kCompileSdkVersionCodenameAttr, base_);
        if (!codename.empty())
            Print(" compileSdkVersionCodename='" + Quoted(codename) + "'");
        Print("\n");
        ResolvedIntegerAttribute(kInstallLocationAttr, -1);
        FailOnError("android:installLocation");
    }

    void UsesSdk() {
        // A number sets the target for the compatibility rules; a code name is printed as given.
        const int32_t minimum = IntegerAttribute(kMinSdkVersionAttr, -1);
        if (!error_.empty()) {
            error_.clear();
            const std::string name = ResolvedStringAttribute(kMinSdkVersionAttr, base_);
            FailOnError("android:minSdkVersion");
            if (name == "Donut")
                targetSdk_ = 4;
            Print("sdkVersion:'" + Quoted(name) + "'\n");
        } else if (minimum != -1) {
            targetSdk_ = minimum;
            Print("sdkVersion:'" + std::to_string(minimum) + "'\n");
        }
        const int32_t target = IntegerAttribute(kTargetSdkVersionAttr, -1);
        if (!error_.empty()) {
            error_.clear();
            const std::string name = ResolvedStringAttribute(kTargetSdkVersionAttr, base_);
            FailOnError("android:targetSdkVersion");
            if (name == "Donut" && targetSdk_ < 4)
                targetSdk_ = 4;
            Print("targetSdkVersion:'" + Quoted(name) + "'\n");
        } else if (target != -1) {
            if (targetSdk_ < target)
                targetSdk_ = target;
            Print("targetSdkVersion:'" + std::to_string(target) + "'\n");
        }
    }

    void UsesPermission() {
        const std::string name = StringAttribute(kNameAttr);
        FailOnError("android:name");
        if (name.empty())
            Fail("ERROR: missing 'android:name' for uses-permission");
        const int32_t maxSdk = IntegerAttribute(kMaxSdkVersionAttr, -1, false);
        if (name == kWriteExternalStorage) {
            hasWriteExternalStorage_ = true;
            writeExternalStorageMaxSdk_ = maxSdk;
        } else if (name == kReadExternalStorage) {
            hasReadExternalStorage_ = true;
        } else if (name == kReadPhoneState) {
            hasReadPhoneState_ = true;
        } else if (name == kReadContacts) {
            hasReadContacts_ = true;
        } else if (name == kWriteContacts) {
            hasWriteContacts_ = true;
        } else if (name == kReadCallLog) {
            hasReadCallLog_ = true;
        } else if (name == kWriteCallLog) {
            hasWriteCallLog_ = true;
        }
        PrintPermission(name, maxSdk);
    }

    void PrintPermission(const std::string& name, int32_t maxSdk) {
        Print("uses-permission: name='" + Quoted(name) + "'");
        if (maxSdk != -1)
            Print(" maxSdkVersion='" + std::to_string(maxSdk) + "'");
        Print("\n");
    }

    void PrintImplied(const std::string& name, const std::string& reason, int32_t maxSdk = -1) {
        PrintPermission(name, maxSdk);
        Print("uses-implied-permission: name='" + Quoted(name) + "'");
        if (maxSdk != -1)
            Print(" maxSdkVersion='" + std::to_string(maxSdk) + "'");
        Print(" reason='" + Quoted(reason) + "'\n");
    }

    void Application() {
        // Each application element looks its label up for every locale and its icon for every
        // density; a real manifest has one.
        if (++applications_ > kMaxApplications)
            Fail("ERROR: too many <application> elements");
        withinApplication_ = true;
        // One label per locale of the table; the first one found names the application when the
        // default locale has none.
        std::string label;
        for (const TResourceTable::TLocale& locale : table_.Locales()) {
            TResConfig config = base_;
            config.SetLocaleFrom(locale.request);
            const std::string localized = ResolvedStringAttribute(kLabelAttr, config);
            if (localized.empty())
                continue;
            if (locale.tag.empty()) {
                label = localized;
                Print("application-label:'" + Quoted(localized) + "'\n");
            } else {
                if (label.empty())
                    label = localized;
                Print("application-label-" + locale.tag + ":'" + Quoted(localized) + "'\n");
            }
        }
        for (int density : table_.Densities()) {
            TResConfig config = base_;
            config.density = static_cast<uint16_t>(density);
            const std::string icon = ResolvedStringAttribute(kIconAttr, config);
            if (!icon.empty())
                Print("application-icon-" + std::to_string(density) + ":'" + Quoted(icon) + "'\n");
        }
        // A failure met above (a label missing for the default locale, say) surfaces here, under
        // the icon's name, as with the real tool.
        const std::string icon = ResolvedStringAttribute(kIconAttr, base_);
        FailOnError("android:icon");
        IntegerAttribute(kTestOnlyAttr, 0);
        FailOnError("android:testOnly");
        const std::string banner = ResolvedStringAttribute(kBannerAttr, base_);
        FailOnError("android:banner");
        Print("application: label='" + Quoted(label) + "' icon='" + Quoted(icon) + "'");
        if (!banner.empty())
            Print(" banner='" + Quoted(banner) + "'");
        Print("\n");
        ResolvedIntegerAttribute(kIsGameAttr, 0);
        FailOnError("android:isGame");
        ResolvedIntegerAttribute(kDebuggableAttr, 0);
        FailOnError("android:debuggable");
    }

    void Activity() {
        withinActivity_ = true;
        activityName_ = StringAttribute(kNameAttr);
        FailOnError("android:name");
        activityLabel_ = ResolvedStringAttribute(kLabelAttr, base_);
        FailOnError("android:label");
        activityIcon_ = ResolvedStringAttribute(kIconAttr, base_);
        FailOnError("android:icon");
        ResolvedStringAttribute(kBannerAttr, base_);
        FailOnError("android:banner");
        // Read for the screen features; a value of the wrong type is remembered, not reported.
        ResolvedIntegerAttribute(kScreenOrientationAttr, -1);
    }

    void IntentFilterItem(const std::string& tag) {
        const std::string name = StringAttribute(kNameAttr);
        FailOnError("android:name");
        if (!withinActivity_)
            return;
        if (tag == "action" && name == "android.intent.action.MAIN")
            isMainActivity_ = true;
        else if (tag == "category" && name == "android.intent.category.LAUNCHER")
            isLauncherActivity_ = true;
    }

    void EndOfComponent() {
        if (withinActivity_ && isMainActivity_ && isLauncherActivity_) {
            const std::string name = ComponentName(package_, activityName_);
            Print("launchable-activity:");
            if (!name.empty())
                Print(" name='" + Quoted(name) + "' ");
            Print(" label='" + Quoted(activityLabel_) + "' icon='" + Quoted(activityIcon_) + "'\n");
        }
        withinActivity_ = false;
        isMainActivity_ = false;
        isLauncherActivity_ = false;
    }

    void ImpliedPermissions() {
        // Targets before 1.6 got these two without asking.
        if (targetSdk_ < 4) {
            if (!hasWriteExternalStorage_) {
                PrintImplied(kWriteExternalStorage, "targetSdkVersion < 4");
                hasWriteExternalStorage_ = true;
            }
            if (!hasReadPhoneState_)
                PrintImplied(kReadPhoneState, "targetSdkVersion < 4");
        }
        // Writing storage always brings reading it, up to the same SDK version.
        if (!hasReadExternalStorage_ && hasWriteExternalStorage_)
            PrintImplied(kReadExternalStorage, "requested WRITE_EXTERNAL_STORAGE", writeExternalStorageMaxSdk_);
        // Before 4.1 the contacts permissions also covered the call log.
        if (targetSdk_ < 16) {
            if (!hasReadCallLog_ && hasReadContacts_)
                PrintImplied(kReadCallLog, "targetSdkVersion < 16 and requested READ_CONTACTS");
            if (!hasWriteCallLog_ && hasWriteContacts_)
                PrintImplied(kWriteCallLog, "targetSdkVersion < 16 and requested WRITE_CONTACTS");
        }
    }

    TXmlTree& tree_;
    const TResourceTable& table_;
    TBadgingResult& result_;
    TResConfig base_;
    std::string error_; // the last attribute error; checked at fixed points, as the tool does

    static constexpr int kMaxApplications = 64;

    std::string package_;
    int32_t targetSdk_ = 0;
    int applications_ = 0;
    bool withinApplication_ = false;
    bool withinActivity_ = false;
    bool withinIntentFilter_ = false;
    bool isMainActivity_ = false;
    bool isLauncherActivity_ = false;
    std::string activityName_;
    std::string activityLabel_;
    std::string activityIcon_;

    bool hasWriteExternalStorage_ = false;
    int32_t writeExternalStorageMaxSdk_ = -1;
    bool hasReadExternalStorage_ = false;
    bool hasReadPhoneState_ = false;
    bool hasReadContacts_ = false;
    bool hasWriteContacts_ = false;
    bool hasReadCallLog_ = false;
    bool hasWriteCallLog_ = false;
};

} // namespace

TBadgingResult DumpBadging(const TByteSpan* manifest, const TByteSpan* resourceTable) {
    TBadgingResult result;
    TResourceTable table;
    if (resourceTable != nullptr && !table.Load(*resourceTable)) {
        result.err = "ERROR: dump failed because the resource table is invalid/corrupt.\n";
        result.exitCode = 1;
        return result;
    }
    if (manifest == nullptr) {
        result.err = "ERROR: dump failed because no AndroidManifest.xml found\n";
        result.exitCode = 1;
        return result;
    }
    TXmlTree tree;
    if (!tree.Load(*manifest)) {
        result.err = "ERROR: AndroidManifest.xml is corrupt\n";
        result.exitCode = 1;
        return result;
    }
    TBadgingWalk(tree, table, result).Run();
    return result;
}
