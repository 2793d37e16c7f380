#pragma once
#include <cstdint>
#include <string>

// "未知": what a field shows when its fact is not known.
extern const char* const kUnknownText;

// The integer syntax a level is read with: optional leading spaces, an optional sign,
// then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X"; nothing may
// follow, and the value must fit a signed 32-bit integer.
bool TryParseInteger(const std::string& text, std::int32_t& value);

// The release name for a minimum SDK level written as text: "Android 5.0" for 21, "API 38" for
// a level newer than the table knows, "未知" for 0, negative or unreadable levels.
std::string AndroidVersionName(const std::string& text);

// A byte count as the size field shows it: above 1 MiB in megabytes with two decimals and " M",
// otherwise in kilobytes with one decimal and " K"; halves round away from zero; the integer part
// is grouped by thousands. The separators come from the user's regional settings.
std::string FormatFileSize(std::uint64_t size, const std::string& thousandSeparator = ",",
                           const std::string& decimalSeparator = ".");
