#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Badging.h"

// "aapt dump badging" for a package file: reads AndroidManifest.xml and resources.arsc through our
// ZIP reader and hands them to DumpBadging. A file that can't be opened, is not a ZIP archive or
// lacks a member gets the real tool's messages.
TBadgingResult DumpBadgingOfFile(const std::string& path);

// The bytes of the member stored under exactly name; false when the file is not an archive, has
// no such member, or the member can't be extracted.
bool ReadPackageMember(const std::string& path, const char* name, std::vector<uint8_t>& bytes);
