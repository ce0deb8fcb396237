#pragma once

#include <cstdint>
#include <memory>

#include "foundation/ErrorReport.h"
#include "platform/d3d8/D3D8Types.h"

class DXC_Texture;

// A bitmap font: glyph rectangles in one texture, bearings, the character range and the
// layout (size factor, colour, spacing). The built-in font is drawn from 5 x 5 patterns into a
// 128 x 32 texture (DXC_Gfx::BuildDefaultFont).
class DXC_Font : public DXC_Base {
public:
    static constexpr int32_t Glyphs = 256;
    static constexpr int32_t BuiltInGlyphs = 62; // characters 32 (blank) to 93 (']')
    static constexpr int32_t CellsPerRow = 21;

    DXC_Font();
    ~DXC_Font() override;
    DXC_Font(const DXC_Font&) = delete;
    DXC_Font& operator=(const DXC_Font&) = delete;

    // The glyph entry of a character (lower case folded for an upper-case-only font), or -1
    // when the font has no glyph for it.
    int32_t GlyphIndex(unsigned char c) const;
    float GlyphWidth(int32_t glyph) const;
    float GlyphHeight(int32_t glyph) const;
    // Horizontal advance of a character at a run's horizontal scale.
    float Advance(unsigned char c, float scaleX) const;
    // Line height at a run's vertical scale: the blank glyph's height plus the extra spacing.
    float LineHeight(float scaleY) const;

    // The built-in pattern of glyph i (0..61): 25 characters, row by row, blank = empty pixel.
    static const char* BuiltInPattern(int32_t glyph);
    // The colour of pixel j (0..24) of a built-in glyph: transparent black when empty, else the
    // first colour blended towards the second by the pixel's distance from the cell's corner.
    static D3DCOLOR BuiltInPixel(int32_t glyph, int32_t pixel, D3DCOLOR first, D3DCOLOR second);
    // Sets rectangles, bearings, range and layout of the built-in font (the texture apart).
    void SetBuiltInLayout();

    std::unique_ptr<DXC_Texture> texture;
    RECT glyphRect[Glyphs] = {};
    float leftBearing[Glyphs] = {};
    float rightBearing[Glyphs] = {};
    int32_t firstChar = 256;
    int32_t lastChar = 256;
    int32_t upperCaseOnly = 0;
    D3DCOLOR color = 0xFF000000;
    float sizeFactor = 1.0f;
    float extraAdvance = 1.0f;
    float extraLineSpacing = 0.0f;
    float baselineFactor = 0.6666f;
};
