#pragma once
#include <functional>
#include <string>

using LeadByteTest = std::function<bool(unsigned char)>;

// Path rules of the ANSI code page. Bytes that `isLeadByte` marks start a double-byte character,
// whose second byte never counts as a separator or a dot.

// The extension of a path, its dot included: the text from the last '.' when no '\' or ':' comes
// after it, else empty.
std::string ExtractFileExt(const std::string& path, const LeadByteTest& isLeadByte);

// The file name of a path: the part after its last '\' or ':'.
std::string ExtractFileName(const std::string& path, const LeadByteTest& isLeadByte);

// Letter case of A to Z aside, as Windows compares file names.
bool SameTextAscii(const std::string& a, const std::string& b);
