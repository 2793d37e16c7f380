// Stand-in for the SDK's adb.exe, playing the phones a test asks for, with the output, streams and
// exit codes of a chosen adb generation. What it plays comes from, in this order: the script file
// named by VARNEL_ADB_SCRIPT; the preset named by VARNEL_ADB_SCENARIO; "scenario.txt" beside this
// program (a script, or a preset name on its first line); the preset "device".
//
// A script has one setting per line ('#' starts a comment):
//   adb <year>       the generation whose forms it prints: 2015, 2016, 2017, 2018, 2022, 2024 (default)
//   daemon start     the listing first starts adb's daemon (its lines on stdout before 2017)
//   phone <serial> <state> [install=<outcome>] [uninstall=<outcome>] [delay=<ms>] [sdk=<n>]
//         [abi=<a,b>] [density=<dpi>] [locale=<tag>] [model=<name>]
// A serial or state with blanks is written in double quotes. An outcome is "success", a package
// manager code (INSTALL_FAILED_INSUFFICIENT_STORAGE, -99, ...), or one of: vanish (the phone is gone:
// "device not found"), hang (never ends), garbage (random bytes on both streams), huge (20 MB of
// output), silent (prints nothing), successword, lowercase.
//
// Presets: device, nodevice, empty, unauthorized, fail, successword, lowercase, twophones (one
// takes the package, one has no space), refuse (one phone, a newer version installed).
//
// Every call is logged in "fake-adb.log" beside this program, the file each install was given (and
// whether it existed) in "fake-adb-files.log". VARNEL_ADB_DELAY_MS is the time install, uninstall
// and push take where the script gives no delay (default 1500, so the busy state can be seen).
#include "StandinSupport.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct FakePhone {
    std::string serial; // in the code page of the command line
    std::string state = "device";
    std::string install = "success";
    std::string uninstall = "success";
    int delay = -1;
    std::string sdk = "34";
    std::string abi = "arm64-v8a,armeabi-v7a,armeabi";
    std::string density = "480";
    std::string locale = "zh-CN";
    std::string model = "Pixel_7";
};

struct Script {
    int year = 2024;
    bool daemonStart = false;
    bool empty = false; // the listing prints nothing at all
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

int Install(const Script& script, const FakePhone& phone, const std::string& file, bool multiple) {
    Wait(phone);
    const int shared = SharedOutcome(phone.install, script, phone);
    if (shared >= 0)
        return shared;
    const bool success = phone.install == "success";
    const std::string& code = phone.install;
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
        WriteOut("Success\r\n");
        return 0;
    }
    WriteOut((phone.uninstall == "notinstalled" ? std::string("Failure [not installed for 0]")
                                                : "Failure [" + phone.uninstall + "]") +
             "\r\n");
    return 1;
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

} // namespace

int main(int argc, char** argv) {
    LogCommandLine("fake-adb.log");
    const Script script = LoadScript();
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

    if (command == "install") {
        // Recorded so tests can see which file the program handed over, and whether it existed.
        const std::string file = args.empty() ? "" : args.back();
        LogFile(file, phone->serial);
        return Install(script, *phone, file, false);
    }
    if (command == "install-multiple") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] != "-r")
                LogFile(args[i], phone->serial);
        }
        return Install(script, *phone, "", true);
    }
    if (command == "uninstall")
        return Uninstall(script, *phone);
    if (command == "push")
        return args.size() >= 3 ? Push(script, *phone, args[1], args[2]) : 1;
    // shell getprop <property>; shell mkdir -p <folder> answers nothing, as on a phone.
    if (args.size() >= 3 && args[1] == "getprop")
        return GetProp(*phone, args[2]);
    return 0;
}
