// Text: the current font, its layout and formatted drawing through the text queue.
#include "render/DXC_Gfx.h"

#include <cstdarg>
#include <cstdio>

#include "render/DXC_Font.h"
#include "render/DXC_PrintfContainer.h"

namespace {

constexpr float KeepValue = -999.0f;

} // namespace

void DXC_Gfx::SetFont(DXC_Font* font) {
    currentFont = font;
    printfContainer->SetFont(font);
}

void DXC_Gfx::AdoptFont(std::unique_ptr<DXC_Font> font) {
    builtInFont = std::move(font);
    SetFont(builtInFont.get());
}

void DXC_Gfx::SetFontLayout(DXC_Font* font, float sizeFactor, D3DCOLOR color, float extraAdvance,
                            float extraLineSpacing, float baselineFactor) {
    if (!font) return;
    font->sizeFactor = sizeFactor;
    font->color = color;
    if (extraAdvance != KeepValue) font->extraAdvance = extraAdvance;
    if (extraLineSpacing != KeepValue) font->extraLineSpacing = extraLineSpacing;
    font->baselineFactor = baselineFactor;
    if (font == currentFont) printfContainer->SetFont(font);
}

namespace {

// Formats into the scratch buffer; an over-long text is cut to it with a warning.
template <class Report>
void FormatScratch(char* scratch, int32_t size, Report warn, const char* format, va_list args) {
    const int written = std::vsnprintf(scratch, static_cast<size_t>(size), format, args);
    if (written > size - 1) warn();
    if (written < 0) scratch[0] = 0;
}

} // namespace

void DXC_Gfx::Printf(float x, float y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatScratch(
        scratch.get(), ScratchSize, [this] { Warning("String too long for Printf()"); }, format, args);
    va_end(args);
    printfContainer->Parse(scratch.get());
    printfContainer->Draw(this, x, y);
}

void DXC_Gfx::PrintfDefaultStyle(float x, float y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatScratch(
        scratch.get(), ScratchSize, [this] { Warning("String too long for Printf()"); }, format, args);
    va_end(args);
    const DXC_PrintfContainer::Style previous = printfContainer->CurrentStyle();
    printfContainer->CurrentStyle() = printfContainer->DefaultStyle();
    printfContainer->Parse(scratch.get());
    printfContainer->Draw(this, x, y);
    printfContainer->CurrentStyle() = previous;
}
