#include "Labels.h"

#include <limits>

const char* const kUnknownText = "未知";

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Release names by API level, from 1 (index 1) up to the newest level we know.
const char* const kReleaseNames[] = {
    nullptr,         "Android 1.0",  "Android 1.1",   "Android 1.5", "Android 1.6",   "Android 2.0",
    "Android 2.0.1", "Android 2.1",  "Android 2.2",   "Android 2.3", "Android 2.3.3", "Android 3.0",
    "Android 3.1",   "Android 3.2",  "Android 4.0",   "Android 4.0.3", "Android 4.1", "Android 4.2",
    "Android 4.3",   "Android 4.4",  "Android 4.4W",  "Android 5.0", "Android 5.1",   "Android 6.0",
    "Android 7.0",   "Android 7.1",  "Android 8.0",   "Android 8.1", "Android 9",     "Android 10",
    "Android 11",    "Android 12",   "Android 12L",   "Android 13",  "Android 14",    "Android 15",
    "Android 16",    "Android 17",
};
constexpr int kNewestKnownLevel = static_cast<int>(sizeof(kReleaseNames) / sizeof(kReleaseNames[0])) - 1;

std::string GroupThousands(std::uint64_t value, const std::string& separator) {
    std::string digits = std::to_string(value);
    std::string grouped;
    const std::size_t count = digits.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            grouped += separator;
        grouped += digits[i];
    }
    return grouped;
}

std::string FixedPoint(std::uint64_t scaled, unsigned decimals, const std::string& thousandSeparator,
                       const std::string& decimalSeparator) {
    std::uint64_t divisor = 1;
    for (unsigned i = 0; i < decimals; ++i)
        divisor *= 10;
    std::string fraction = std::to_string(scaled % divisor);
    fraction.insert(0, decimals - fraction.size(), '0');
    return GroupThousands(scaled / divisor, thousandSeparator) + decimalSeparator + fraction;
}

} // namespace

bool TryParseInteger(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return false;
    // Accumulate the magnitude with room for the one extra value that only a negative number has.
    const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit = base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * base + static_cast<unsigned>(digit);
        if (magnitude > limit)
            return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::string AndroidVersionName(const std::string& text) {
    std::int32_t level = 0;
    if (!TryParseInteger(text, level) || level <= 0)
        return kUnknownText;
    if (level <= kNewestKnownLevel)
        return kReleaseNames[level];
    // The level is known even when its release name is not.
    return "API " + std::to_string(level);
}

std::string FormatFileSize(std::uint64_t size, const std::string& thousandSeparator,
                           const std::string& decimalSeparator) {
    constexpr std::uint64_t kMiB = 1048576;
    if (size > kMiB) {
        // Hundredths of a MiB, rounded half up, computed in integers so that no size loses precision.
        const std::uint64_t whole = size / kMiB;
        const std::uint64_t rest = size % kMiB;
        const std::uint64_t hundredths = whole * 100 + (rest * 200 + kMiB) / (2 * kMiB);
        return FixedPoint(hundredths, 2, thousandSeparator, decimalSeparator) + " M";
    }
    const std::uint64_t tenths = (size * 20 + 1024) / 2048;
    return FixedPoint(tenths, 1, thousandSeparator, decimalSeparator) + " K";
}
