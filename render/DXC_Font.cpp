#include "render/DXC_Font.h"

#include <cmath>
#include <cstring>

#include "render/DXC_Texture.h"

namespace {

// Characters 32 to 93, each a 5 x 5 grid row by row; a blank is an empty pixel. The double
// quote's pattern is one character short: the missing last pixel is empty.
const char* const kPatterns[DXC_Font::BuiltInGlyphs] = {
    "                         ", // blank
    "  X    X    X         X  ", // !
    " X X  X X               ",  // double quote
    " X X XXXXX X X XXXXX X X ", // #
    " XXXXX X   XXX   X XXXXX ", // $
    "XX  XXX X   X   X XXX  XX", // %
    " XX  X  X  XX XX  X  XX X", // &
    "  X    X                 ", // apostrophe
    "   X   X    X    X     X ", // (
    " X     X    X    X   X   ", // )
    "X X X XXX XXXXX XXX X X X", // *
    "       X   XXX   X       ", // +
    "                 X   X   ", // ,
    "           XXX           ", // -
    "                      X  ", // .
    "    X   X   X   X   X    ", // /
    " XXX X  XXX X XXX  X XXX ", // 0
    "  X   XX    X    X   XXX ", // 1
    " XXX X   X  XX  X   XXXXX", // 2
    "XXXX     X XXX     XXXXX ", // 3
    "X  X X  X XXXXX   X    X ", // 4
    "XXXXXX    XXXX     XXXXX ", // 5
    " XXX X    XXXX X   X XXX ", // 6
    "XXXXX   X   X   X    X   ", // 7
    " XXX X   X XXX X   X XXX ", // 8
    " XXX X   X XXXX    X XXX ", // 9
    "       X         X       ", // :
    "       X         X   X   ", // ;
    "   X   X   X     X     X ", // <
    "     XXXXX     XXXXX     ", // =
    " X     X     X   X   X   ", // >
    " XXX X   X  XX        X  ", // ?
    " XXX X XXXX X XX XXX XX  ", // @
    " XXX X   XXXXXXX   XX   X", // A
    "XXXX X   XXXXX X   XXXXX ", // B
    " XXXXX    X    X     XXXX", // C
    "XXXX X   XX   XX   XXXXX ", // D
    "XXXXXX    XXXX X    XXXXX", // E
    "XXXXXX    XXXX X    X    ", // F
    " XXXXX    X  XXX   X XXX ", // G
    "X   XX   XXXXXXX   XX   X", // H
    " XXX   X    X    X   XXX ", // I
    "  XXX   X    X X  X  XX  ", // J
    "X   XX  X XXX  X  X X   X", // K
    "X    X    X    X    XXXXX", // L
    "X   XXX XXX X XX   XX   X", // M
    "X   XXX  XX X XX  XXX   X", // N
    " XXX X   XX   XX   X XXX ", // O
    "XXXX X   XXXXX X    X    ", // P
    " XXX X   XX X XX  X  XX X", // Q
    "XXXX X   XXXXX X  X X   X", // R
    " XXXXX     XXX     XXXXX ", // S
    "XXXXX  X    X    X    X  ", // T
    "X   XX   XX   XX   X XXX ", // U
    "X   XX   XX   X X X   X  ", // V
    "X   XX   XX X XXX XXX   X", // W
    "X   X X X   X   X X X   X", // X
    "X   X X X   X    X    X  ", // Y
    "XXXXX   X   X   X   XXXXX", // Z
    " XXX  X    X    X    XXX ", // [
    "X     X     X     X     X", // backslash
    " XXX    X    X    X  XXX ", // ]
};

uint32_t Channel(D3DCOLOR c, int shift) {
    return (c >> shift) & 0xFFu;
}

} // namespace

DXC_Font::DXC_Font() {
    SetObjectName("DXC_Font");
}

DXC_Font::~DXC_Font() = default;

int32_t DXC_Font::GlyphIndex(unsigned char c) const {
    if (upperCaseOnly && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c < firstChar || c > lastChar) return -1;
    const int32_t index = c - firstChar;
    return index < Glyphs ? index : -1;
}

float DXC_Font::GlyphWidth(int32_t glyph) const {
    if (glyph < 0 || glyph >= Glyphs) return 0.0f;
    return static_cast<float>(glyphRect[glyph].right - glyphRect[glyph].left);
}

float DXC_Font::GlyphHeight(int32_t glyph) const {
    if (glyph < 0 || glyph >= Glyphs) return 0.0f;
    return static_cast<float>(glyphRect[glyph].bottom - glyphRect[glyph].top);
}

float DXC_Font::Advance(unsigned char c, float scaleX) const {
    const int32_t g = GlyphIndex(c);
    if (g < 0) return 0.0f;
    return sizeFactor * scaleX * (extraAdvance - leftBearing[g] - rightBearing[g] + GlyphWidth(g));
}

float DXC_Font::LineHeight(float scaleY) const {
    return sizeFactor * scaleY * (GlyphHeight(GlyphIndex(' ')) + extraLineSpacing);
}

const char* DXC_Font::BuiltInPattern(int32_t glyph) {
    return glyph >= 0 && glyph < BuiltInGlyphs ? kPatterns[glyph] : nullptr;
}

D3DCOLOR DXC_Font::BuiltInPixel(int32_t glyph, int32_t pixel, D3DCOLOR first, D3DCOLOR second) {
    const char* pattern = BuiltInPattern(glyph);
    if (!pattern || pixel < 0 || pixel >= 25 || static_cast<size_t>(pixel) >= std::strlen(pattern) ||
        pattern[pixel] == ' ')
        return 0;
    const int32_t column = pixel % 5, row = pixel / 5;
    const float f = std::sqrt(static_cast<float>(row * row + column * column) * 0.03125f);
    D3DCOLOR out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const float a = static_cast<float>(Channel(first, shift));
        const float b = static_cast<float>(Channel(second, shift));
        out |= static_cast<uint32_t>(a + f * (b - a)) << shift;
    }
    return out;
}

void DXC_Font::SetBuiltInLayout() {
    std::memset(glyphRect, 0, sizeof glyphRect);
    std::memset(leftBearing, 0, sizeof leftBearing);
    std::memset(rightBearing, 0, sizeof rightBearing);
    for (int32_t i = 0; i < BuiltInGlyphs; ++i) {
        const LONG left = 6 * (i % CellsPerRow), top = 6 * (i / CellsPerRow);
        glyphRect[i] = RECT{left, top, left + 5, top + 5};
    }
    // '^' to '{' show the blank cell.
    for (int32_t i = BuiltInGlyphs; i <= 91; ++i) glyphRect[i] = RECT{0, 0, 5, 5};
    firstChar = 32;
    lastChar = 127;
    upperCaseOnly = 1;
    sizeFactor = 1.0f;
    color = 0xFFFFFFFF;
    extraAdvance = 1.0f;
    extraLineSpacing = 1.0f;
    baselineFactor = 0.6666f;
}
