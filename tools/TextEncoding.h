#pragma once

#include <string>
#include <string_view>

// Scene files made on Windows carry names in the Windows-1252 code page; JSON must be UTF-8.
// A text that is valid UTF-8 is kept as it is, any other text is read as Windows-1252, byte
// by byte (the five bytes that code page leaves unassigned become the C1 controls of the same
// number, as Windows converts them).
std::string ToUtf8(std::string_view text);

// True when text is well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);
