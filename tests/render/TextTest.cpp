// The built-in font and the text queue: glyph patterns and colours, escape codes, line layout
// and batching.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "GfxTestSupport.h"
#include "render/DXC_Font.h"
#include "render/DXC_PrintfContainer.h"
#include "render/DXC_Texture.h"

using TextRun = DXC_PrintfContainer::Run;

namespace {

// A container using the built-in font's layout at size 1 (no texture needed for parsing).
struct TextFixture : ::testing::Test {
    TextFixture() {
        font.SetBuiltInLayout();
        text.SetFont(&font);
    }
    std::string RunString(int32_t i) const {
        const TextRun& run = text.GetRun(i);
        return std::string(text.RunText(run), static_cast<size_t>(run.textLength));
    }
    DXC_Font font;
    DXC_PrintfContainer text;
};

} // namespace

TEST(BuiltInFont, PatternsAreFiveByFiveWithTheGivenFirstThree) {
    EXPECT_STREQ(DXC_Font::BuiltInPattern(1), "  X    X    X         X  ");
    EXPECT_STREQ(DXC_Font::BuiltInPattern(2), " X X  X X               ");
    EXPECT_STREQ(DXC_Font::BuiltInPattern(3), " X X XXXXX X X XXXXX X X ");
    for (int g = 4; g < DXC_Font::BuiltInGlyphs; ++g) {
        const char* p = DXC_Font::BuiltInPattern(g);
        ASSERT_EQ(std::strlen(p), 25u) << g;
        EXPECT_NE(std::strchr(p, 'X'), nullptr) << "glyph " << g << " is empty";
    }
    EXPECT_EQ(DXC_Font::BuiltInPattern(62), nullptr);
    // The double quote's missing 25th pixel is empty, not read past its pattern.
    EXPECT_EQ(DXC_Font::BuiltInPixel(2, 24, 0xFFFFFFFF, 0xFFFFFFFF), 0u);
}

TEST(BuiltInFont, PixelColoursBlendFromTheFirstToTheSecondColour) {
    const D3DCOLOR first = 0xFF96DCFF, second = 0xFF006473;
    EXPECT_EQ(DXC_Font::BuiltInPixel(3, 0, first, second), 0u); // '#' row 0 column 0 is empty
    // '#' pixel 1 (row 0, column 1): f = sqrt(1 / 32) = 0.1768.
    EXPECT_EQ(DXC_Font::BuiltInPixel(3, 1, first, second), 0xFF7BC6E6u);
    // 'M' (glyph 45) pixel 24 lies at the far corner: f = 1, the second colour.
    EXPECT_EQ(DXC_Font::BuiltInPixel('M' - 32, 24, first, second), second);
    EXPECT_EQ(DXC_Font::BuiltInPixel('M' - 32, 0, first, second), first);
}

TEST(BuiltInFont, LowerCaseFoldsAndCaretToBraceAreBlank) {
    DXC_Font font;
    font.SetBuiltInLayout();
    EXPECT_EQ(font.GlyphIndex('a'), font.GlyphIndex('A'));
    EXPECT_EQ(font.GlyphIndex('z'), 'Z' - 32);
    for (unsigned char c = '^'; c <= '`'; ++c) {
        const RECT& r = font.glyphRect[font.GlyphIndex(c)];
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, 5);
        EXPECT_EQ(r.bottom, 5);
    }
    EXPECT_EQ(font.glyphRect[font.GlyphIndex('{')].right, 5);
    EXPECT_EQ(font.GlyphIndex(31), -1);
    EXPECT_EQ(font.GlyphIndex(200), -1);
    const RECT& z = font.glyphRect[font.GlyphIndex('Z')]; // glyph 58: column 16, row 2
    EXPECT_EQ(z.left, 96);
    EXPECT_EQ(z.top, 12);
    EXPECT_FLOAT_EQ(font.Advance('A', 1.0f), 6.0f);
    EXPECT_FLOAT_EQ(font.LineHeight(2.0f), 12.0f);
}

TEST_F(TextFixture, ColourCodesStartNewRuns) {
    text.Parse("AB|c0F8CD|CFF8000E");
    ASSERT_EQ(text.GetLineCount(), 1);
    ASSERT_EQ(text.GetLine(0).runCount, 3);
    EXPECT_EQ(RunString(0), "AB");
    EXPECT_EQ(text.GetRun(1).color, 0xFF00FF88u);
    EXPECT_EQ(RunString(1), "CD");
    EXPECT_EQ(text.GetRun(2).color, 0xFFFF8000u);
    EXPECT_FLOAT_EQ(text.GetRun(1).x, 12.0f);
    // Hex digits in either case; other characters count as 0.
    text.Parse("|cFfzX");
    EXPECT_EQ(text.GetRun(0).color, 0xFFFFFF00u);
}

TEST_F(TextFixture, ScaleCodesAndReset) {
    text.Parse("|s20A|S1505B|RC");
    ASSERT_EQ(text.GetLine(0).runCount, 3);
    EXPECT_FLOAT_EQ(text.GetRun(0).scaleX, 2.0f);
    EXPECT_FLOAT_EQ(text.GetRun(1).scaleX, 1.5f);
    EXPECT_FLOAT_EQ(text.GetRun(1).scaleY, 0.5f);
    EXPECT_FLOAT_EQ(text.GetRun(2).scaleX, 1.0f);
    EXPECT_FLOAT_EQ(text.GetLine(0).height, 12.0f); // the tallest run
    EXPECT_FLOAT_EQ(text.GetLine(0).width, 12.0f + 9.0f + 6.0f);
}

TEST_F(TextFixture, BarsUnknownCodesAndCutEscapes) {
    text.Parse("a||b|qc");
    EXPECT_EQ(RunString(0), "a|b|qc");
    text.Parse("AB|C12");
    EXPECT_EQ(RunString(0), "AB");
    text.Parse("XY|");
    EXPECT_EQ(RunString(0), "XY");
}

TEST_F(TextFixture, LinesStackByTheirHeight) {
    text.Parse("A\n|s20B\nC");
    ASSERT_EQ(text.GetLineCount(), 3);
    EXPECT_FLOAT_EQ(text.GetLine(1).y, 6.0f);
    EXPECT_FLOAT_EQ(text.GetLine(2).y, 18.0f);
    // The style carries over into the next line and the next Parse.
    EXPECT_FLOAT_EQ(text.GetRun(text.GetLine(2).firstRun).scaleX, 2.0f);
}

TEST_F(TextFixture, AlignmentWithAndWithoutMaximumWidth) {
    text.Parse("|ZABCD");
    EXPECT_FLOAT_EQ(text.GetLine(0).x, -12.0f); // centred on the start point
    text.SetMaxLineWidth(60.0f);
    text.Parse("|ZABCD");
    EXPECT_FLOAT_EQ(text.GetLine(0).x, 18.0f);
    text.Parse("|TAB|c111CD");
    EXPECT_FLOAT_EQ(text.GetRun(0).x, 36.0f);
    EXPECT_FLOAT_EQ(text.GetRun(1).x, 48.0f);
    // Spread: run j from the second moves right by (j + 1) (W - w) / runs; the last ends at W.
    text.Parse("|JA|c111B|c222C");
    ASSERT_EQ(text.GetLine(0).runCount, 3);
    EXPECT_FLOAT_EQ(text.GetRun(0).x, 0.0f);
    EXPECT_FLOAT_EQ(text.GetRun(1).x, 6.0f + 2.0f * 42.0f / 3.0f);
    EXPECT_FLOAT_EQ(text.GetRun(2).x + text.GetRun(2).width, 60.0f);
}

TEST_F(TextFixture, MaximumWidthBreaksLines) {
    text.SetMaxLineWidth(20.0f);
    text.Parse("ABCDEFG");
    ASSERT_EQ(text.GetLineCount(), 3);
    EXPECT_FLOAT_EQ(text.GetLine(0).width, 18.0f);
    EXPECT_EQ(text.GetLine(2).runCount, 1);
    EXPECT_EQ(RunString(text.GetLine(2).firstRun), "G");
}

TEST(TextDrawing, ThreeHundredCharactersGoInTwoBatches) {
    RecordingGfx r;
    auto adopted = std::make_unique<DXC_Font>();
    DXC_Font* font = adopted.get();
    r.gfx->AdoptFont(std::move(adopted));
    r.gfx->BuildDefaultFont(font, 0xFF96DCFF, 0xFF006473);
    r.gfx->SetFont(font);
    r.gfx->BeginScene();
    r.Forget();
    const std::string line(300, 'W');
    r.gfx->Printf(0.0f, 0.0f, "%s", line.c_str());
    const auto draws = r.Device().Filter(DeviceCallKind::DrawIndexedPrimitive);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(r.Device().Text(draws[0]), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 1024, 0, 512)");
    EXPECT_EQ(r.Device().Text(draws[1]), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 176, 0, 88)");
    // Drawing leaves culling, depth testing and blending as they were.
    EXPECT_EQ(r.gfx->GetZBufferSuspendCount(), 0);
    EXPECT_EQ(r.gfx->GetCullMode(), -1);
    EXPECT_EQ(r.gfx->GetBlendMode(), 1);
    r.gfx->EndScene();
}

TEST(TextDrawing, ImageRunsShowRegisteredTexturesAndTextKeepsTheBlendSettings) {
    RecordingGfx r;
    auto adopted = std::make_unique<DXC_Font>();
    DXC_Font* font = adopted.get();
    r.gfx->AdoptFont(std::move(adopted));
    r.gfx->BuildDefaultFont(font, 0xFF96DCFF, 0xFF006473);
    r.gfx->SetFont(font);
    DXC_Texture picture(r.gfx);
    r.gfx->CreateTexture(&picture, 16, 8, 4, D3DFMT_A8R8G8B8, 1);
    DXC_PrintfContainer& text = *r.gfx->GetPrintfContainer();
    text.RegisterImage("pic", &picture);
    text.Parse("A|i'pic'B|i'none'C");
    ASSERT_EQ(text.GetLine(0).runCount, 3);
    EXPECT_EQ(text.GetRun(1).image, 1);
    EXPECT_EQ(text.GetRun(1).texture, &picture);
    EXPECT_FLOAT_EQ(text.GetRun(1).x, 6.0f); // after one character
    EXPECT_FLOAT_EQ(text.GetRun(1).width, 16.0f);
    EXPECT_FLOAT_EQ(text.GetRun(2).x, 22.0f);
    EXPECT_EQ(std::string(text.RunText(text.GetRun(2)), 2), "BC"); // an unknown image shows nothing
    // Drawing text between blend settings leaves mode and alpha as they were.
    r.gfx->SetBlendMode(7, 100);
    r.gfx->SetBlendMode(14, 30);
    r.gfx->BeginScene();
    r.Forget();
    r.gfx->Printf(0, 0, "A|i'pic'B");
    EXPECT_EQ(r.Device().Count(DeviceCallKind::DrawPrimitive), 1u); // the image quad
    EXPECT_EQ(r.Device().Count(DeviceCallKind::DrawIndexedPrimitive), 2u);
    EXPECT_EQ(r.gfx->GetBlendMode(), 14);
    EXPECT_EQ(r.gfx->GetBlendAlpha(), 100);
    r.gfx->EndScene();
}

TEST(TextDrawing, OverLongTextIsCutWithAWarning) {
    RecordingGfx r;
    ResetReportState();
    const std::string huge(70000, 'x');
    r.gfx->Printf(0.0f, 0.0f, "%s", huge.c_str());
    EXPECT_STREQ(DXC_Base::GetReportState().last.message, "String too long for Printf()");
    EXPECT_EQ(std::strlen(r.gfx->GetScratch()), static_cast<size_t>(DXC_Gfx::ScratchSize - 1));
}
