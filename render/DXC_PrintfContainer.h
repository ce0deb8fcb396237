#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ErrorReport.h"
#include "platform/d3d8/D3D8.h"
#include "render/DXC_Vertex.h"
#include "render/DXC_VertexList.h"

class DXC_Font;
class DXC_Gfx;
class DXC_Texture;

// The text queue: a formatted string with escape codes ("|c0F8" colour, "|s20" scale, "|Z"
// centring, ...) becomes lines of runs, drawn as textured quads in batches of 256 characters.
// Storage is reserved once, so parsing and drawing the overlay every frame does not allocate.
class DXC_PrintfContainer : public DXC_Base {
public:
    static constexpr int32_t BatchCharacters = 256;

    struct Style {
        DXC_Font* font = nullptr;
        D3DCOLOR color = 0xFFFFFFFF;
        float scaleX = 1.0f;
        float scaleY = 1.0f;
        int32_t alignment = 2; // 1 centred, 2 left, 3 right, 4 spread
    };
    struct Run {
        int32_t image = 0; // 1: an image run showing texture
        DXC_Font* font = nullptr;
        D3DCOLOR color = 0xFFFFFFFF;
        float scaleX = 1.0f;
        float scaleY = 1.0f;
        int32_t textStart = 0; // characters in the container's text buffer
        int32_t textLength = 0;
        float x = 0.0f; // from the line's start
        float width = 0.0f;
        float height = 0.0f;
        DXC_Texture* texture = nullptr;
    };
    struct Line {
        int32_t alignment = 2;
        float x = 0.0f;
        float y = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
        int32_t firstRun = 0;
        int32_t runCount = 0;
    };

    DXC_PrintfContainer();
    ~DXC_PrintfContainer() override;
    DXC_PrintfContainer(const DXC_PrintfContainer&) = delete;
    DXC_PrintfContainer& operator=(const DXC_PrintfContainer&) = delete;

    // Creates the batch vertex list and its quad indices on the graphics object's device.
    void Prepare(DXC_Gfx* gfx);
    void Release();

    // Empties the container and reads a formatted string into lines and runs, starting from the
    // current style; the style left at the end stays current.
    void Parse(const char* text);
    void Clear();
    // Draws the lines at (x, y) with the text scrolled up by scroll pixels.
    void Draw(DXC_Gfx* gfx, float x, float y, float scroll = 0.0f);

    Style& CurrentStyle() { return current; }
    Style& DefaultStyle() { return defaults; }
    // The font of both styles.
    void SetFont(DXC_Font* font);
    // 0: none. A character that would pass the width starts a new line.
    void SetMaxLineWidth(float width) { maxLineWidth = width; }
    // Null: no clipping.
    void SetClipRect(const RECT* rect);
    // Images that "|i'name'" can show.
    void RegisterImage(const char* name, DXC_Texture* texture);

    int32_t GetLineCount() const { return static_cast<int32_t>(lines.size()); }
    const Line& GetLine(int32_t i) const { return lines[static_cast<size_t>(i)]; }
    const Run& GetRun(int32_t i) const { return runs[static_cast<size_t>(i)]; }
    const char* RunText(const Run& run) const { return text.data() + run.textStart; }

private:
    struct NamedImage {
        char name[64];
        DXC_Texture* texture;
    };

    void BeginLine();
    void EndLine();
    void BeginRun();
    void AppendChar(char c);
    void AddImage(DXC_Texture* texture);
    void ApplyAlignment();
    float RunHeight(const Run& run) const;
    int32_t FirstVisibleLine(float top) const;
    void DrawRun(DXC_Gfx* gfx, const Run& run, float x, float y);
    void AddQuad(DXC_Gfx* gfx, DXC_Font* font, int32_t glyph, D3DCOLOR color, float x, float y, float w,
                 float h);
    void Flush(DXC_Gfx* gfx);

    std::vector<Line> lines;
    std::vector<Run> runs;
    std::vector<char> text;
    std::vector<NamedImage> images;
    Style current;
    Style defaults;
    float maxLineWidth = 0.0f;
    float cursorX = 0.0f;
    RECT clip = {};
    int32_t hasClip = 0;

    DXC_VertexListTemp<DXC_TLVertex> quads;
    IDirect3DIndexBuffer8* quadIndices = nullptr;
    DXC_TLVertex* batch = nullptr; // the locked batch while drawing
    DXC_Font* batchFont = nullptr; // the font of the characters batched
    int32_t batched = 0;
};
