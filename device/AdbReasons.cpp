#include "device/AdbReasons.h"

#include "device/TextSplit.h"

#include <cstdlib>

namespace {

struct NumberedCode {
    int number;
    const char* name;
};

// The package manager's install and parse codes by number, as adb prints them for vendor builds.
const NumberedCode kCodes[] = {
    {-1, "INSTALL_FAILED_ALREADY_EXISTS"},
    {-2, "INSTALL_FAILED_INVALID_APK"},
    {-3, "INSTALL_FAILED_INVALID_URI"},
    {-4, "INSTALL_FAILED_INSUFFICIENT_STORAGE"},
    {-5, "INSTALL_FAILED_DUPLICATE_PACKAGE"},
    {-6, "INSTALL_FAILED_NO_SHARED_USER"},
    {-7, "INSTALL_FAILED_UPDATE_INCOMPATIBLE"},
    {-8, "INSTALL_FAILED_SHARED_USER_INCOMPATIBLE"},
    {-9, "INSTALL_FAILED_MISSING_SHARED_LIBRARY"},
    {-10, "INSTALL_FAILED_REPLACE_COULDNT_DELETE"},
    {-11, "INSTALL_FAILED_DEXOPT"},
    {-12, "INSTALL_FAILED_OLDER_SDK"},
    {-13, "INSTALL_FAILED_CONFLICTING_PROVIDER"},
    {-14, "INSTALL_FAILED_NEWER_SDK"},
    {-15, "INSTALL_FAILED_TEST_ONLY"},
    {-16, "INSTALL_FAILED_CPU_ABI_INCOMPATIBLE"},
    {-17, "INSTALL_FAILED_MISSING_FEATURE"},
    {-18, "INSTALL_FAILED_CONTAINER_ERROR"},
    {-19, "INSTALL_FAILED_INVALID_INSTALL_LOCATION"},
    {-20, "INSTALL_FAILED_MEDIA_UNAVAILABLE"},
    {-21, "INSTALL_FAILED_VERIFICATION_TIMEOUT"},
    {-22, "INSTALL_FAILED_VERIFICATION_FAILURE"},
    {-23, "INSTALL_FAILED_PACKAGE_CHANGED"},
    {-24, "INSTALL_FAILED_UID_CHANGED"},
    {-25, "INSTALL_FAILED_VERSION_DOWNGRADE"},
    {-26, "INSTALL_FAILED_PERMISSION_MODEL_DOWNGRADE"},
    {-27, "INSTALL_FAILED_SANDBOX_VERSION_DOWNGRADE"},
    {-28, "INSTALL_FAILED_MISSING_SPLIT"},
    {-29, "INSTALL_FAILED_DEPRECATED_SDK_VERSION"},
    {-100, "INSTALL_PARSE_FAILED_NOT_APK"},
    {-101, "INSTALL_PARSE_FAILED_BAD_MANIFEST"},
    {-102, "INSTALL_PARSE_FAILED_UNEXPECTED_EXCEPTION"},
    {-103, "INSTALL_PARSE_FAILED_NO_CERTIFICATES"},
    {-104, "INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES"},
    {-105, "INSTALL_PARSE_FAILED_CERTIFICATE_ENCODING"},
    {-106, "INSTALL_PARSE_FAILED_BAD_PACKAGE_NAME"},
    {-107, "INSTALL_PARSE_FAILED_BAD_SHARED_USER_ID"},
    {-108, "INSTALL_PARSE_FAILED_MANIFEST_MALFORMED"},
    {-109, "INSTALL_PARSE_FAILED_MANIFEST_EMPTY"},
    {-110, "INSTALL_FAILED_INTERNAL_ERROR"},
    {-111, "INSTALL_FAILED_USER_RESTRICTED"},
    {-112, "INSTALL_FAILED_DUPLICATE_PERMISSION"},
    {-113, "INSTALL_FAILED_NO_MATCHING_ABIS"},
    {-115, "INSTALL_FAILED_ABORTED"},
    {-116, "INSTALL_FAILED_SESSION_INVALID"},
    {-117, "INSTALL_FAILED_BAD_DEX_METADATA"},
    {-118, "INSTALL_FAILED_BAD_SIGNATURE"},
    {-124, "INSTALL_FAILED_RESOURCES_ARSC_COMPRESSED"},
};

struct Explanation {
    const char* code;
    const char* text;
};

// The codes users meet most, in words: what happened, then what helps.
const Explanation kExplanations[] = {
    {"INSTALL_FAILED_VERSION_DOWNGRADE", "手机上已装有更新的版本。请先在手机上卸载它（其数据会被清除）再安装"},
    {"INSTALL_FAILED_UPDATE_INCOMPATIBLE", "手机上已装的同名应用签名不同。请先在手机上卸载它再安装"},
    {"INSTALL_FAILED_INSUFFICIENT_STORAGE", "手机存储空间不足。请清理手机空间后再试"},
    {"INSTALL_FAILED_NO_MATCHING_ABIS",
     "安装包里没有适合这台手机处理器的代码。请换用适合此手机CPU的版本（arm64-v8a、armeabi-v7a或x86_64）"},
    {"INSTALL_FAILED_CPU_ABI_INCOMPATIBLE", "安装包不支持这台手机的处理器。请换用适合此手机CPU的版本"},
    {"INSTALL_FAILED_DEPRECATED_SDK_VERSION",
     "此应用为旧版Android编写，Android 14起的手机拒绝安装（可用adb的--bypass-low-target-sdk-block参数强行安装）"},
    {"INSTALL_FAILED_USER_RESTRICTED",
     "手机拒绝了安装或确认超时。请在手机上允许安装；小米手机需在开发者选项中打开“USB安装”"},
    {"INSTALL_FAILED_TEST_ONLY", "这是仅供测试的安装包，需用adb的-t参数安装"},
    {"INSTALL_FAILED_ALREADY_EXISTS", "手机上已安装此应用"},
    {"INSTALL_FAILED_INVALID_APK", "安装包无效或已损坏"},
    {"INSTALL_FAILED_MISSING_SPLIT", "此应用由多个安装包组成，缺少其中的拆分包。请安装完整的安装包组"},
    {"INSTALL_FAILED_VERIFICATION_FAILURE", "手机的安全验证拒绝了安装。请在开发者选项中关闭“通过USB验证应用”"},
    {"INSTALL_FAILED_VERIFICATION_TIMEOUT", "手机的安全验证超时。请稍后再试"},
    {"INSTALL_FAILED_INVALID_URI", "手机无法接受此文件名。请把安装包改为简单的英文文件名"},
    {"INSTALL_PARSE_FAILED_NO_CERTIFICATES", "安装包没有签名，需先签名才能安装"},
    {"INSTALL_PARSE_FAILED_INCONSISTENT_CERTIFICATES", "安装包的签名不一致，可能已被篡改或损坏"},
    {"INSTALL_PARSE_FAILED_NOT_APK", "这不是有效的安装包"},
    {"INSTALL_PARSE_FAILED_BAD_MANIFEST", "安装包的清单文件有误，可能已损坏"},
    {"INSTALL_FAILED_CONFLICTING_PROVIDER", "与手机上另一个应用的内容提供者冲突。请先卸载那个应用"},
    {"INSTALL_FAILED_DUPLICATE_PERMISSION", "与手机上另一个应用定义的权限冲突。请先卸载那个应用"},
    {"INSTALL_FAILED_DUPLICATE_PACKAGE", "手机上已有同名的应用"},
    {"INSTALL_FAILED_MISSING_SHARED_LIBRARY", "手机缺少此应用需要的系统库"},
    {"INSTALL_FAILED_MISSING_FEATURE", "手机缺少此应用需要的硬件功能"},
    {"INSTALL_FAILED_NEWER_SDK", "此应用只能装在较旧的Android版本上"},
    {"INSTALL_FAILED_ABORTED", "安装在手机上被取消或中止。重试时请在手机屏幕上点“允许”或“继续安装”"},
    {"INSTALL_FAILED_INTERNAL_ERROR", "手机内部出错。请重启手机后再试"},
    {"DELETE_FAILED_INTERNAL_ERROR", "手机上没有安装此应用，或它无法卸载"},
};

struct AdbError {
    const char* contains;
    const char* text;
};

// adb's own errors: the phone never got to answer.
const AdbError kAdbErrors[] = {
    {"more than one device", "连接了多台手机，adb不知该装到哪台"},
    {"not found", "手机已断开连接。请检查USB线后再试"},
    {"no devices", "手机已断开连接。请检查USB线后再试"},
    {"device offline", "手机处于离线状态。请重新插拔USB线后再试"},
    {"unauthorized", "手机尚未允许此电脑调试。请在手机上允许USB调试后再试"},
    {"authorizing", "手机尚未允许此电脑调试。请在手机上允许USB调试后再试"},
    {"still connecting", "手机仍在连接中。请稍候再试"},
    {"failed to stat", "找不到要安装的文件"},
    {"No such file", "找不到要安装的文件"},
    {"doesn't end .apk", "安装包的文件名不以.apk结尾"},
    {"cannot connect to daemon", "adb服务无法启动。请关闭其他手机助手软件后再试"},
    {"failed to start daemon", "adb服务无法启动。请关闭其他手机助手软件后再试"},
    {"not installed for", "手机上没有安装此应用"},
};

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string WithoutCr(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The bracket of the first "Failure [" on either stream, error stream first (where adb puts it
// since 2017).
bool FindBracket(const std::string& output, const std::string& errors, std::string& inside) {
    for (const std::string* text : {&errors, &output}) {
        const auto open = text->find("Failure [");
        if (open == std::string::npos)
            continue;
        const auto start = open + 9;
        const auto close = text->find(']', start);
        const auto lineEnd = text->find_first_of("\r\n", start);
        const auto end = close != std::string::npos && (lineEnd == std::string::npos || close < lineEnd) ? close : lineEnd;
        inside = text->substr(start, end == std::string::npos ? std::string::npos : end - start);
        return true;
    }
    return false;
}

bool IsNumber(const std::string& text) {
    if (text.empty())
        return false;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size() || text.size() > 12)
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

} // namespace

bool AdbReportsSuccess(const std::string& output, const std::string& errors) {
    if (output.find("Success") != std::string::npos)
        return true;
    for (const std::string& line : SplitText(errors, "\n")) {
        if (WithoutCr(line) == "Success")
            return true;
    }
    return false;
}

std::string CodeName(int number) {
    for (const auto& code : kCodes) {
        if (code.number == number)
            return code.name;
    }
    return std::string();
}

AdbFailure ReadAdbFailure(const std::string& output, const std::string& errors) {
    AdbFailure failure;
    std::string inside;
    if (FindBracket(output, errors, inside)) {
        const auto colon = inside.find(':');
        failure.code = WithoutCr(inside.substr(0, colon));
        if (colon != std::string::npos) {
            std::size_t start = colon + 1;
            while (start < inside.size() && inside[start] == ' ')
                ++start;
            failure.detail = WithoutCr(inside.substr(start));
        }
        if (IsNumber(failure.code)) {
            const std::string name = CodeName(std::atoi(failure.code.c_str()));
            if (!name.empty())
                failure.code = name;
        }
    }
    for (const std::string* text : {&errors, &output}) {
        for (const std::string& raw : SplitText(*text, "\n")) {
            const std::string line = WithoutCr(raw);
            if (line.empty())
                continue;
            if (failure.firstLine.empty() && line.rfind("Performing ", 0) != 0)
                failure.firstLine = line;
            for (const char* prefix : {"adb.exe: ", "adb: ", "error: "}) {
                if (failure.adbMessage.empty() && line.rfind(prefix, 0) == 0)
                    failure.adbMessage = line.substr(std::string(prefix).size());
            }
            if (failure.adbMessage.empty() && (line == "device unauthorized." || Contains(line, "more than one device")))
                failure.adbMessage = line;
        }
    }
    // adb's "error: " inside its own prefix ("adb: error: failed to get feature set: ...").
    if (failure.adbMessage.rfind("error: ", 0) == 0)
        failure.adbMessage.erase(0, 7);
    return failure;
}

std::string ExplainFailure(const AdbFailure& failure, const std::string& requiredAndroid) {
    if (!failure.code.empty()) {
        if (failure.code == "INSTALL_FAILED_OLDER_SDK") {
            if (!requiredAndroid.empty())
                return "此应用需要" + requiredAndroid + "或更高版本，这台手机的系统版本太低";
            return "这台手机的Android版本太低，装不了此应用";
        }
        for (const auto& explanation : kExplanations) {
            if (failure.code == explanation.code)
                return explanation.text;
        }
        if (failure.code.rfind("not installed for", 0) == 0)
            return "手机上没有安装此应用";
        return "手机拒绝安装（" + failure.code + "）";
    }
    if (!failure.adbMessage.empty()) {
        for (const auto& error : kAdbErrors) {
            if (Contains(failure.adbMessage, error.contains))
                return error.text;
        }
        return "adb出错：" + failure.adbMessage;
    }
    if (!failure.firstLine.empty()) {
        for (const auto& error : kAdbErrors) {
            if (Contains(failure.firstLine, error.contains))
                return error.text;
        }
        return "adb回答：" + failure.firstLine;
    }
    return "adb没有给出任何回答";
}

std::string ExplainFailure(const AdbFailure& failure, const std::string& requiredAndroid, PhoneMaker maker) {
    // The phones that ask before a USB install each hide the answer behind their own switches.
    if (failure.code != "INSTALL_FAILED_USER_RESTRICTED" && failure.code != "INSTALL_FAILED_ABORTED")
        return ExplainFailure(failure, requiredAndroid);
    switch (maker) {
    case PhoneMaker::Xiaomi:
        return "小米手机拒绝了USB安装或确认超时。请在“设置 → 更多设置 → "
               "开发者选项”中打开“USB安装”（需插入SIM卡并登录小米"
               "账号），重试时在手机上点“继续安装”";
    case PhoneMaker::Oppo:
        return "手机拒绝了安装或确认超时。重试时请在手机上点“继续安装”（可能要输入账号密码）；也可在“开发者选项”中打开“"
               "禁止权"
               "限监控”";
    case PhoneMaker::Vivo:
        return "vivo手机拒绝了安装或确认超时。重试时请在手机上点“继续安装”（可能要输入vivo账号密码）；若没有出现提示，"
               "请在“开"
               "发者选项”中打开“USB安装”";
    case PhoneMaker::Huawei:
        return "手机拒绝了安装或确认超时。重试时请在手机上点“继续安装”；也可在“设置 → 安全 → "
               "更多安全设置”中关闭“外部来源应"
               "用检查”";
    default:
        return ExplainFailure(failure, requiredAndroid);
    }
}
