#pragma once
#include <cstdint>
#include <optional>

#include "resources/ResFormat.h"

// Reading typed values the way the platform's TypedValue does: dimensions and fractions packed as a
// 24-bit mantissa with a radix, floats stored as their bits, colours as ARGB.
namespace ResValues {

constexpr uint8_t kTypeFloat = 0x04;
constexpr uint8_t kTypeDimension = 0x05;
constexpr uint8_t kTypeFraction = 0x06;
constexpr uint8_t kTypeIntDec = 0x10;
constexpr uint8_t kTypeIntHex = 0x11;
constexpr uint8_t kTypeIntBoolean = 0x12;
constexpr uint8_t kTypeFirstColor = 0x1c;
constexpr uint8_t kTypeLastColor = 0x1f;

// The number a dimension or fraction holds, before its unit.
float ComplexToFloat(uint32_t complex);

inline bool IsColor(const TResValue& value) {
    return value.dataType >= kTypeFirstColor && value.dataType <= kTypeLastColor;
}
inline bool IsInteger(const TResValue& value) {
    return value.dataType >= ResFormat::kTypeFirstInt && value.dataType <= ResFormat::kTypeLastInt;
}

// A dimension in density-independent pixels; `density` (dots per inch, 160 = 1 px per dp) turns
// plain pixels into dp. Nothing for a value that is not a dimension or has an unknown unit.
std::optional<double> DimensionInDp(const TResValue& value, double density);

// A fraction: its number (1.0 for "100%") and whether it is of the parent ("%p").
struct TFraction {
    double value = 0;
    bool ofParent = false;
};
std::optional<TFraction> Fraction(const TResValue& value);

// A number as a float attribute takes it: a float, or an integer.
std::optional<double> Number(const TResValue& value);

} // namespace ResValues
