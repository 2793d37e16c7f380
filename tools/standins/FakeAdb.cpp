// Stand-in for the SDK's adb.exe, playing the phones a test asks for, with the output, streams and
// exit codes of a chosen adb generation. What it plays comes from, in this order: the script file
// named by VARNEL_ADB_SCRIPT; the preset named by VARNEL_ADB_SCENARIO; "scenario.txt" beside this
// program (a script, or a preset name on its first line); the preset "device".
//
// A script has one setting per line ('#' starts a comment):
//   adb <year>       the generation whose forms it prints: 2015, 2016, 2017, 2018, 2022, 2024 (default)
//   daemon start     the listing first starts adb's daemon (its lines on stdout before 2017)
//   package <version code>[:<name>] [signer=<hex>]   the package being installed, as phones judge it
//   phone <serial> <state> [install=<outcome>] [uninstall=<outcome>] [delay=<ms>] [sdk=<n>]
//         [abi=<a,b>] [density=<dpi>] [locale=<tag>] [brand=<b>] [model=<m>] [name=<marketing name>]
//         [installed=<code>[:<version name>]] [signer=<hex>] [system=1] [downgrade=granted]
//         [dumpsys=huge|cut|silent] [open=noactivity|vanish] [refuse=<file name>:<outcome>]
// A word with blanks is written in double quotes. An outcome is "success", a package manager code
// (INSTALL_FAILED_INSUFFICIENT_STORAGE, -99, ...), or one of: vanish (the phone is gone: "device not
// found"), hang (never ends), garbage (random bytes on both streams), huge (20 MB of output), silent
// (prints nothing), successword, lowercase. Without install=, the phone judges as Android does: a
// copy signed by another signer refuses (UPDATE_INCOMPATIBLE), a newer copy refuses unless -d is
// given and the phone grants downgrades, anything else succeeds. refuse= gives one package of a list
// its own outcome on that phone: the install of a file of that name ends so.
//
// A phone has the package when the script says installed=, until an uninstall or install changes
// that; the changes are kept in "fake-adb-state.txt" beside this program. `getprop` alone lists
// every property, the marketing name under the property its maker uses (by brand); `dumpsys package`
// prints the layout of the phone's Android generation (sdk=); `am start` and `monkey` open the app.
//
// Presets: device, nodevice, empty, unauthorized, fail, successword, lowercase, twophones (one
// takes the package, one has no space), refuse (one phone, a newer version installed), phones (two
// phones with marketing names for the signed sample: one with an older version, one with a copy
// signed by someone else).
//
// Every call is logged in "fake-adb.log" beside this program, the file each install was given (and
// whether it existed) in "fake-adb-files.log". VARNEL_ADB_DELAY_MS is the time install, uninstall
// and push take where the script gives no delay (default 1500, so the busy state can be seen).
#include "StandinSupport.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

struct FakePhone {
    std::string serial; // in the code page of the command line
    std::string state = "device";
    std::string install; // empty: judged as Android does
    std::string uninstall = "success";
    int delay = -1;
    std::string sdk = "34";
    std::string abi = "arm64-v8a,armeabi-v7a,armeabi";
    std::string density = "480";
    std::string locale = "zh-CN";
    std::string brand = "google";
    std::string model = "Pixel 7";
    std::string name; // the marketing name, in UTF-8
    long long installedCode = -1;
    std::string installedName;
    std::string signer; // of the copy on the phone; empty: the package's own
    bool system = false;
    bool grantsDowngrade = false;
    std::string dumpsys; // huge, cut, silent
    std::string open;    // noactivity, vanish
    std::string refusedFile; // a file name this phone judges by `refusal` instead
    std::string refusal;
};

struct Script {
    int year = 2024;
    bool daemonStart = false;
    bool empty = false; // the listing prints nothing at all
    long long packageCode = -1;
    std::string packageName; // its version name
    std::string packageSigner;
    std::vector<FakePhone> phones;
};

std::string Utf8ToAnsi(const std::string& text) {
    if (text.empty())
        return text;
    std::wstring wide(text.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                      static_cast<int>(wide.size()));
    if (n <= 0)
        return text;
    std::string ansi(static_cast<std::size_t>(n) * 2, '\0');
    const int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &ansi[0], static_cast<int>(ansi.size()), nullptr,
                                      nullptr);
    ansi.resize(m > 0 ? static_cast<std::size_t>(m) : 0);
    return ansi;
}

// Words of a script line; double quotes group blanks into one word.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any || !word.empty())
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
        }
    }
    if (any || !word.empty())
        words.push_back(word);
    return words;
}

Script ParseScript(const std::string& text) {
    Script script;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        if (words[0] == "adb" && words.size() > 1) {
            script.year = std::atoi(words[1].c_str());
        } else if (words[0] == "daemon") {
            script.daemonStart = true;
        } else if (words[0] == "empty") {
            script.empty = true;
        } else if (words[0] == "package" && words.size() > 1) {
            script.packageCode = std::atoll(words[1].c_str());
            const auto colon = words[1].find(':');
            script.packageName = colon == std::string::npos ? words[1] : words[1].substr(colon + 1);
            if (words.size() > 2 && words[2].rfind("signer=", 0) == 0)
                script.packageSigner = words[2].substr(7);
        } else if (words[0] == "phone" && words.size() > 2) {
            FakePhone phone;
            phone.serial = Utf8ToAnsi(words[1]);
            phone.state = words[2];
            for (std::size_t i = 3; i < words.size(); ++i) {
                const auto eq = words[i].find('=');
                if (eq == std::string::npos)
                    continue;
                const std::string key = words[i].substr(0, eq);
                const std::string value = words[i].substr(eq + 1);
                if (key == "install")
                    phone.install = value;
                else if (key == "uninstall")
                    phone.uninstall = value;
                else if (key == "delay")
                    phone.delay = std::atoi(value.c_str());
                else if (key == "sdk")
                    phone.sdk = value;
                else if (key == "abi")
                    phone.abi = value;
                else if (key == "density")
                    phone.density = value;
                else if (key == "locale")
                    phone.locale = value;
                else if (key == "model")
                    phone.model = value;
                else if (key == "brand")
                    phone.brand = value;
                else if (key == "name")
                    phone.name = value;
                else if (key == "installed") {
                    phone.installedCode = std::atoll(value.c_str());
                    const auto colon = value.find(':');
                    phone.installedName = colon == std::string::npos ? value : value.substr(colon + 1);
                } else if (key == "signer")
                    phone.signer = value;
                else if (key == "system")
                    phone.system = value == "1";
                else if (key == "downgrade")
                    phone.grantsDowngrade = value == "granted";
                else if (key == "dumpsys")
                    phone.dumpsys = value;
                else if (key == "open")
                    phone.open = value;
                else if (key == "refuse" && value.find(':') != std::string::npos) {
                    phone.refusedFile = value.substr(0, value.rfind(':'));
                    phone.refusal = value.substr(value.rfind(':') + 1);
                }
            }
            script.phones.push_back(phone);
        }
    }
    return script;
}

std::string Preset(const std::string& name) {
    if (name == "nodevice")
        return "";
    if (name == "empty")
        return "empty";
    if (name == "unauthorized")
        return "phone R58M40ABCDE unauthorized";
    if (name == "fail")
        return "phone R58M40ABCDE device install=INSTALL_FAILED_VERSION_DOWNGRADE uninstall=DELETE_FAILED_INTERNAL_ERROR";
    if (name == "successword")
        return "phone R58M40ABCDE device install=successword uninstall=successword";
    if (name == "lowercase")
        return "phone R58M40ABCDE device install=lowercase uninstall=lowercase";
    if (name == "twophones")
        return "phone R58M40ABCDE device\nphone 9A281FFAZ004 device install=INSTALL_FAILED_INSUFFICIENT_STORAGE";
    if (name == "refuse")
        return "phone R58M40ABCDE device install=INSTALL_FAILED_VERSION_DOWNGRADE";
    if (name == "phones") // tests/signer/test-signer.pem signs build/win/data/sample-signed.apk, version 12
        return "package 12:1.2.0 signer=94725c2a\n"
               "phone 9A281FFAZ004 device brand=Redmi model=23013RK75C \"name=Redmi Note 12 Turbo\" installed=11:1.1.0 "
               "delay=2500\n"
               "phone R58M40ABCDE device brand=vivo model=V2309A \"name=vivo X100\" installed=12:1.2.0 signer=1f2e3d4c "
               "delay=2500";
    return "phone R58M40ABCDE device";
}

Script LoadScript() {
    std::string content;
    const std::string scriptFile = EnvironmentValue("VARNEL_ADB_SCRIPT");
    if (!scriptFile.empty() && ReadWholeFile(scriptFile, content))
        return ParseScript(content);
    const std::string preset = EnvironmentValue("VARNEL_ADB_SCENARIO");
    if (!preset.empty())
        return ParseScript(Preset(preset));
    if (ReadWholeFile(OwnFolder() + "scenario.txt", content)) {
        if (content.find("phone ") != std::string::npos || content.find("adb ") != std::string::npos)
            return ParseScript(content);
        return ParseScript(Preset(content.substr(0, content.find_first_of("\r\n \t"))));
    }
    return ParseScript(Preset("device"));
}

// What installs and uninstalls changed, one line each: serial, version code (-1: nothing there),
// signer and version name; a later line wins.
const char* const kStateFile = "fake-adb-state.txt";

void ApplyState(Script& script) {
    std::string content;
    if (!ReadWholeFile(OwnFolder() + kStateFile, content))
        return;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos)
            continue;
        for (FakePhone& phone : script.phones) {
            if (phone.serial != line.substr(0, tab1))
                continue;
            const auto tab3 = line.find('\t', tab2 + 1);
            phone.installedCode = std::atoll(line.substr(tab1 + 1, tab2 - tab1 - 1).c_str());
            phone.signer = line.substr(tab2 + 1, tab3 == std::string::npos ? tab3 : tab3 - tab2 - 1);
            phone.installedName = tab3 == std::string::npos ? "" : line.substr(tab3 + 1);
        }
    }
}

void RecordState(const FakePhone& phone, long long code, const std::string& signer, const std::string& name) {
    AppendLine(kStateFile, phone.serial + "\t" + std::to_string(code) + "\t" + signer + "\t" + name);
}

// The prefix of adb's own error lines: "adb.exe: " on Windows since late 2018, "adb: " before.
std::string Prefix(const Script& script) { return script.year >= 2018 ? "adb.exe: " : "adb: "; }

// The text adb shows in the brackets after a code, for the codes users meet.
std::string Detail(const std::string& code) {
    if (code == "INSTALL_FAILED_VERSION_DOWNGRADE")
        return "Downgrade detected: Update version code 3 is older than current 5";
    if (code == "INSTALL_FAILED_UPDATE_INCOMPATIBLE")
        return "Existing package com.quorly.varnel.sample signatures do not match newer version; ignoring!";
    if (code == "INSTALL_FAILED_NO_MATCHING_ABIS")
        return "Failed to extract native libraries, res=-113";
    if (code == "INSTALL_FAILED_OLDER_SDK")
        return "Requires newer sdk version #28 (current version is #25)";
    if (code == "INSTALL_FAILED_DEPRECATED_SDK_VERSION")
        return "App package must target at least SDK version 23, but found 22";
    if (code == "INSTALL_FAILED_USER_RESTRICTED")
        return "Install canceled by user";
    if (code == "INSTALL_FAILED_MISSING_SPLIT")
        return "Missing split for com.quorly.varnel.sample";
    if (code == "INSTALL_FAILED_INVALID_APK")
        return "Split null was defined multiple times";
    return "";
}

int Wait(const FakePhone& phone) {
    int delay = phone.delay;
    if (delay < 0) {
        const std::string value = EnvironmentValue("VARNEL_ADB_DELAY_MS");
        delay = value.empty() ? 1500 : std::atoi(value.c_str());
    }
    Sleep(static_cast<DWORD>(delay));
    return 0;
}

// The CRC-32 of a file's bytes (as ZIP directories give it), so tests can tell which member of a
// bundle a phone was given without the file, which is gone after the install.
std::string FileCrc(const std::string& path, unsigned long long& size) {
    std::string content;
    size = 0;
    if (!ReadWholeFile(path, content))
        return "-";
    size = content.size();
    unsigned long crc = 0xFFFFFFFFul;
    for (unsigned char byte : content) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1ul)));
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08lx", crc ^ 0xFFFFFFFFul);
    return text;
}

// One line per file handed over: its path, whether it existed, its CRC-32 and size, and the phone.
void LogFile(const std::string& path, const std::string& serial = std::string()) {
    unsigned long long size = 0;
    const bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::string crc = exists ? FileCrc(path, size) : "-";
    AppendLine("fake-adb-files.log", path + "\t" + (exists ? "exists" : "missing") + "\t" + crc + "\t" +
                                         std::to_string(size) + "\t" + serial);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The outcomes every command shares; returns -1 when the outcome is the command's own to print.
int SharedOutcome(const std::string& outcome, const Script& script, const FakePhone& phone) {
    if (outcome == "hang") {
        Sleep(INFINITE);
        return 1;
    }
    if (outcome == "vanish") {
        WriteErr(Prefix(script) + "device '" + phone.serial + "' not found\r\n");
        return 1;
    }
    if (outcome == "silent")
        return 1;
    if (outcome == "garbage") {
        std::string bytes(5000, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 24);
        WriteOut(bytes);
        WriteErr(bytes);
        return 1;
    }
    if (outcome == "huge") {
        WriteOut(std::string(20 << 20, 'x'));
        return 1;
    }
    if (outcome == "successword") {
        WriteOut("Unsuccessful? No: PartialSuccessful\r\n");
        return 0;
    }
    if (outcome == "lowercase") {
        WriteOut("success\r\n");
        return 0;
    }
    return -1;
}

// What the phone makes of an install: the script's outcome, else Android's own rules.
std::string Judge(const Script& script, const FakePhone& phone, bool downgrade, const std::string& file) {
    if (!phone.refusedFile.empty() && FileNameOf(file) == phone.refusedFile)
        return phone.refusal;
    if (!phone.install.empty())
        return phone.install;
    if (phone.installedCode >= 0) {
        if (!phone.signer.empty() && !script.packageSigner.empty() && phone.signer != script.packageSigner)
            return "INSTALL_FAILED_UPDATE_INCOMPATIBLE";
        if (script.packageCode >= 0 && phone.installedCode > script.packageCode &&
            !(downgrade && phone.grantsDowngrade))
            return "INSTALL_FAILED_VERSION_DOWNGRADE";
    }
    return "success";
}

int Install(const Script& script, const FakePhone& phone, const std::string& file, bool multiple, bool downgrade) {
    Wait(phone);
    const std::string outcome = Judge(script, phone, downgrade, file);
    const int shared = SharedOutcome(outcome, script, phone);
    if (shared >= 0)
        return shared;
    const bool success = outcome == "success";
    if (success)
        RecordState(phone, script.packageCode < 0 ? 1 : script.packageCode, script.packageSigner, script.packageName);
    const std::string& code = outcome;
    const std::string detail = Detail(code);
    const std::string bracket = "Failure [" + code + (detail.empty() || script.year < 2017 ? "" : ": " + detail) + "]";
    if (multiple) {
        if (success) {
            WriteOut("Success\r\n");
            return 0;
        }
        WriteErr("adb: failed to finalize session\r\n" + bracket + "\r\n");
        return 1;
    }
    const bool pushInstall = std::atoi(phone.sdk.c_str()) < 24;
    if (script.year >= 2018)
        WriteOut(pushInstall ? "Performing Push Install\r\n" : "Performing Streamed Install\r\n");
    if (script.year < 2017 || pushInstall) {
        // The package is pushed, then installed by the phone's pm, which answers on stdout; adb
        // before 2017 wrote that answer to its error stream, and its exit code was 0 either way.
        const std::string pkg = "\tpkg: /data/local/tmp/" + FileNameOf(file) + "\r\n";
        const std::string answer = (success ? std::string("Success") : "Failure [" + code + "]") + "\r\n";
        if (script.year < 2017) {
            WriteOut(pkg);
            WriteErr(success ? answer : "Failed to install " + file + ": Failure [" + code + "]\r\n");
        } else {
            WriteOut(pkg + answer);
        }
        return 0;
    }
    if (success) {
        WriteOut("Success\r\n");
        return 0;
    }
    WriteErr(Prefix(script) + "failed to install " + file + ": " + bracket + "\r\n");
    return 1;
}

int Uninstall(const Script& script, const FakePhone& phone) {
    Wait(phone);
    const int shared = SharedOutcome(phone.uninstall, script, phone);
    if (shared >= 0)
        return shared;
    if (phone.uninstall == "success") {
        RecordState(phone, -1, "", "");
        WriteOut("Success\r\n");
        return 0;
    }
    WriteOut((phone.uninstall == "notinstalled" ? std::string("Failure [not installed for 0]")
                                                : "Failure [" + phone.uninstall + "]") +
             "\r\n");
    return 1;
}

// Where a maker keeps the marketing name.
std::string MarketNameProperty(const std::string& brand) {
    std::string lower;
    for (char c : brand)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "xiaomi" || lower == "redmi" || lower == "poco")
        return "ro.product.marketname";
    if (lower == "oppo" || lower == "oneplus" || lower == "realme")
        return "ro.vendor.oplus.market.name";
    if (lower == "vivo" || lower == "iqoo")
        return "ro.vivo.market.name";
    if (lower == "huawei" || lower == "honor")
        return "ro.config.marketing_name";
    return "ro.product.vendor.marketname";
}

// `getprop` alone: every property, sorted by name as the phone prints them.
int GetPropListing(const FakePhone& phone) {
    const int sdk = std::atoi(phone.sdk.c_str());
    std::vector<std::pair<std::string, std::string>> properties = {
        {"dalvik.vm.heapsize", "512m"},
        {"gsm.sim.state", "READY"},
        {"persist.sys.timezone", "Asia/Shanghai"},
        {"ro.build.fingerprint", phone.brand + "/" + phone.model + "/release-keys"},
        {"ro.build.version.release", std::to_string(sdk >= 29 ? sdk - 20 : 9)},
        {"ro.build.version.sdk", phone.sdk},
        {"ro.product.brand", phone.brand},
        {"ro.product.cpu.abi", phone.abi.substr(0, phone.abi.find(','))},
        {"ro.product.locale", phone.locale},
        {"ro.product.manufacturer", phone.brand},
        {"ro.product.model", phone.model},
        {"ro.sf.lcd_density", phone.density},
    };
    if (sdk >= 21) {
        properties.push_back({"persist.sys.locale", phone.locale});
        properties.push_back({"ro.product.cpu.abilist", phone.abi});
    }
    if (!phone.name.empty())
        properties.push_back({MarketNameProperty(phone.brand), phone.name});
    std::sort(properties.begin(), properties.end());
    std::string listing;
    for (const auto& property : properties)
        listing += "[" + property.first + "]: [" + property.second + "]\r\n";
    WriteOut(listing);
    return 0;
}

// `dumpsys package <name>` in the layout of the phone's Android generation.
int DumpsysPackage(const Script& script, const FakePhone& phone, const std::string& package) {
    if (phone.dumpsys == "silent")
        return 0;
    const int sdk = std::atoi(phone.sdk.c_str());
    std::string text = "Activity Resolver Table:\r\n  Non-Data Actions:\r\n      android.intent.action.MAIN:\r\n"
                       "        5d1e2f3 " +
                       package + "/.MainActivity filter 9a8b7c6\r\n\r\n";
    if (phone.dumpsys == "huge") {
        for (int i = 0; i < 120000; ++i)
            text += "        " + std::to_string(i) + " com.filler.app" + std::to_string(i) + "/.Main filter 1\r\n";
    }
    const auto block = [&](long long code, const std::string& name, const std::string& signer, const char* path) {
        std::string lines = "  Package [" + package + "] (4f5c2a1):\r\n    userId=10234\r\n    codePath=" + path +
                            "\r\n    versionCode=" + std::to_string(code) +
                            (sdk >= 28 ? " minSdk=21 targetSdk=33" : " targetSdk=26") + "\r\n";
        if (phone.dumpsys == "cut")
            return lines.substr(0, lines.size() - 20);
        lines += "    versionName=" + name + "\r\n";
        lines += sdk >= 28 ? "    signatures=PackageSignatures{7c1a7e4 version:2, signatures:[" + signer +
                                 "], past signatures:[]}\r\n"
                           : "    signatures=PackageSignatures{41d5f1a8 [41d5f2c0]}\r\n";
        return lines + "    User 0: ceDataInode=4321 installed=true hidden=false suspended=false stopped=false\r\n";
    };
    const std::string signer = phone.signer.empty() ? script.packageSigner : phone.signer;
    if (phone.installedCode >= 0) {
        text += "Packages:\r\n" + block(phone.installedCode, phone.installedName, signer, "/data/app/base-1");
        if (phone.system)
            text += "\r\nHidden system packages:\r\n" + block(1, "1.0", signer, "/system/app/base");
    } else if (sdk >= 29) {
        text = "Unable to find package: " + package + "\r\n";
    } else {
        text += "Dexopt state:\r\n\r\n";
    }
    WriteOut(text);
    return 0;
}

// `am start -n <component>` and `monkey -p <package> ...`.
int OpenApp(const Script& script, const FakePhone& phone, bool monkey, const std::string& what) {
    if (phone.open == "vanish")
        return SharedOutcome("vanish", script, phone);
    const bool fails = phone.open == "noactivity" || phone.installedCode < 0;
    if (monkey) {
        WriteOut(fails ? "** No activities found to run, monkey aborted.\r\n"
                       : "  bash arg: -p\r\n  bash arg: " + what +
                             "\r\nEvents injected: 1\r\n"
                             "## Network stats: elapsed time=18ms (0ms mobile, 0ms wifi, 18ms not connected)\r\n");
        return 0;
    }
    WriteOut("Starting: Intent { cmp=" + what + " }\r\n");
    if (fails)
        WriteOut("Error type 3\r\nError: Activity class {" + what + "} does not exist.\r\n");
    return 0;
}

int GetProp(const FakePhone& phone, const std::string& property) {
    std::string value;
    if (property == "ro.build.version.sdk")
        value = phone.sdk;
    else if (property == "ro.product.cpu.abilist")
        value = std::atoi(phone.sdk.c_str()) >= 21 ? phone.abi : "";
    else if (property == "ro.product.cpu.abi")
        value = phone.abi.substr(0, phone.abi.find(','));
    else if (property == "ro.sf.lcd_density")
        value = phone.density;
    else if (property == "persist.sys.locale")
        value = std::atoi(phone.sdk.c_str()) >= 21 ? phone.locale : "";
    else if (property == "ro.product.locale")
        value = phone.locale;
    else if (property == "ro.product.model")
        value = phone.model;
    WriteOut(value + "\r\n");
    return 0;
}

int Push(const Script& script, const FakePhone& phone, const std::string& local, const std::string& remote) {
    LogFile(local, phone.serial + " " + remote);
    if (GetFileAttributesA(local.c_str()) == INVALID_FILE_ATTRIBUTES) {
        WriteErr(Prefix(script) + "error: cannot stat '" + local + "': No such file or directory\r\n");
        return 1;
    }
    Wait(phone);
    WriteOut(local + ": 1 file pushed, 0 skipped. 31.4 MB/s (1024 bytes in 0.001s)\r\n");
    (void)remote;
    return 0;
}

int Devices(const Script& script) {
    if (script.empty)
        return 0;
    std::string listing;
    if (script.daemonStart) {
        if (script.year >= 2017)
            WriteErr("* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n");
        else if (script.year == 2016)
            listing += "* daemon not running. starting it now at tcp:5037 *\r\n* daemon started successfully *\r\n";
        else
            listing += "* daemon not running. starting it now on port 5037 *\r\n* daemon started successfully *\r\n";
    }
    listing += script.year < 2015 ? "List of devices attached \r\n" : "List of devices attached\r\n";
    for (const FakePhone& phone : script.phones)
        listing += phone.serial + "\t" + phone.state + "\r\n";
    WriteOut(listing + "\r\n");
    return 0;
}

// A command for one phone goes only to a phone in the "device" state, as adb's transport
// selection does; the others answer with their state's error.
int RefuseUnready(const Script& script, const FakePhone& phone) {
    if (phone.state == "device")
        return -1;
    if (phone.state == "unauthorized")
        WriteErr("error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\nTry 'adb "
                 "kill-server' if that seems wrong.\r\nOtherwise check for a confirmation dialog on your device.\r\n");
    else if (phone.state == "offline")
        WriteErr(Prefix(script) + "device offline\r\n");
    else
        WriteErr(Prefix(script) + "device still " + phone.state + "\r\n");
    return 1;
}

// One command of `adb shell`: getprop [<property>], dumpsys package, am start, monkey, echo;
// mkdir -p <folder> answers nothing, as on a phone.
int Shell(const Script& script, const FakePhone& phone, const std::vector<std::string>& words) {
    if (words.size() == 1 && words[0] == "getprop")
        return GetPropListing(phone);
    if (words.size() >= 2 && words[0] == "getprop")
        return GetProp(phone, words[1]);
    if (words.size() >= 3 && words[0] == "dumpsys" && words[1] == "package")
        return DumpsysPackage(script, phone, words[2]);
    if (words.size() >= 4 && words[0] == "am" && words[1] == "start") {
        std::string component = words.back(); // the shell takes its quotes away
        if (component.size() >= 2 && component.front() == '\'' && component.back() == '\'')
            component = component.substr(1, component.size() - 2);
        return OpenApp(script, phone, false, component);
    }
    if (words.size() >= 3 && words[0] == "monkey")
        return OpenApp(script, phone, true, words[2]);
    if (!words.empty() && words[0] == "echo") {
        std::string text;
        for (std::size_t i = 1; i < words.size(); ++i)
            text += (i > 1 ? " " : "") + words[i];
        WriteOut(text + "\r\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    LogCommandLine("fake-adb.log");
    Script script = LoadScript();
    ApplyState(script);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string serial;
    bool haveSerial = false;
    if (args.size() >= 2 && args[0] == "-s") {
        serial = args[1];
        haveSerial = true;
        args.erase(args.begin(), args.begin() + 2);
    }
    const std::string command = args.empty() ? "" : args[0];
    if (command == "devices")
        return Devices(script);
    if (command != "install" && command != "install-multiple" && command != "uninstall" && command != "shell" &&
        command != "push") {
        WriteErr("adb: unknown command " + command + "\r\n");
        return 1;
    }

    // Which phone the command goes to.
    const FakePhone* phone = nullptr;
    if (haveSerial) {
        for (const FakePhone& candidate : script.phones) {
            if (candidate.serial == serial)
                phone = &candidate;
        }
        if (phone == nullptr) {
            WriteErr(Prefix(script) + "device '" + serial + "' not found\r\n");
            return 1;
        }
    } else if (script.phones.size() > 1) {
        if (script.year >= 2022) {
            WriteErr("adb.exe: more than one device/emulator\r\n");
        } else {
            if (command == "install")
                WriteOut("Performing Push Install\r\n");
            WriteErr("adb: error: failed to get feature set: more than one device/emulator\r\n");
        }
        return 1;
    } else if (script.phones.empty()) {
        WriteErr(Prefix(script) + "no devices/emulators found\r\n");
        return 1;
    } else {
        phone = &script.phones[0];
    }
    const int refused = RefuseUnready(script, *phone);
    if (refused >= 0)
        return refused;

    const bool downgrade = std::find(args.begin(), args.end(), "-d") != args.end();
    if (command == "install") {
        // Recorded so tests can see which file the program handed over, and whether it existed.
        const std::string file = args.empty() ? "" : args.back();
        LogFile(file, phone->serial);
        return Install(script, *phone, file, false, downgrade);
    }
    if (command == "install-multiple") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] != "-r" && args[i] != "-d")
                LogFile(args[i], phone->serial);
        }
        return Install(script, *phone, "", true, downgrade);
    }
    if (command == "uninstall")
        return Uninstall(script, *phone);
    if (command == "push")
        return args.size() >= 3 ? Push(script, *phone, args[1], args[2]) : 1;
    // The phone's shell gets the arguments joined by blanks, and runs each command of a ';' list.
    std::string line;
    for (std::size_t i = 1; i < args.size(); ++i)
        line += (i > 1 ? " " : "") + args[i];
    int status = 0;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(';', start);
        if (end == std::string::npos)
            end = line.size();
        status = Shell(script, *phone, Words(line.substr(start, end - start)));
        start = end + 1;
    }
    return status;
}
