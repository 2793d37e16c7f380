// Split bundles end to end: opened as a double-click opens them, shown by their base, installed
// onto phones of different kinds through the adb stand-in, and their temporary folder gone after.
// The ZIP reader's headers come before windows.h, which would rename two of its members.
#include "apkinfo/OpenedBundle.h"
#include "zip/ZipReader.h"

#include "apkinfo/Labels.h"

#include "WinTestSupport.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace {

std::string Bundle(const std::string& name) { return TestPath(VARNEL_BUNDLES) + "\\" + name; }

std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> result;
    for (const auto& line : SplitText(ReadTextFile(path), "\r\n")) {
        if (!line.empty())
            result.push_back(line);
    }
    return result;
}

// The members of a bundle by their CRC-32, as the stand-in logs the files it was handed.
std::map<std::string, std::string> MembersByCrc(const std::string& bundle) {
    TZipReader reader(TZipPlatform::Portable());
    reader.SetZipName(bundle);
    reader.LoadDirectory();
    std::map<std::string, std::string> members;
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08lx", static_cast<unsigned long>(reader.Entry(i).Crc32));
        members[crc] = reader.Entry(i).FullPath();
    }
    return members;
}

// What each phone was handed, member by member.
std::map<std::string, std::set<std::string>> Received(const std::string& log, const std::string& bundle) {
    const auto members = MembersByCrc(bundle);
    std::map<std::string, std::set<std::string>> received;
    for (const std::string& line : LogLines(log)) {
        const StringList fields = SplitText(line, "\t");
        REQUIRE(fields.size() == 5);
        CHECK(fields[1] == "exists");
        const auto member = members.find(fields[2]);
        received[fields[4]].insert(member == members.end() ? "?" + fields[0] : member->second);
    }
    return received;
}

struct BundleScene {
    ProgramFolder program;
    ScratchFolder files{"varnel-bundles"};
    std::unique_ptr<ScopedEnvironment> script;
    ScopedEnvironment fast{"VARNEL_ADB_DELAY_MS", "0"};
    BundleScene() {
        WriteTextFile(files / "script.txt",
                      "phone ARM64PHONE device abi=arm64-v8a,armeabi-v7a,armeabi density=480 locale=zh-CN sdk=33\n"
                      "phone X86TABLET device abi=x86_64,x86 density=240 locale=fr-FR sdk=30\n");
        script = std::make_unique<ScopedEnvironment>("VARNEL_ADB_SCRIPT", files / "script.txt");
        program.WriteCfg("[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n");
    }
};

} // namespace

TEST_CASE("A bundle double-clicked is shown by its base and installed onto two kinds of phone") {
    BundleScene scene;
    const std::string bundle = Bundle("bundle.apks");
    FormHarness h(scene.program, "\"C:\\T\\app.exe\" \"" + bundle + "\"");
    TfrmMain& f = *h;
    REQUIRE(h.errors.empty());
    CHECK(h.Text(f.lblAppName) == "Bundle Demo");
    CHECK(h.Text(f.lblAppVersion) == "2.1");
    CHECK(h.Text(f.lblPackageName) == "org.varnel.bundle");
    CHECK(h.Text(f.lblSysRequest) == "Android 5.0");
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(bundle.c_str(), GetFileExInfoStandard, &data);
    CHECK(h.Text(f.lblFileSize) == FormatFileSize(data.nFileSizeLow)); // the bundle's size, not the base's
    CHECK_FALSE(f.ShowsPlaceholderIcon()); // from a density split: the base holds only an adaptive icon
    CHECK(f.GetPermissionList().size() == 3);
    CHECK(h.Text(f.lblHintInfo) == "点击“安装”按钮进行安装...");
    CHECK(h.Text(f.lblReason) == "安装包组（.apks）：16 个APK");
    REQUIRE(f.Bundle() != nullptr);
    const std::string folder = f.Bundle()->Folder().Path();
    CHECK(FileExists(folder));

    SendMessageA(f.btnInstall, BM_CLICK, 0, 0);
    CHECK(h.errors.empty());
    CHECK(h.Text(f.lblHintInfo) == "程序安装成功！");
    const auto received = Received(scene.program.ToolsFolder() + "fake-adb-files.log", bundle);
    using Set = std::set<std::string>;
    CHECK(received.at("ARM64PHONE") == Set{"splits\\base-master.apk", "splits\\base-arm64_v8a.apk",
                                            "splits\\base-xxhdpi.apk", "splits\\base-zh.apk",
                                            "splits\\feature_x-master.apk", "splits\\feature_x-arm64_v8a.apk"});
    CHECK(received.at("X86TABLET") == Set{"splits\\base-master.apk", "splits\\base-x86_64.apk", "splits\\base-hdpi.apk",
                                           "splits\\base-fr.apk", "splits\\feature_x-master.apk",
                                           "splits\\feature_x-x86_64.apk"});
    int multiple = 0;
    for (const auto& call : LogLines(scene.program.ToolsFolder() + "fake-adb.log"))
        multiple += call.find(" install-multiple -r ") != std::string::npos;
    CHECK(multiple == 2);

    // The pieces stay out while the bundle is on show, and go with the window.
    CHECK(FileExists(folder));
    SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
    CHECK_FALSE(FileExists(folder));
}

TEST_CASE("An .xapk's data goes to Android/obb before the game, onto every phone") {
    BundleScene scene;
    const std::string bundle = Bundle("bundle.xapk");
    FormHarness h(scene.program);
    h.chooserAnswers = {bundle};
    SendMessageA(h->btnSelApkFile, BM_CLICK, 0, 0);
    REQUIRE(h.errors.empty());
    CHECK(h.Text(h->lblReason) == "安装包组（.xapk）：13 个APK，1 个数据文件");
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(h.Text(h->lblHintInfo) == "程序安装成功！");
    const auto calls = LogLines(scene.program.ToolsFolder() + "fake-adb.log");
    for (const char* serial : {"ARM64PHONE", "X86TABLET"}) {
        CAPTURE(serial);
        std::ptrdiff_t push = -1;
        std::ptrdiff_t install = -1;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].find(std::string("-s ") + serial + " push ") != std::string::npos) {
                push = static_cast<std::ptrdiff_t>(i);
                CHECK(calls[i].find("\"/sdcard/Android/obb/org.varnel.bundle/main.7.org.varnel.bundle.obb\"") !=
                      std::string::npos);
            }
            if (calls[i].find(std::string("-s ") + serial + " install-multiple ") != std::string::npos)
                install = static_cast<std::ptrdiff_t>(i);
        }
        CHECK(push >= 0);
        CHECK(install > push);
    }
    const auto received = Received(scene.program.ToolsFolder() + "fake-adb-files.log", bundle);
    CHECK(received.at("ARM64PHONE /sdcard/Android/obb/org.varnel.bundle/main.7.org.varnel.bundle.obb") ==
          std::set<std::string>{"Android\\obb\\org.varnel.bundle\\main.7.org.varnel.bundle.obb"});
}

TEST_CASE("Bundles are taken from drops and the Open dialog in any letter case; damaged ones say why") {
    BundleScene scene;
    FormHarness h(scene.program);
    // A damaged bundle: its message, and an install that says it again without touching a phone.
    h.chooserAnswers = {Bundle("mixed.xapk")};
    SendMessageA(h->btnOpenApk, BM_CLICK, 0, 0);
    REQUIRE(h.errors.size() == 1);
    CHECK(h.errors[0] == "安装包里的文件属于不同的应用：org.varnel.other 与 org.varnel.bundle。");
    SendMessageA(h->btnInstall, BM_CLICK, 0, 0);
    CHECK(h.Text(h->lblHintInfo) == "程序安装失败！");
    CHECK(h.Text(h->lblReason) == "安装包里的文件属于不同的应用：org.varnel.other 与 org.varnel.bundle。");
    CHECK_FALSE(FileExists(scene.program.ToolsFolder() + "fake-adb.log"));

    // A copy under an upper-case name, dropped.
    const std::string upper = scene.files / "GAME.APKM";
    REQUIRE(CopyFileA(Bundle("bundle.apkm").c_str(), upper.c_str(), FALSE));
    h.errors.clear();
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + upper.size() + 2);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), upper.c_str(), upper.size());
    GlobalUnlock(drop);
    h->FormDropFiles(static_cast<HDROP>(drop));
    CHECK(h.errors.empty());
    CHECK(h->GetApkFileName() == upper);
    CHECK(h.Text(h->lblPackageName) == "org.varnel.bundle");
    CHECK(h.Text(h->lblReason).rfind("安装包组（.apkm）", 0) == 0);
}
