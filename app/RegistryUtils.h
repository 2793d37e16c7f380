#pragma once
#include <windows.h>

#include <string>

// Registers the program as the handler of a file type for the shell.
class TRegistryUtils {
public:
    // The roots the entries go under; tests point them at scratch keys.
    explicit TRegistryUtils(HKEY classesRoot = HKEY_CLASSES_ROOT, HKEY userRoot = HKEY_CURRENT_USER)
        : classesRoot_(classesRoot), userRoot_(userRoot) {}

    // Writes the ProgID with its description, icon and open command, points the current user's
    // Explorer choice at it and tells the shell. True when every step has run.
    bool RegisterFileType(const std::string& extension, const std::string& exePath, const std::string& progId,
                          const std::string& iconReference, const std::string& description);

private:
    HKEY classesRoot_;
    HKEY userRoot_;
};
