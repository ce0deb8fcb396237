#include "viewer/InspectionOverlay.h"

#include <cstdarg>
#include <cstdio>

#include "render/DXC_Gfx.h"
#include "scene/Scene3d.h"
#include "viewer/OverlayCanvas.h"
#include "viewer/Picking.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

namespace {

// "ViewKZV for Linux  %.1f fps", each character code raised by one.
constexpr const char* CodedCredit = "WjfxL[W!gps!Mjovy!!&/2g!gqt";

constexpr D3DCOLOR White = 0xFFFFFFFF;
constexpr D3DCOLOR VertexColour = 0xFFFFFF00;
constexpr D3DCOLOR MeshPositionColour = 0xFF00FFFF;
constexpr D3DCOLOR AxisColours[3] = {0xFFFF0A0A, 0xFF0AFF0A, 0xFF0A0AFF};

void Print(OverlayCanvas& canvas, float x, float y, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void Print(OverlayCanvas& canvas, float x, float y, const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < static_cast<int>(sizeof small)) {
        va_end(again);
        canvas.Text(x, y, length < 0 ? "" : small);
        return;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    canvas.Text(x, y, text.c_str());
}

// The sizes the overlay places its lines by.
struct OverlayFrame {
    float clientWidth; // W
    float width;       // W windowed, /resx in full screen
    float height;      // H windowed, /resy in full screen
    D3DXVECTOR3 eye;
    int32_t mirrored;
};

OverlayFrame FrameOf(ViewerLoop& loop) {
    const ViewerSettings& s = loop.settings;
    // Headless there is no client area: the frame's own size stands in for it.
    const int32_t clientWidth = s.clientWidth > 0 ? s.clientWidth : s.width;
    const int32_t clientHeight = s.clientHeight > 0 ? s.clientHeight : s.height;
    return OverlayFrame{static_cast<float>(clientWidth),
                        static_cast<float>(s.windowed ? clientWidth : s.width),
                        static_cast<float>(s.windowed ? clientHeight : s.height),
                        EyePosition(loop.gfx.GetViewMatrix()), loop.view.viewOptions.mirror};
}

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = a - b;
    return D3DXVec3Length(&d);
}

// Markers are mirrored with the picture.
class CanvasMirror {
public:
    CanvasMirror(OverlayCanvas& c, int32_t m) : canvas(c), mirrored(m) {
        if (mirrored) canvas.Mirror(true);
    }
    ~CanvasMirror() {
        if (mirrored) canvas.Mirror(false);
    }
    CanvasMirror(const CanvasMirror&) = delete;
    CanvasMirror& operator=(const CanvasMirror&) = delete;

private:
    OverlayCanvas& canvas;
    int32_t mirrored;
};

// Three lines from the matrix's origin along its first three rows, each a tenth of the
// camera's distance long.
void DrawTripod(OverlayCanvas& canvas, const OverlayFrame& frame, const D3DXMATRIX& m) {
    const CanvasMirror mirror(canvas, frame.mirrored);
    const D3DXVECTOR3 origin(m._41, m._42, m._43);
    const float length = 0.1f * Distance(frame.eye, origin);
    for (int32_t axis = 0; axis < 3; ++axis) {
        D3DXVECTOR3 direction(m.m[axis][0], m.m[axis][1], m.m[axis][2]);
        D3DXVec3Normalize(&direction, &direction);
        canvas.Line(origin, origin + direction * length, AxisColours[axis]);
    }
}

// A title and four rows 6 pixels apart with the first three elements of each matrix row.
void PrintMatrix(OverlayCanvas& canvas, float x, float y, const char* title, const D3DXMATRIX& m) {
    canvas.Text(x, y, title);
    for (int32_t row = 0; row < 4; ++row)
        Print(canvas, x, y + 6.0f * static_cast<float>(row + 1), "%.3f %.3f %.3f", m.m[row][0], m.m[row][1],
              m.m[row][2]);
}

void DrawIntersection(ViewerLoop& loop, OverlayCanvas& canvas, const OverlayFrame& frame) {
    const float x = static_cast<float>(static_cast<int32_t>(frame.clientWidth) / 2);
    const ViewState& view = loop.view;
    if (view.intersectionState == 0) canvas.DefaultStyleText(x, 10.0f, "|c0F8No intersection");
    if (view.intersectionState != 1) return;
    char text[160];
    std::snprintf(text, sizeof text, "|c0F8Intersection: %.3f,%.3f,%.3f", view.intersectionPoint.x,
                  view.intersectionPoint.y, view.intersectionPoint.z);
    canvas.DefaultStyleText(x, 10.0f, text);
}

// The name of bone number index of the mesh; a number past its bones is reported.
const char* BoneName(DXC_Mesh& mesh, int32_t index) {
    const BoneRecord* bone = index < mesh.GetBones().GetCount() ? mesh.GetBones().GetAt(index) : nullptr;
    if (!bone) {
        mesh.Warning("Invalid bone - NULL pointer returned");
        return "";
    }
    return bone->name.Text();
}

void PrintVertexRows(ViewerLoop& loop, OverlayCanvas& canvas, DXC_Mesh& mesh, const InspectedVertex& v) {
    const ViewState& view = loop.view;
    if (v.hasTexCoords)
        Print(canvas, 1, 27, "VerNr:%i/%i  uv:%.3f %.3f", view.vertexSelection, view.vertexCount, v.u, v.v);
    else
        Print(canvas, 1, 27, "VerNr:%i/%i", view.vertexSelection, view.vertexCount);
    Print(canvas, 1, 39, "TPos:%.3f %.3f %.3f", v.animated.x, v.animated.y, v.animated.z);
    Print(canvas, 1, 51, "Pos:%.3f %.3f %.3f", v.stored.x, v.stored.y, v.stored.z);
    for (int32_t i = 0; i < v.weightCount; ++i)
        Print(canvas, 1, 63.0f + 12.0f * static_cast<float>(i), "Bone%i: %i%% %s", i,
              static_cast<int32_t>(v.weights[i] * 100.0f), BoneName(mesh, v.bones[i]));
}

void DrawVertexMarkers(OverlayCanvas& canvas, const OverlayFrame& frame, const InspectedVertex& v) {
    const CanvasMirror mirror(canvas, frame.mirrored);
    canvas.Point(v.animated, VertexColour);
    canvas.Point(v.meshPosition, MeshPositionColour);
    const float length = 0.1f * Distance(frame.eye, v.animated);
    canvas.Line(v.animated, v.animated + v.normal * length, VertexColour);
}

void DrawMeshColumn(OverlayCanvas& canvas, const OverlayFrame& frame, DXC_Mesh& mesh) {
    const float x = frame.clientWidth - 150.0f;
    const BoundsRecord& b = mesh.bounds;
    canvas.Text(x, 160, "|c0F8Bounding box min:");
    Print(canvas, x, 166, "%.2f,%.2f,%.2f", b.minimum.x, b.minimum.y, b.minimum.z);
    canvas.Text(x, 173, "|c0F8Bounding box max:");
    Print(canvas, x, 179, "%.2f,%.2f,%.2f", b.maximum.x, b.maximum.y, b.maximum.z);
    PrintMatrix(canvas, x, 124, "|c0F8Mesh local TM", mesh.GetLocalMatrix());
    PrintMatrix(canvas, x, 90, "|c0F8Mesh world TM", mesh.worldTM);
    DrawTripod(canvas, frame, mesh.worldTM);
}

void DrawVertexSection(ViewerLoop& loop, OverlayCanvas& canvas, const OverlayFrame& frame,
                       const InspectedVertex& v) {
    const ViewState& view = loop.view;
    if (view.vertexSelection == -1) return;
    DXC_Mesh* mesh = loop.scene.GetMeshAt(view.currentMesh);
    Print(canvas, 1, 15, "Mesh:%i/%i %s", view.currentMesh, view.meshCount, mesh ? mesh->name.Text() : "");
    if (!mesh || !v.valid) return;
    PrintVertexRows(loop, canvas, *mesh, v);
    DrawVertexMarkers(canvas, frame, v);
    DrawMeshColumn(canvas, frame, *mesh);
}

void DrawHelperSection(ViewerLoop& loop, OverlayCanvas& canvas, const OverlayFrame& frame) {
    const int32_t selected = loop.view.helperSelection;
    if (selected < 0) return;
    DXC_3dObject* helper = loop.scene.GetHelper(selected);
    const float x = frame.clientWidth - 150.0f;
    PrintMatrix(canvas, x, 44, "|c0F8Helper local TM", helper->GetLocalMatrix());
    PrintMatrix(canvas, x, 10, "|c0F8Helper world TM", helper->worldTM);
    DrawTripod(canvas, frame, helper->worldTM);
    Print(canvas, 1, 112, "Helper:%i/%i %s", selected, loop.scene.GetHelperCount(), helper->name.Text());
}

void DrawLightRow(ViewerLoop& loop, OverlayCanvas& canvas) {
    const int32_t selected = loop.view.lightSelection;
    if (selected < 0) return;
    DXC_Light* light = loop.scene.GetLight(selected);
    Print(canvas, 1, 124, "Light:%i/%i %s", selected, loop.scene.GetLightCount(), light->name.Text());
}

void DrawStatusLines(ViewerLoop& loop, OverlayCanvas& canvas, const OverlayFrame& frame,
                     const std::string& credit) {
    const ViewState& view = loop.view;
    if (loop.settings.showFrameRate) {
        canvas.Layout(2.0f, White);
        Print(canvas, 1, 1, "FPS:%.2f", view.frameRate);
    }
    if (loop.settings.speed != 1.0f) {
        char text[64];
        std::snprintf(text, sizeof text, "Spd:%.2f", loop.settings.speed);
        canvas.DefaultStyleText(frame.width - 70.0f, 13, text);
    }
    if (view.showTime) {
        canvas.Layout(2.0f, White);
        Print(canvas, frame.width - 150.0f, 1, "Time:%.2f", view.animationTime);
    }
    canvas.Layout(1.0f, White);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    Print(canvas, frame.width - 250.0f, frame.height - 20.0f, credit.c_str(), view.frameRate);
#pragma GCC diagnostic pop
}

} // namespace

std::string DecodeCredit(const char* coded) {
    std::string text;
    for (const char* c = coded; *c; ++c) text += static_cast<char>(*c - 1);
    return text;
}

InspectionOverlay::InspectionOverlay() : credit(DecodeCredit(CodedCredit)) {}

void InspectionOverlay::Inspect(ViewerLoop& loop) {
    InspectFrame(loop, vertex);
}

void InspectionOverlay::Draw(ViewerLoop& loop, OverlayCanvas& canvas) {
    const OverlayFrame frame = FrameOf(loop);
    DrawIntersection(loop, canvas, frame);
    DrawVertexSection(loop, canvas, frame, vertex);
    if (loop.view.showAxis) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        DrawTripod(canvas, frame, identity);
    }
    DrawHelperSection(loop, canvas, frame);
    DrawLightRow(loop, canvas);
    DrawStatusLines(loop, canvas, frame, credit);
}

void InstallInspectionOverlay(ViewerServices& services, InspectionOverlay& overlay) {
    services.inspect = [&overlay](ViewerLoop& loop) { overlay.Inspect(loop); };
    services.overlay = [&overlay](ViewerLoop& loop) {
        GfxOverlayCanvas canvas(loop.gfx, loop.Pass());
        overlay.Draw(loop, canvas);
    };
}
