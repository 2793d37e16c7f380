#pragma once
#include "apkinfo/PermissionRuns.h"

#include <string>

// The program's settings and permission texts file, read and written through the system's
// profile functions on every call: nothing is cached, so edits made while the program runs count.
class IniFile : public IPermissionTexts {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // A missing file, section or key gives `defaultValue`. At most 2,047 bytes are read, as the
    // profile functions hand back no more in one call.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue) const;

    // A value with an empty default: what the permission texts read.
    std::string Read(const std::string& section, const std::string& key) override {
        return ReadString(section, key, "");
    }

    // Creates the file, section or key when missing. Raises "Unable to write to <path>" on failure.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

private:
    std::string path_;
};
