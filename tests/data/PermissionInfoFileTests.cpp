// Keeps data/PermissionInfo.cfg readable by the profile functions: every line is one they parse,
// every permission section has what the permission box needs, no value reaches their 2,047-byte
// cut, and the text is GBK that survives the ANSI code page unchanged.

#include "TestPaths.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// The checks below build GBK test lines from Chinese literals; that needs the GBK execution charset.
static_assert(sizeof("访") == 3, "the tests need GBK string literals (-fexec-charset=GBK)");

constexpr std::size_t kProfileValueLimit = 2047;
constexpr std::size_t kTitleLimit = 40; // a heading longer than this wraps badly in the 249-pixel box

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    REQUIRE_MESSAGE(in, "cannot open " << path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

#ifdef _WIN32
std::optional<std::u16string> DecodeGbk(const std::string& bytes) {
    if (bytes.empty())
        return std::u16string();
    const int n =
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return std::u16string(wide.begin(), wide.end());
}

std::optional<std::string> EncodeGbk(const std::u16string& text) {
    if (text.empty())
        return std::string();
    const std::wstring wide(text.begin(), text.end());
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr,
                        &usedDefault);
    return bytes;
}
#else
// Strict conversion through glibc's iconv: an invalid or unmapped sequence fails the whole text.
std::optional<std::string> Convert(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    REQUIRE_MESSAGE(cd != reinterpret_cast<iconv_t>(-1), "iconv has no " << from << " to " << to);
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = &out[0];
    std::size_t dstLeft = out.size();
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || srcLeft != 0)
        return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

std::optional<std::u16string> DecodeGbk(const std::string& bytes) {
    const auto utf16 = Convert("UTF-16LE", "GBK", bytes);
    if (!utf16)
        return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < utf16->size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>((*utf16)[i]) |
                                             (static_cast<unsigned char>((*utf16)[i + 1]) << 8)));
    return text;
}

std::optional<std::string> EncodeGbk(const std::u16string& text) {
    std::string utf16;
    for (char16_t c : text) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    return Convert("GBK", "UTF-16LE", utf16);
}
#endif

struct Entry {
    std::string key;
    std::string value;
};

struct Section {
    std::string name;
    int line = 0;
    std::vector<Entry> entries;

    const Entry* Find(const std::string& key) const {
        for (const Entry& e : entries) {
            if (Lower(e.key) == Lower(key))
                return &e;
        }
        return nullptr;
    }
};

struct CheckedFile {
    std::vector<Section> sections;
    std::vector<std::string> problems;
};

// Dotted names of letters, digits and underscores, as Android's permission names are.
bool LooksLikePermissionName(const std::string& name) {
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0])))
        return false;
    bool dotted = false;
    char previous = 0;
    for (char c : name) {
        if (c == '.') {
            if (previous == '.')
                return false;
            dotted = true;
        } else if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return false;
        }
        previous = c;
    }
    return dotted && previous != '.';
}

void CheckText(const std::string& bytes, std::vector<std::string>& problems) {
    const auto text = DecodeGbk(bytes);
    if (!text) {
        problems.push_back("not valid GBK: a byte sequence does not decode");
        return;
    }
    // The user-defined areas of GBK decode to private-use characters, which no font shows.
    for (char16_t c : *text) {
        if (c >= 0xE000 && c <= 0xF8FF) {
            problems.push_back("not valid GBK text: private-use character");
            return;
        }
    }
    const auto again = EncodeGbk(*text);
    if (!again || *again != bytes)
        problems.push_back("GBK does not round-trip: decoding and encoding again changes the bytes");
}

void CheckSection(const Section& s, bool first, std::vector<std::string>& problems) {
    const std::string where = "section [" + s.name + "] (line " + std::to_string(s.line) + "): ";
    if (Lower(s.name) == "applicationconfig") {
        if (!first)
            problems.push_back(where + "ApplicationConfig must be the first section");
        const Entry* close = s.Find("IsCloseAfterInstall");
        if (!close || close->value != "true")
            problems.push_back(where + "IsCloseAfterInstall must be true");
        return;
    }
    if (first)
        problems.push_back(where + "the first section must be ApplicationConfig");
    if (!LooksLikePermissionName(s.name))
        problems.push_back(where + "the name does not look like a permission name");
    const Entry* title = s.Find("Title");
    if (!title || title->value.empty())
        problems.push_back(where + "no Title");
    else if (title->value.size() > kTitleLimit)
        problems.push_back(where + "Title longer than " + std::to_string(kTitleLimit) + " bytes");
    const Entry* level = s.Find("Level");
    if (!level || (level->value != "0" && level->value != "1" && level->value != "2"))
        problems.push_back(where + "Level must be 0, 1 or 2");
    const Entry* description = s.Find("Description");
    if (!description || description->value.empty())
        problems.push_back(where + "no Description");
}

// Reads the file the way the profile functions do and lists every departure from our format.
CheckedFile CheckPermissionFile(const std::string& bytes) {
    CheckedFile file;
    auto& problems = file.problems;
    CheckText(bytes, problems);

    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        problems.push_back("the last line has no CR LF line end");

    std::set<std::string> sectionNames;
    std::set<std::string> keyNames;
    std::size_t pos = 0;
    for (int lineNo = 1; pos < bytes.size(); ++lineNo) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(pos, end - pos);
        pos = end + 2;
        const std::string where = "line " + std::to_string(lineNo) + ": ";

        if (line.find_first_of("\r\n") != std::string::npos) {
            problems.push_back(where + "bare CR or LF line end");
            continue;
        }
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; })) {
            problems.push_back(where + "control character");
            continue;
        }
        if (line.empty())
            continue;
        if (line[0] == ';') {
            if (!file.sections.empty())
                problems.push_back(where + "comment after the first section");
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                problems.push_back(where + "not a section, key=value, comment or blank line");
                continue;
            }
            Section s;
            s.name = line.substr(1, line.size() - 2);
            s.line = lineNo;
            if (!sectionNames.insert(Lower(s.name)).second)
                problems.push_back(where + "duplicate section [" + s.name + "]");
            file.sections.push_back(s);
            keyNames.clear();
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            problems.push_back(where + "not a section, key=value, comment or blank line");
            continue;
        }
        if (file.sections.empty()) {
            problems.push_back(where + "key before the first section");
            continue;
        }
        Entry e{line.substr(0, eq), line.substr(eq + 1)};
        Section& s = file.sections.back();
        const bool settings = Lower(s.name) == "applicationconfig";
        const std::string key = Lower(e.key);
        if (settings ? key != "iscloseafterinstall" : key != "title" && key != "level" && key != "description")
            problems.push_back(where + "unknown key " + e.key);
        if (!keyNames.insert(key).second)
            problems.push_back(where + "duplicate key " + e.key);
        if (e.value.size() > kProfileValueLimit)
            problems.push_back(where + "value longer than 2047 bytes");
        if (!e.value.empty() && (e.value.front() == ' ' || e.value.back() == ' '))
            problems.push_back(where + "blank at the start or end of the value, which is dropped on reading");
        // The profile functions take a value that starts and ends with the same quote as quoted.
        if (e.value.size() >= 2 && (e.value.front() == '"' || e.value.front() == '\'') &&
            e.value.back() == e.value.front())
            problems.push_back(where + "value in quotes, which are dropped on reading");
        s.entries.push_back(e);
    }

    if (file.sections.empty())
        problems.push_back("no ApplicationConfig section");
    for (std::size_t i = 0; i < file.sections.size(); ++i)
        CheckSection(file.sections[i], i == 0, problems);
    return file;
}

std::string ShippedFile() {
    return ReadBytes(SourcePath("data/PermissionInfo.cfg"));
}

std::string Report(const std::vector<std::string>& problems) {
    std::ostringstream out;
    for (const auto& p : problems)
        out << "\n  " << p;
    return out.str();
}

} // namespace

TEST_CASE("The shipped PermissionInfo.cfg passes every check") {
    const CheckedFile file = CheckPermissionFile(ShippedFile());
    INFO("problems:" << Report(file.problems));
    CHECK(file.problems.empty());
    // The settings section plus the platform's permissions at least; tools/permission-coverage.sh
    // checks which ones.
    CHECK(file.sections.size() > 500);
}

TEST_CASE("The checker rejects each kind of broken file") {
    const std::string head = "; comment\r\n[ApplicationConfig]\r\nIsCloseAfterInstall=true\r\n\r\n";
    const std::string good = head + "[android.permission.INTERNET]\r\nTitle=访问网络\r\nLevel=0\r\n"
                                    "Description=连接互联网。\r\n";
    {
        const CheckedFile file = CheckPermissionFile(good);
        INFO("problems:" << Report(file.problems));
        CHECK(file.problems.empty());
        CHECK(file.sections.size() == 2);
    }

    const std::string permission = "[android.permission.CAMERA]\r\n";
    const std::string rest = "Level=2\r\nDescription=拍照。\r\n";
    struct Case {
        std::string text;
        const char* expected; // a fragment of the problem the checker must report
    };
    const Case cases[] = {
        {good + permission + "Title=拍照\nLevel=2\r\nDescription=拍照。\r\n", "bare CR or LF"},
        {good + permission + "Title=拍照\r" + rest, "bare CR or LF"},
        {good + permission + "Title=拍照\r\n" + "Level=2\r\nDescription=拍照。", "last line"},
        {good + permission + "Title=\r\n" + rest, "no Title"},
        {good + permission + rest, "no Title"},
        {good + permission + "Title=" + std::string(41, 'x') + "\r\n" + rest, "Title longer"},
        {good + permission + "Title=拍照\r\nLevel=3\r\nDescription=拍照。\r\n", "Level must be"},
        {good + permission + "Title=拍照\r\nLevel=02\r\nDescription=拍照。\r\n", "Level must be"},
        {good + permission + "Title=拍照\r\nDescription=拍照。\r\n", "Level must be"},
        {good + permission + "Title=拍照\r\nLevel=2\r\n", "no Description"},
        {good + permission + "Title=拍照\r\nLevel=2\r\nDescription=\r\n", "no Description"},
        {good + "[Android.Permission.Internet]\r\nTitle=网络\r\n" + rest, "duplicate section"},
        {good + permission + "Title=拍照\r\nTITLE=相机\r\n" + rest, "duplicate key"},
        {good + permission + "Titel=拍照\r\n" + rest, "unknown key"},
        {good + permission + "Title=拍照\r\n" + rest + "Description2=x\r\n", "unknown key"},
        {good + "[android permission CAMERA]\r\nTitle=拍照\r\n" + rest, "permission name"},
        {good + "[CAMERA]\r\nTitle=拍照\r\n" + rest, "permission name"},
        {good + "[android..CAMERA]\r\nTitle=拍照\r\n" + rest, "permission name"},
        {good + permission + "Title=拍照\r\nLevel=2\r\nDescription=" + std::string(2048, 'x') + "\r\n", "2047"},
        {good + permission + "Title=拍照 \r\n" + rest, "blank"},
        {good + permission + "Title=\"拍照\"\r\n" + rest, "quotes"},
        {good + permission + "Title=拍照\r\nLevel=2\r\nDescription='拍照'\r\n", "quotes"},
        {good + permission + "拍照\r\n" + rest, "not a section"},
        {good + "[android.permission.CAMERA\r\nTitle=拍照\r\n" + rest, "not a section"},
        {good + "=x\r\n", "not a section"},
        {good + "; a note\r\n", "comment after"},
        {good + permission + "Title=拍\t照\r\n" + rest, "control character"},
        {good + permission + "Title=拍照\x81\r\n" + rest, "GBK"},     // lead byte without its trail byte
        {good + permission + "Title=拍照\xFF\r\n" + rest, "GBK"},     // no GBK character starts with 0xFF
        {good + permission + "Title=拍照\xAA\xA1\r\n" + rest, "GBK"}, // user-defined area
        {"; comment\r\nTitle=x\r\n" + good.substr(head.size()), "key before"},
        {good.substr(head.size()), "first section must be ApplicationConfig"},
        {good + head, "must be the first section"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=false\r\n", "IsCloseAfterInstall must be true"},
        {"[ApplicationConfig]\r\nIsCloseAfterInstall=True\r\n", "IsCloseAfterInstall must be true"},
        {"[ApplicationConfig]\r\n", "IsCloseAfterInstall must be true"},
        {"; only a comment\r\n", "no ApplicationConfig"},
    };
    int index = 0;
    for (const Case& c : cases) {
        const CheckedFile file = CheckPermissionFile(c.text);
        INFO("case " << index << ", expected \"" << std::string(c.expected)
                     << "\", problems:" << Report(file.problems));
        CHECK(std::any_of(file.problems.begin(), file.problems.end(),
                          [&](const std::string& p) { return p.find(c.expected) != std::string::npos; }));
        ++index;
    }
}

#ifdef _WIN32
TEST_CASE("The profile functions read back every section and value as the file holds it") {
    // Under Wine the launcher gives code page 936, so the A functions return the file's own bytes.
    REQUIRE(GetACP() == 936);
    const std::string path = SourcePath("data/PermissionInfo.cfg");
    const CheckedFile file = CheckPermissionFile(ShippedFile());
    REQUIRE(file.problems.empty());

    std::vector<char> names(1 << 20, '\x5A');
    const DWORD got = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), path.c_str());
    REQUIRE(got > 0);
    REQUIRE(got < names.size() - 2);
    std::vector<std::string> read;
    for (const char* p = names.data(); *p; p += std::strlen(p) + 1)
        read.push_back(p);
    REQUIRE(read.size() == file.sections.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        CAPTURE(i);
        CHECK(read[i] == file.sections[i].name);
    }

    // The permission box reads with a buffer of 2,048 bytes: 2,047 and the terminator.
    std::vector<char> value(kProfileValueLimit + 1);
    for (const Section& s : file.sections) {
        for (const Entry& e : s.entries) {
            std::fill(value.begin(), value.end(), '\x5A');
            const DWORD n = GetPrivateProfileStringA(s.name.c_str(), e.key.c_str(), "<missing>", value.data(),
                                                     static_cast<DWORD>(value.size()), path.c_str());
            INFO("[" << s.name << "] " << e.key);
            CHECK(std::string(value.data(), n) == e.value);
        }
    }
    const DWORD n = GetPrivateProfileStringA("applicationconfig", "iscloseafterinstall", "", value.data(),
                                             static_cast<DWORD>(value.size()), path.c_str());
    CHECK(std::string(value.data(), n) == "true");
}
#endif
