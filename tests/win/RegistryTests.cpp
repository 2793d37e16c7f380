#include "app/RegistryUtils.h"

#include "WinTestSupport.h"

#include <aclapi.h>

namespace {

// A key of its own under HKEY_CURRENT_USER, removed with everything below it at the end.
class ScratchKey {
public:
    ScratchKey() {
        static int counter = 0;
        path_ = "Software\\VarnelTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~ScratchKey() {
        for (HKEY key : opened_)
            RegCloseKey(key);
        RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // A subkey opened with the given rights, to stand in for a registry root.
    HKEY Root(const std::string& name, REGSAM access = KEY_ALL_ACCESS) {
        HKEY sub = nullptr;
        RegCreateKeyExA(key_, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
        RegCloseKey(sub);
        sub = nullptr;
        RegOpenKeyExA(key_, name.c_str(), 0, access, &sub);
        opened_.push_back(sub);
        return sub;
    }

private:
    std::string path_;
    HKEY key_ = nullptr;
    std::vector<HKEY> opened_;
};

// Makes a key that nobody may write, as Windows protects the machine-wide classes from a standard
// user and the user's Explorer choice from every program.
void Protect(HKEY root, const std::string& key) {
    HKEY created = nullptr;
    REQUIRE(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr) ==
            ERROR_SUCCESS);
    EXPLICIT_ACCESS_A deny = {};
    char everyone[] = "EVERYONE";
    BuildExplicitAccessWithNameA(&deny, everyone, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, DENY_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    REQUIRE(SetEntriesInAclA(1, &deny, nullptr, &acl) == ERROR_SUCCESS);
    CHECK(SetSecurityInfo(created, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr) ==
          ERROR_SUCCESS);
    LocalFree(acl);
    RegCloseKey(created);
}

std::string Value(HKEY root, const std::string& key, const char* name) {
    char data[1024] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegGetValueA(root, key.c_str(), name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return "(missing)";
    CHECK(type == REG_SZ);
    return std::string(data);
}

const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.apk";

void CheckClasses(HKEY root, const std::string& prefix, const std::string& exe) {
    CHECK(Value(root, prefix + ".apk", nullptr) == "Quorlyapk");
    CHECK(Value(root, prefix + "Quorlyapk", nullptr) == "android APK程序");
    CHECK(Value(root, prefix + "Quorlyapk\\DefaultIcon", nullptr) == exe + ",0");
    CHECK(Value(root, prefix + "Quorlyapk\\Shell\\Open", nullptr).rfind("用Varnel       打开", 0) == 0);
    CHECK(Value(root, prefix + "Quorlyapk\\Shell\\Open\\Command", nullptr) == "\"" + exe + "\" \"%1\"");
    CHECK(Value(root, prefix + "Quorlyapk\\Shell\\Open", "MultiSelectModel") == "Player");
}

bool Register(TRegistryUtils& registry, const std::string& exe) {
    return registry.RegisterFileType(".apk", exe, "Quorlyapk", exe + ",0", "android APK程序");
}

} // namespace

TEST_CASE("Registering writes the association and the user's choice; again and after a move") {
    ScratchKey scratch;
    HKEY classes = scratch.Root("classes");
    HKEY user = scratch.Root("user");
    TRegistryUtils registry(classes, user);
    REQUIRE(Register(registry, "C:\\T\\app.exe"));
    CheckClasses(classes, "", "C:\\T\\app.exe");
    CHECK(Value(user, kFileExts + "\\UserChoice", "Progid") == "Quorlyapk");
    CHECK(Value(user, kFileExts, "Progid") == "Quorlyapk");
    CHECK(Value(classes, "Quorlyapk\\Shell", nullptr) == "(missing)"); // no default verb is set

    REQUIRE(Register(registry, "C:\\T\\app.exe"));
    CheckClasses(classes, "", "C:\\T\\app.exe");

    REQUIRE(Register(registry, "E:\\新位置\\Varnel.exe"));
    CheckClasses(classes, "", "E:\\新位置\\Varnel.exe");
}

TEST_CASE("Without rights to the machine-wide classes the user's own classes take the entries") {
    ScratchKey scratch;
    HKEY classes = scratch.Root("classes");
    HKEY user = scratch.Root("user");
    Protect(classes, ".apk");
    TRegistryUtils registry(classes, user);
    CHECK(Register(registry, "C:\\T\\app.exe"));
    CheckClasses(user, "Software\\Classes\\", "C:\\T\\app.exe");
    CHECK(Value(classes, ".apk", nullptr) == "(missing)");
    CHECK(Value(user, kFileExts, "Progid") == "Quorlyapk");
}

TEST_CASE("A user's choice that can't be written ends the registration with false") {
    ScratchKey scratch;
    HKEY classes = scratch.Root("classes");
    HKEY user = scratch.Root("user");
    Protect(user, kFileExts + "\\UserChoice");
    TRegistryUtils registry(classes, user);
    CHECK_FALSE(Register(registry, "C:\\T\\app.exe"));
    CheckClasses(classes, "", "C:\\T\\app.exe"); // what was written stays
    CHECK(Value(user, kFileExts, "Progid") == "(missing)");
}

TEST_CASE("A plain start registers the program; a start on a package does not") {
    ProgramFolder program;
    {
        FormHarness plain(program);
        CHECK(Value(HKEY_CLASSES_ROOT, "Quorlyapk\\Shell\\Open\\Command", nullptr) ==
              "\"" + program.ExePath() + "\" \"%1\"");
        // Bundles open in the same program.
        for (const char* extension : {".apk", ".apks", ".xapk", ".apkm"}) {
            CAPTURE(extension);
            CHECK(Value(HKEY_CLASSES_ROOT, extension, nullptr) == "Quorlyapk");
            CHECK(Value(HKEY_CURRENT_USER,
                        std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\") + extension,
                        "Progid") == "Quorlyapk");
        }
    }
    ProgramFolder other;
    FormHarness associated(other, "\"" + other.ExePath() + "\" \"" + other.Folder() + "x.apk\"");
    CHECK(Value(HKEY_CLASSES_ROOT, "Quorlyapk\\Shell\\Open\\Command", nullptr) !=
          "\"" + other.ExePath() + "\" \"%1\"");
}
