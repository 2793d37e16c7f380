#include "app/IniFile.h"

#include "device/SystemWin.h"

#include <windows.h>

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    char buffer[2048] = {};
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                                  sizeof buffer, path_.c_str());
    return std::string(buffer, length);
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()))
        throw VarnelError("Unable to write to " + path_);
}
