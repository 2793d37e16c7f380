#include "resources/ResValues.h"

#include <cstring>

namespace ResValues {

float ComplexToFloat(uint32_t complex) {
    static const float kRadixScale[4] = {1.0f / (1 << 8), 1.0f / (1 << 15), 1.0f / (1 << 23), 1.0f / 2147483648.0f};
    const int32_t mantissa = static_cast<int32_t>(complex & 0xFFFFFF00u);
    return static_cast<float>(mantissa) * kRadixScale[(complex >> 4) & 3];
}

std::optional<double> DimensionInDp(const TResValue& value, double density) {
    if (value.dataType != kTypeDimension || !(density > 0))
        return std::nullopt;
    const double number = ComplexToFloat(value.data);
    switch (value.data & 0xF) {
    case 0: // px
        return number * 160.0 / density;
    case 1: // dp
    case 2: // sp, at the default font scale
        return number;
    case 3: // pt, 1/72 inch
        return number * 160.0 / 72.0;
    case 4: // in
        return number * 160.0;
    case 5: // mm
        return number * 160.0 / 25.4;
    default:
        return std::nullopt;
    }
}

std::optional<TFraction> Fraction(const TResValue& value) {
    if (value.dataType != kTypeFraction)
        return std::nullopt;
    const uint32_t unit = value.data & 0xF;
    if (unit > 1)
        return std::nullopt;
    return TFraction{ComplexToFloat(value.data), unit == 1};
}

std::optional<double> Number(const TResValue& value) {
    if (value.dataType == kTypeFloat) {
        float number = 0;
        std::memcpy(&number, &value.data, sizeof number);
        return number;
    }
    if (value.dataType == kTypeIntDec || value.dataType == kTypeIntHex)
        return static_cast<double>(static_cast<int32_t>(value.data));
    return std::nullopt;
}

} // namespace ResValues
