#include "textscene/TextNumber.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <system_error>

namespace {

// The "C" locale made once and kept for the life of the process; strtod_l with it ignores
// whatever LC_NUMERIC the program (or a library it loads) has set.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Bytes that a plain decimal number may hold; anything else leaves the fast path.
bool IsPlainNumberByte(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E';
}

} // namespace

double TextToDoubleReference(const char* token) {
    const locale_t locale = CLocale();
    if (locale) return strtod_l(token, nullptr, locale);
    // Without a locale object (out of memory) the process locale is the only choice left.
    return std::strtod(token, nullptr);
}

bool TextToDoubleFast(const char* token, std::size_t length, double& value) {
    if (length == 0) return false;
    const char first = token[0];
    // A leading 'e' is not a number for either conversion, but strtod parses nothing there
    // and from_chars reports the same; leave such oddities to the reference.
    if (!((first >= '0' && first <= '9') || first == '-' || first == '.')) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (!IsPlainNumberByte(token[i])) return false;
    double result = 0.0;
    const auto [end, error] = std::from_chars(token, token + length, result, std::chars_format::general);
    (void)end;
    if (error != std::errc()) return false; // no digits, overflow or underflow
    value = result;
    return true;
}

double TextToDouble(const char* token, std::size_t length) {
    double value;
    if (TextToDoubleFast(token, length, value)) return value;
    return TextToDoubleReference(token);
}

float NarrowToFloat(double value) {
    constexpr double maxFloat = std::numeric_limits<float>::max();
    if (value <= maxFloat && value >= -maxFloat) return static_cast<float>(value);
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    // Halfway between the largest float and 2^128: below it IEEE rounding still gives the
    // largest float, from it on (ties to even) infinity.
    constexpr double midpoint = 0x1.ffffffp127;
    constexpr float largest = std::numeric_limits<float>::max();
    constexpr float infinity = std::numeric_limits<float>::infinity();
    if (value > 0) return value < midpoint ? largest : infinity;
    return value > -midpoint ? -largest : -infinity;
}

int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
