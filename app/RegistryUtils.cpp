#include "app/RegistryUtils.h"

#include "device/SystemWin.h"
#include "device/Win32Handles.h"

#include <shlobj.h>

namespace {

// What the open verb shows in Explorer's menu: "用", the product name, seven blanks, and a tail
// of seven bytes: "打开" ("open"), a full-width blank and a lone GBK lead byte. The lone byte makes
// the tail deliberately not valid GBK; it converts to at most one replacement character at the end.
const char* const kOpenVerbText = "用Varnel       \xB4\xF2\xBF\xAA\xA1\xA1\x81";

// A registry writer that, like the program's registry accessor, raises when a value can't be set
// because the key it belongs to could not be opened.
class RegistryWriter {
public:
    explicit RegistryWriter(HKEY root) : root_(root) {}

    // Opens `key` from the root, creating it when missing. A key that can't be opened leaves no key
    // current and remembers why.
    bool Open(const std::string& key) {
        current_.Reset();
        HKEY opened = nullptr;
        lastError_ = RegCreateKeyExA(root_, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
        if (lastError_ == ERROR_SUCCESS)
            current_.Reset(opened);
        return current_.Valid();
    }

    void WriteString(const std::string& name, const std::string& data) {
        if (!current_ ||
            RegSetValueExA(current_.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1)) !=
                ERROR_SUCCESS)
            throw VarnelError("Failed to set data for '" + name + "'");
    }

    void Close() { current_.Reset(); }
    LONG LastError() const { return lastError_; }

private:
    HKEY root_;
    UniqueRegKey current_;
    LONG lastError_ = ERROR_SUCCESS;
};

// Steps 1 to 6: the extension, the ProgID with its description, icon and open command.
void WriteClasses(RegistryWriter& writer, const std::string& prefix, const std::string& extension,
                  const std::string& exePath, const std::string& progId, const std::string& iconReference,
                  const std::string& description) {
    writer.Open(prefix + extension);
    writer.WriteString("", progId);
    writer.Close();
    writer.Open(prefix + progId);
    writer.WriteString("", description);
    writer.Close();
    writer.Open(prefix + progId + "\\DefaultIcon");
    writer.WriteString("", iconReference);
    writer.Close();
    writer.Open(prefix + progId + "\\Shell"); // only created; a failure here goes unnoticed
    writer.Close();
    writer.Open(prefix + progId + "\\Shell\\Open");
    writer.WriteString("", kOpenVerbText);
    // The verb stays on offer however many packages are selected (Explorer's default model limits
    // it); Explorer starts an instance for each file, and those gather in one window.
    writer.WriteString("MultiSelectModel", "Player");
    writer.Close();
    writer.Open(prefix + progId + "\\Shell\\Open\\Command");
    writer.WriteString("", "\"" + exePath + "\" \"%1\"");
    writer.Close();
}

} // namespace

bool TRegistryUtils::RegisterFileType(const std::string& extension, const std::string& exePath,
                                      const std::string& progId, const std::string& iconReference,
                                      const std::string& description) {
    try {
        {
            RegistryWriter machineWide(classesRoot_);
            try {
                WriteClasses(machineWide, "", extension, exePath, progId, iconReference, description);
            } catch (const VarnelError&) {
                // A standard user may not write the machine-wide classes. The same entries under the
                // user's own classes key are what HKEY_CLASSES_ROOT shows for this user.
                if (machineWide.LastError() != ERROR_ACCESS_DENIED)
                    throw;
                RegistryWriter perUser(userRoot_);
                WriteClasses(perUser, "Software\\Classes\\", extension, exePath, progId, iconReference, description);
            }
        }
        RegistryWriter user(userRoot_);
        const std::string fileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + extension;
        user.Open(fileExts + "\\UserChoice\\");
        user.WriteString("Progid", progId);
        user.Close();
        user.Open(fileExts);
        user.WriteString("Progid", progId);
        user.Close();
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
        return true;
    } catch (const std::exception&) {
        return false; // registration is a courtesy: its failure is shown to nobody
    }
}
