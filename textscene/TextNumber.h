#pragma once

#include <cstddef>
#include <cstdint>

// Number conversion of the text scene reader. A token converts exactly as strtod would in the
// "C" locale, whatever locale the process runs in: the decimal point is always '.', the
// longest valid prefix counts and text without a number gives 0. Narrowing to float and
// truncation to int never rely on undefined conversions.

// The value of the zero-terminated token of the given length (strtod semantics, "C" locale).
// A plain decimal token takes a fast path; everything else ("+1.5", hexadecimal, "inf",
// overflow and underflow) goes through the reference conversion.
double TextToDouble(const char* token, std::size_t length);

// The reference conversion alone: strtod bound to the "C" locale.
double TextToDoubleReference(const char* token);

// The fast path alone; false when it does not accept the token (the caller then needs the
// reference conversion).
bool TextToDoubleFast(const char* token, std::size_t length, double& value);

// Rounds to the nearest float as an IEEE conversion does: values beyond the float range
// become infinities of their sign, NaN stays NaN.
float NarrowToFloat(double value);

// Truncates toward zero into 32 bits; values beyond the range saturate, NaN gives 0.
int32_t TruncateToInt32(double value);
