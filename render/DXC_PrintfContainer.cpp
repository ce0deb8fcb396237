#include "render/DXC_PrintfContainer.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d8/ErrorText.h"
#include "render/DXC_Font.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_TextureAccess.h"

namespace {

int32_t HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

int32_t DecimalDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

// True when the n characters after p all exist (the string does not end among them).
bool Has(const char* p, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (!p[i]) return false;
    return true;
}

constexpr int32_t ReservedLines = 512;
constexpr int32_t ReservedRuns = 2048;
constexpr int32_t ReservedText = 65536;

} // namespace

DXC_PrintfContainer::DXC_PrintfContainer() {
    SetObjectName("DXC_PrintfContainer");
    lines.reserve(ReservedLines);
    runs.reserve(ReservedRuns);
    text.reserve(ReservedText);
    images.reserve(16);
}

DXC_PrintfContainer::~DXC_PrintfContainer() {
    Release();
}

void DXC_PrintfContainer::Prepare(DXC_Gfx* gfx) {
    Release();
    gfx->CreateVertexList(&quads, 4 * BatchCharacters, -1, 1);
    quads.SetPrimitiveType(D3DPT_TRIANGLELIST);
    IDirect3DDevice8* device = gfx->GetDevice();
    const UINT size = 6 * BatchCharacters * sizeof(WORD);
    result =
        device->CreateIndexBuffer(size, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &quadIndices);
    if (FAILED(result)) Error("CreateIndexBuffer failed: %s", ErrorText(result));
    BYTE* data = nullptr;
    result = quadIndices->Lock(0, 0, &data, 0);
    if (FAILED(result)) Error("Lock failed: %s", ErrorText(result));
    // Two triangles per character quad: corners top-left, top-right, bottom-left, bottom-right.
    WORD* index = reinterpret_cast<WORD*>(data);
    for (int32_t q = 0; q < BatchCharacters; ++q) {
        const WORD v = static_cast<WORD>(4 * q);
        const WORD corners[6] = {v,
                                 static_cast<WORD>(v + 1),
                                 static_cast<WORD>(v + 2),
                                 static_cast<WORD>(v + 2),
                                 static_cast<WORD>(v + 1),
                                 static_cast<WORD>(v + 3)};
        std::memcpy(index + 6 * q, corners, sizeof corners);
    }
    quadIndices->Unlock();
}

void DXC_PrintfContainer::Release() {
    SafeRelease(quadIndices);
}

void DXC_PrintfContainer::SetFont(DXC_Font* font) {
    current.font = font;
    defaults.font = font;
    if (font) {
        current.color = font->color;
        defaults.color = font->color;
    }
}

void DXC_PrintfContainer::SetClipRect(const RECT* rect) {
    hasClip = rect ? 1 : 0;
    if (rect) clip = *rect;
}

void DXC_PrintfContainer::RegisterImage(const char* name, DXC_Texture* texture) {
    for (NamedImage& image : images)
        if (std::strcmp(image.name, name) == 0) {
            image.texture = texture;
            return;
        }
    NamedImage image{};
    std::strncpy(image.name, name, sizeof image.name - 1);
    image.texture = texture;
    images.push_back(image);
}

// ---------------------------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------------------------

void DXC_PrintfContainer::Clear() {
    lines.clear();
    runs.clear();
    text.clear();
    cursorX = 0.0f;
}

void DXC_PrintfContainer::BeginLine() {
    Line line;
    line.alignment = current.alignment;
    line.y = lines.empty() ? 0.0f : lines.back().y + lines.back().height;
    line.firstRun = static_cast<int32_t>(runs.size());
    lines.push_back(line);
    cursorX = 0.0f;
    BeginRun();
}

void DXC_PrintfContainer::EndLine() {
    Line& line = lines.back();
    line.runCount = static_cast<int32_t>(runs.size()) - line.firstRun;
    line.width = cursorX;
    float height = 0.0f;
    for (int32_t i = 0; i < line.runCount; ++i) height = std::max(height, RunHeight(runs[line.firstRun + i]));
    line.height = height;
}

float DXC_PrintfContainer::RunHeight(const Run& run) const {
    if (run.image) return run.height;
    return run.font ? run.font->LineHeight(run.scaleY) : 0.0f;
}

void DXC_PrintfContainer::BeginRun() {
    // An empty text run at the end takes the new style instead of leaving a run behind.
    Line& line = lines.back();
    if (static_cast<int32_t>(runs.size()) > line.firstRun && !runs.back().image &&
        runs.back().textLength == 0) {
        runs.pop_back();
    }
    Run run;
    run.font = current.font;
    run.color = current.color;
    run.scaleX = current.scaleX;
    run.scaleY = current.scaleY;
    run.textStart = static_cast<int32_t>(text.size());
    run.x = cursorX;
    runs.push_back(run);
}

void DXC_PrintfContainer::AppendChar(char c) {
    Run* run = &runs.back();
    const float advance = run->font ? run->font->Advance(static_cast<unsigned char>(c), run->scaleX) : 0.0f;
    if (maxLineWidth > 0.0f && cursorX > 0.0f && cursorX + advance > maxLineWidth) {
        EndLine();
        BeginLine();
        run = &runs.back();
    }
    text.push_back(c);
    run->textLength++;
    run->width += advance;
    cursorX += advance;
}

void DXC_PrintfContainer::AddImage(DXC_Texture* texture) {
    float width = 0.0f, height = 0.0f;
    TextImageSize(texture, &width, &height);
    Run run;
    run.image = 1;
    run.texture = texture;
    run.color = current.color;
    run.scaleX = current.scaleX;
    run.scaleY = current.scaleY;
    run.textStart = static_cast<int32_t>(text.size());
    run.x = cursorX;
    run.width = width * current.scaleX;
    run.height = height * current.scaleY;
    if (!runs.empty() && static_cast<int32_t>(runs.size()) > lines.back().firstRun && !runs.back().image &&
        runs.back().textLength == 0)
        runs.pop_back();
    runs.push_back(run);
    cursorX += run.width;
    BeginRun();
}

void DXC_PrintfContainer::Parse(const char* source) {
    Clear();
    BeginLine();
    for (const char* p = source; p && *p; ++p) {
        const char c = *p;
        if (c == '\n') {
            EndLine();
            BeginLine();
            continue;
        }
        if (c != '|') {
            AppendChar(c);
            continue;
        }
        const char code = p[1];
        if (!code) break;
        const char* arg = p + 2;
        switch (code) {
        case 'C':
            if (!Has(arg, 6)) goto done;
            current.color =
                0xFF000000u | static_cast<D3DCOLOR>(HexDigit(arg[0]) << 20 | HexDigit(arg[1]) << 16 |
                                                    HexDigit(arg[2]) << 12 | HexDigit(arg[3]) << 8 |
                                                    HexDigit(arg[4]) << 4 | HexDigit(arg[5]));
            BeginRun();
            p += 7;
            break;
        case 'c':
            if (!Has(arg, 3)) goto done;
            current.color = 0xFF000000u | static_cast<D3DCOLOR>(HexDigit(arg[0]) * 255 / 15 << 16 |
                                                                HexDigit(arg[1]) * 255 / 15 << 8 |
                                                                HexDigit(arg[2]) * 255 / 15);
            BeginRun();
            p += 4;
            break;
        case 'S':
            if (!Has(arg, 4)) goto done;
            current.scaleX = static_cast<float>(DecimalDigit(arg[0])) + DecimalDigit(arg[1]) / 10.0f;
            current.scaleY = static_cast<float>(DecimalDigit(arg[2])) + DecimalDigit(arg[3]) / 10.0f;
            BeginRun();
            p += 5;
            break;
        case 's':
            if (!Has(arg, 2)) goto done;
            current.scaleX = current.scaleY =
                static_cast<float>(DecimalDigit(arg[0])) + DecimalDigit(arg[1]) / 10.0f;
            BeginRun();
            p += 3;
            break;
        case 'J':
        case 'j':
        case 'L':
        case 'l':
        case 'T':
        case 't':
        case 'Z':
        case 'z': {
            const char upper = static_cast<char>(code & ~0x20);
            current.alignment = upper == 'J' ? 4 : upper == 'L' ? 2 : upper == 'T' ? 3 : 1;
            lines.back().alignment = current.alignment;
            p += 1;
            break;
        }
        case 'R':
        case 'r':
            current = defaults;
            lines.back().alignment = current.alignment;
            BeginRun();
            p += 1;
            break;
        case 'i': {
            // |i'name': the name runs up to the closing quote.
            if (arg[0] != '\'') goto done;
            const char* end = std::strchr(arg + 1, '\'');
            if (!end) goto done;
            char name[64] = {};
            std::memcpy(name, arg + 1, std::min<size_t>(static_cast<size_t>(end - arg - 1), sizeof name - 1));
            for (const NamedImage& image : images)
                if (std::strcmp(image.name, name) == 0) AddImage(image.texture);
            p = end;
            break;
        }
        case '|':
            AppendChar('|');
            p += 1;
            break;
        default:
            AppendChar('|');
            AppendChar(code);
            p += 1;
            break;
        }
    }
done:
    EndLine();
    ApplyAlignment();
}

void DXC_PrintfContainer::ApplyAlignment() {
    const float W = maxLineWidth;
    for (Line& line : lines) {
        const float w = line.width;
        switch (line.alignment) {
        case 1:
            line.x += W > 0.0f ? (W - w) / 2.0f : -w / 2.0f;
            break;
        case 3:
            if (W > 0.0f)
                for (int32_t i = 0; i < line.runCount; ++i) runs[line.firstRun + i].x += W - w;
            break;
        case 4:
            if (W > 0.0f && W - w > 0.0f && line.runCount > 1)
                for (int32_t j = 1; j < line.runCount; ++j)
                    runs[line.firstRun + j].x += static_cast<float>(j + 1) * (W - w) / line.runCount;
            break;
        default:
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

int32_t DXC_PrintfContainer::FirstVisibleLine(float top) const {
    // Line positions rise with the index: the first line whose bottom lies below top.
    int32_t low = 0, high = static_cast<int32_t>(lines.size());
    while (low < high) {
        const int32_t mid = (low + high) / 2;
        if (lines[mid].y + lines[mid].height <= top)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

void DXC_PrintfContainer::Draw(DXC_Gfx* gfx, float x, float y, float scroll) {
    if (lines.empty() || !quadIndices) return;
    const int32_t cull = gfx->GetCullMode();
    const int32_t blend = gfx->GetBlendMode(), alpha = gfx->GetBlendAlpha();
    const D3DVIEWPORT8 saved = gfx->GetViewport();
    gfx->SetCullMode(0);
    gfx->SuspendZBuffer();
    // The glyph texture carries the coverage in its alpha.
    gfx->SetBlendMode(9, 255);
    float top = static_cast<float>(saved.Y), bottom = static_cast<float>(saved.Y + saved.Height);
    if (hasClip) {
        gfx->SetViewPort(clip.left, clip.top, clip.right, clip.bottom, saved.MinZ, saved.MaxZ);
        top = static_cast<float>(clip.top);
        bottom = static_cast<float>(clip.bottom);
    }
    const float originY = y - scroll;
    for (int32_t i = FirstVisibleLine(top - originY); i < static_cast<int32_t>(lines.size()); ++i) {
        const Line& line = lines[i];
        if (originY + line.y > bottom) break;
        for (int32_t r = 0; r < line.runCount; ++r)
            DrawRun(gfx, runs[line.firstRun + r], x + line.x, originY + line.y);
    }
    Flush(gfx);
    if (hasClip)
        gfx->SetViewPort(static_cast<int32_t>(saved.X), static_cast<int32_t>(saved.Y),
                         static_cast<int32_t>(saved.X + saved.Width),
                         static_cast<int32_t>(saved.Y + saved.Height), saved.MinZ, saved.MaxZ);
    gfx->RestoreBlendMode(blend, alpha);
    gfx->ResumeZBuffer();
    gfx->SetCullMode(cull);
}

void DXC_PrintfContainer::DrawRun(DXC_Gfx* gfx, const Run& run, float lineX, float lineY) {
    if (run.image) {
        Flush(gfx);
        DrawTextImage(gfx, run.texture, lineX + run.x, lineY, run.color, run.scaleX, run.scaleY);
        return;
    }
    DXC_Font* font = run.font;
    if (!font || !font->texture) return;
    float penX = lineX + run.x;
    for (int32_t k = 0; k < run.textLength; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[run.textStart + k]);
        const int32_t glyph = font->GlyphIndex(c);
        const float advance = font->Advance(c, run.scaleX);
        if (glyph >= 0) {
            const float w = font->GlyphWidth(glyph) * font->sizeFactor * run.scaleX;
            const float h = font->GlyphHeight(glyph) * font->sizeFactor * run.scaleY;
            const bool inside = !hasClip || (penX + w > clip.left && penX < clip.right &&
                                             lineY + h > clip.top && lineY < clip.bottom);
            if (inside && w > 0.0f && h > 0.0f) AddQuad(gfx, font, glyph, run.color, penX, lineY, w, h);
        }
        penX += advance;
    }
}

void DXC_PrintfContainer::AddQuad(DXC_Gfx* gfx, DXC_Font* font, int32_t glyph, D3DCOLOR color, float x,
                                  float y, float w, float h) {
    if (batched > 0 && font != batchFont) Flush(gfx);
    if (batched == 0) {
        batchFont = font;
        quads.Lock();
        batch = quads.At(0);
    }
    float tw = 0.0f, th = 0.0f;
    TextImageSize(font->texture.get(), &tw, &th);
    const RECT& g = font->glyphRect[glyph];
    const float u0 = tw > 0 ? g.left / tw : 0.0f, u1 = tw > 0 ? g.right / tw : 0.0f;
    const float v0 = th > 0 ? g.top / th : 0.0f, v1 = th > 0 ? g.bottom / th : 0.0f;
    DXC_TLVertex* v = batch + 4 * batched;
    v[0] = DXC_TLVertex{x, y, 0.0f, 1.0f, color, 0xFF000000, u0, v0};
    v[1] = DXC_TLVertex{x + w, y, 0.0f, 1.0f, color, 0xFF000000, u1, v0};
    v[2] = DXC_TLVertex{x, y + h, 0.0f, 1.0f, color, 0xFF000000, u0, v1};
    v[3] = DXC_TLVertex{x + w, y + h, 0.0f, 1.0f, color, 0xFF000000, u1, v1};
    if (++batched == BatchCharacters) Flush(gfx);
}

void DXC_PrintfContainer::Flush(DXC_Gfx* gfx) {
    if (batched == 0) return;
    quads.Unlock();
    batch = nullptr;
    const int32_t count = batched;
    batched = 0;
    BindTextImage(gfx, batchFont->texture.get());
    gfx->SetStreamSource(0, quads.GetBuffer(), sizeof(DXC_TLVertex), "SetStreamSource failed: %s");
    gfx->SetIndices(quadIndices, "SetIndices failed: %s");
    gfx->SelectVertexProcessing(DXC_TLVertex::Format);
    result = gfx->GetDevice()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(4 * count), 0,
                                                    static_cast<UINT>(2 * count));
    if (FAILED(result)) Error("DrawIndexedPrimitive failed: %s", ErrorText(result));
}
