// The inspection overlay in the viewer's frame loop on the recording device: every line of
// text at its place, the markers and lines with their colours, the mirror around them, and
// what left and right clicks pick.
//
// The scenes put their geometry in the plane y = 5 and the tests place the free camera at
// (0, -10, 0) looking along +y with z up, so every point is 15 units deep. The projection has a
// field of view of 0.7854 and the 640 x 480 frame's aspect: h = cot(0.3927) = 2.41421,
// m11 = h * 3 / 4 = 1.81066. With the X mirror on (the default) a world point (x, 5, z) lands
// on pixel (320 + 320 * 1.81066 * x / 15, 240 - 240 * 2.41421 * z / 15)
//          = (320 + 38.627 x, 240 - 38.627 z).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ViewerRig.h"
#include "platform/KeyCodes.h"
#include "render/DXC_Font.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_PrintfContainer.h"
#include "support/LogCapture.h"
#include "viewer/InspectionOverlay.h"
#include "viewer/OverlayCanvas.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

namespace {

using Lines = std::vector<std::string>;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Writes down what the overlay draws, then draws it on the graphics object as the viewer does.
class RecordingCanvas final : public OverlayCanvas {
public:
    RecordingCanvas(OverlayCanvas& real, Lines& lines) : real(real), lines(lines) {}
    void Layout(float size, D3DCOLOR colour) override {
        lines.push_back(Format("layout %g %08X", size, colour));
        real.Layout(size, colour);
    }
    void Text(float x, float y, const char* text) override {
        lines.push_back(Format("%g,%g %s", x, y, text));
        real.Text(x, y, text);
    }
    void DefaultStyleText(float x, float y, const char* text) override {
        lines.push_back(Format("%g,%g default %s", x, y, text));
        real.DefaultStyleText(x, y, text);
    }
    void Point(const D3DXVECTOR3& p, D3DCOLOR colour) override {
        lines.push_back(Format("point %.3f %.3f %.3f %08X", p.x, p.y, p.z, colour));
        real.Point(p, colour);
    }
    void Line(const D3DXVECTOR3& a, const D3DXVECTOR3& b, D3DCOLOR colour) override {
        lines.push_back(
            Format("line %.3f %.3f %.3f to %.3f %.3f %.3f %08X", a.x, a.y, a.z, b.x, b.y, b.z, colour));
        real.Line(a, b, colour);
    }
    void Mirror(bool on) override {
        lines.push_back(on ? "mirror on" : "mirror off");
        real.Mirror(on);
    }

private:
    OverlayCanvas& real;
    Lines& lines;
};

std::string NodeTm(const char* name, float x, float y, float z) {
    return Format("\t*NODE_NAME \"%s\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"%s\"\n"
                  "\t\t*TM_ROW0 1.0 0.0 0.0\n\t\t*TM_ROW1 0.0 1.0 0.0\n\t\t*TM_ROW2 0.0 0.0 1.0\n"
                  "\t\t*TM_ROW3 %.4f %.4f %.4f\n\t\t*TM_POS %.4f %.4f %.4f\n"
                  "\t\t*TM_ROTAXIS 0.0 0.0 0.0\n\t\t*TM_ROTANGLE 0.0\n\t\t*TM_SCALE 1.0 1.0 1.0\n\t}\n",
                  name, name, x, y, z, x, y, z);
}

struct V {
    float x, y, z;
};

std::string MeshBlock(const std::vector<V>& vertices, const std::vector<std::array<int, 3>>& faces) {
    std::string s =
        Format("\t*MESH {\n\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n\t\t*MESH_VERTEX_LIST {\n",
               vertices.size(), faces.size());
    for (size_t i = 0; i < vertices.size(); ++i)
        s += Format("\t\t\t*MESH_VERTEX %zu\t%.4f\t%.4f\t%.4f\n", i, vertices[i].x, vertices[i].y,
                    vertices[i].z);
    s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    for (size_t f = 0; f < faces.size(); ++f)
        s += Format(
            "\t\t\t*MESH_FACE %zu:\tA: %d B: %d C: %d AB: 1 BC: 1 CA: 1\t*MESH_SMOOTHING 1\t*MESH_MTLID 0\n",
            f, faces[f][0], faces[f][1], faces[f][2]);
    return s + "\t\t}\n";
}

const char* Header = "*3DSMAX_KZVEXPORT\t211\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 60\n"
                     "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n}\n";

// "Plate": a small triangle (vertices 0 to 2) around the screen's centre and a large one
// (vertices 3 to 5) behind everything a test clicks at; two helpers.
std::string PlateScene() {
    std::string s = Header;
    s += "*GEOMOBJECT {\n" + NodeTm("Plate", 0, 0, 0) +
         MeshBlock({{-0.2f, 5, -2}, {0.2f, 5, -2}, {0, 5, 0}, {-20, 5, -20}, {20, 5, -20}, {0, 5, 20}},
                   {{0, 1, 2}, {3, 4, 5}}) +
         "\t}\n}\n";
    s += "*HELPEROBJECT {\n\t*HELPER_CLASS \"Dummy\"\n" + NodeTm("HelperA", 0, 5, 0) + "}\n";
    s += "*HELPEROBJECT {\n\t*HELPER_CLASS \"Dummy\"\n" + NodeTm("HelperB", 1, 5, 3) + "}\n";
    return s;
}

std::string Bone(const char* name, float z) {
    return "*BONEOBJECT {\n" + NodeTm(name, 0, 0, z) + "}\n";
}

std::string BoneWeights(const char* name) {
    return Format("\t\t\t*BONE_WEIGHT {\n\t\t\t\t*BONE_NAME \"%s\"\n\t\t\t\t*BONE_INIT_TM {\n"
                  "\t\t\t\t\t*TM_ROW0 1.0 0.0 0.0\n\t\t\t\t\t*TM_ROW1 0.0 1.0 0.0\n"
                  "\t\t\t\t\t*TM_ROW2 0.0 0.0 1.0\n\t\t\t\t\t*TM_ROW3 0.0 0.0 0.0\n\t\t\t\t}\n",
                  name);
}

// "Skin": one triangle whose every vertex hangs on three bones with 0.5, 0.375 and 0.125;
// BoneA stands 1 above its bind place, the others at theirs.
std::string SkinScene() {
    std::string s = Header;
    s += Bone("BoneA", 1.0f) + Bone("BoneB", 0.0f) + Bone("BoneC", 0.0f);
    s += "*GEOMOBJECT {\n" + NodeTm("Skin", 0, 0, 0) +
         MeshBlock({{0, 5, 0}, {1, 5, 0}, {0, 5, 1}}, {{0, 1, 2}});
    s += "\t\t*MESH_WEIGHTS {\n\t\t\t*MESH_INIT_TM {\n\t\t\t\t*TM_ROW0 1.0 0.0 0.0\n\t\t\t\t*TM_ROW1 0.0 1.0 "
         "0.0\n"
         "\t\t\t\t*TM_ROW2 0.0 0.0 1.0\n\t\t\t\t*TM_ROW3 0.0 0.0 0.0\n\t\t\t}\n";
    const char* bones[3] = {"BoneA", "BoneB", "BoneC"};
    const char* weights[3] = {"0.5", "0.375", "0.125"};
    for (int b = 0; b < 3; ++b) {
        s += BoneWeights(bones[b]);
        for (int v = 0; v < 3; ++v) s += Format("\t\t\t\t*INDEX_WEIGHT %d %s\n", v, weights[b]);
        s += "\t\t\t}\n";
    }
    return s + "\t\t}\n\t}\n}\n";
}

class OverlayTest : public ViewerRigTest {
protected:
    void SetUp() override {
        ViewerRigTest::SetUp();
        auto font = std::make_unique<DXC_Font>();
        DXC_Font* f = font.get();
        gfx->AdoptFont(std::move(font));
        gfx->BuildDefaultFont(f, 0xFF96DCFF, 0xFF006473);
        services.inspect = [this](ViewerLoop& l) { overlay.Inspect(l); };
        services.overlay = [this](ViewerLoop& l) {
            drawn.clear();
            GfxOverlayCanvas real(l.gfx, l.Pass());
            RecordingCanvas canvas(real, drawn);
            overlay.Draw(l, canvas);
        };
    }
    // Loads the scene text with the options; the free camera then stands at (0, -10, 0)
    // looking along +y, in place from the first frame on.
    void Start(const std::string& text, const char* options = "") {
        const std::string path = PathOf("scene.kzv");
        std::ofstream(path, std::ios::binary) << text;
        MakeLoop(path, options);
        loop->Load();
        loop->freeCamera.SetPosition(0.0f, -10.0f, 0.0f);
        loop->freeCamera.SetDirection(0.0f, 1.0f, 0.0f);
        loop->freeCamera.SetUp(0.0f, 0.0f, 1.0f);
        Step();
    }
    void Step(double dt = 0.125) {
        clock.now += dt;
        ASSERT_TRUE(loop->Frame());
    }
    void StepWith(uint8_t key) {
        events.keyboard.Press(key);
        Step();
        events.keyboard.ReleaseAll();
        Step();
    }
    // A click as the window reports it, acted on in the next frame.
    void Click(int32_t button, int32_t x, int32_t y) {
        MouseClick& click = loop->words.click;
        click.button = button;
        click.x = x;
        click.y = y;
        click.happened = 1;
        Step();
    }
    // The lines drawn in the last frame that begin with prefix.
    Lines Drawn(const std::string& prefix) const {
        Lines out;
        for (const std::string& l : drawn)
            if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l);
        return out;
    }
    bool WasDrawn(const std::string& line) const {
        return std::find(drawn.begin(), drawn.end(), line) != drawn.end();
    }
    ViewState& View() { return loop->view; }

    InspectionOverlay overlay;
    Lines drawn;
};

} // namespace

// ---- what is always drawn ------------------------------------------------------------------------

TEST_F(OverlayTest, CreditLineAloneUntilSomethingIsSelected) {
    Start(PlateScene());
    EXPECT_EQ(overlay.Credit(), "ViewKZV for Linux  %.1f fps");
    // No click yet, speed 1, no time or frame-rate display: only the credit, at the bottom.
    EXPECT_EQ(drawn, (Lines{"layout 1 FFFFFFFF", "390,460 ViewKZV for Linux  0.0 fps"}));
    // The first M selects vertex 0 of mesh 0, and the mesh section appears.
    StepWith(DIK_M);
    EXPECT_EQ(View().vertexSelection, 0);
    EXPECT_EQ(Drawn("1,15 ").size(), 1u);
}

TEST_F(OverlayTest, FrameRateTimeAndSpeedLinesWithTheirLayouts) {
    Start(PlateScene(), "/fps");
    StepWith(DIK_T);
    // 9 frames in 1.125 s since the load (Start's frame, the T frame and its release frame,
    // six more): 8 frames a second.
    for (int i = 0; i < 6; ++i) Step();
    EXPECT_EQ(View().frameRate, 8.0f);
    EXPECT_EQ(drawn, (Lines{"layout 2 FFFFFFFF", "1,1 FPS:8.00", "layout 2 FFFFFFFF", "490,1 Time:1.12",
                            "layout 1 FFFFFFFF", "390,460 ViewKZV for Linux  8.0 fps"}));
    // Speed 1.0 has no line; one frame of keypad * (0.125 s) makes it 1.125, exactly half way,
    // which printf rounds to the even 1.12.
    events.keyboard.Press(DIK_MULTIPLY);
    Step();
    events.keyboard.ReleaseAll();
    EXPECT_EQ(Drawn("570,13"), (Lines{"570,13 default Spd:1.12"}));
}

TEST_F(OverlayTest, FullScreenPlacesStatusLinesByTheOptionSizeAndTheRestByTheClient) {
    Start(PlateScene(), "/full /resx:800 /resy:600 /fps /spd:2");
    settings.clientWidth = 640; // the mode the display actually took
    settings.clientHeight = 480;
    View().showTime = 1;
    View().helperSelection = 0;
    Click(1, 0, 0);
    EXPECT_EQ(Drawn("320,10"), (Lines{"320,10 default |c0F8No intersection"})); // client W / 2
    EXPECT_EQ(Drawn("490,10 "), (Lines{"490,10 |c0F8Helper world TM"}));        // client W - 150
    EXPECT_EQ(Drawn("730,13"), (Lines{"730,13 default Spd:2.00"}));             // /resx - 70
    EXPECT_EQ(Drawn("650,1 ").size(), 1u);                                      // /resx - 150
    EXPECT_EQ(Drawn("550,580 ").size(), 1u);                                    // /resx - 250, /resy - 20
}

// ---- the vertex section --------------------------------------------------------------------------

TEST_F(OverlayTest, SelectedVertexShowsItsRowsMatricesAndMarkers) {
    Start(PlateScene());
    View().vertexSelection = 2;
    View().currentMesh = 0;
    Step();
    EXPECT_EQ(Drawn("1,"), (Lines{"1,15 Mesh:0/1 Plate", "1,27 VerNr:2/6", "1,39 TPos:0.000 5.000 0.000",
                                  "1,51 Pos:0.000 5.000 0.000"}));
    EXPECT_EQ(
        Drawn("490,"),
        (Lines{"490,160 |c0F8Bounding box min:", "490,166 -20.00,5.00,-20.00",
               "490,173 |c0F8Bounding box max:", "490,179 20.00,5.00,20.00", "490,124 |c0F8Mesh local TM",
               "490,130 1.000 0.000 0.000", "490,136 0.000 1.000 0.000", "490,142 0.000 0.000 1.000",
               "490,148 0.000 0.000 0.000", "490,90 |c0F8Mesh world TM", "490,96 1.000 0.000 0.000",
               "490,102 0.000 1.000 0.000", "490,108 0.000 0.000 1.000", "490,114 0.000 0.000 0.000"}));
    // The markers, mirrored with the picture: the vertex, the mesh's place, the normal (facing
    // the camera, a tenth of the 15 units to the eye long), then the world matrix's tripod
    // (a tenth of the 10 units from the eye to the mesh's origin).
    const Lines markers{"mirror on",
                        "point 0.000 5.000 0.000 FFFFFF00",
                        "point 0.000 0.000 0.000 FF00FFFF",
                        "line 0.000 5.000 0.000 to 0.000 3.500 0.000 FFFFFF00",
                        "mirror off",
                        "mirror on",
                        "line 0.000 0.000 0.000 to 1.000 0.000 0.000 FFFF0A0A",
                        "line 0.000 0.000 0.000 to 0.000 1.000 0.000 FF0AFF0A",
                        "line 0.000 0.000 0.000 to 0.000 0.000 1.000 FF0A0AFF",
                        "mirror off"};
    Lines seen;
    for (const std::string& l : drawn)
        if (l.rfind("mirror", 0) == 0 || l.rfind("point", 0) == 0 || l.rfind("line", 0) == 0)
            seen.push_back(l);
    EXPECT_EQ(seen, markers);
}

TEST_F(OverlayTest, WorldAxisWithoutMirrorWhenTheMirrorIsOff) {
    Start(PlateScene(), "/mx");
    StepWith(DIK_O);
    EXPECT_EQ(Drawn("line"), (Lines{"line 0.000 0.000 0.000 to 1.000 0.000 0.000 FFFF0A0A",
                                    "line 0.000 0.000 0.000 to 0.000 1.000 0.000 FF0AFF0A",
                                    "line 0.000 0.000 0.000 to 0.000 0.000 1.000 FF0A0AFF"}));
    EXPECT_TRUE(Drawn("mirror").empty());
}

TEST_F(OverlayTest, ThreeBoneWeightsTheLastBeingTheRest) {
    Start(SkinScene());
    View().vertexSelection = 0;
    Step();
    // BoneA (weight 0.5) stands 1 above its bind place: the vertex moves up by half of that.
    EXPECT_EQ(Drawn("1,"), (Lines{"1,15 Mesh:0/1 Skin", "1,27 VerNr:0/3", "1,39 TPos:0.000 5.000 0.500",
                                  "1,51 Pos:0.000 5.000 0.000", "1,63 Bone0: 50% BoneA",
                                  "1,75 Bone1: 37% BoneB", "1,87 Bone2: 12% BoneC"}));
}

TEST_F(OverlayTest, BoneNumberPastTheMeshsBonesIsReportedAndPrintedWithoutName) {
    Start(SkinScene());
    // Vertex 0's third bone number set past the four bones (the mesh itself and three).
    DXC_MeshData* data = GetMeshData(loop->scene.GetMeshAt(0));
    ASSERT_NE(data, nullptr);
    const VertexFormat& format = data->vertexFormat;
    BYTE* vertex = data->LockVertexBuffer(0);
    vertex[format.blend + 4 * format.blendWeights + 2] = 9;
    data->UnlockVertexBuffer();
    View().vertexSelection = 0;
    Step();
    EXPECT_EQ(Drawn("1,87"), (Lines{"1,87 Bone2: 12% "}));
    bool reported = false;
    for (const std::string& e : entries)
        reported |= e.find("Invalid bone - NULL pointer returned") != std::string::npos;
    EXPECT_TRUE(reported);
}

// ---- clicks --------------------------------------------------------------------------------------

TEST_F(OverlayTest, RightClicksShowWhereTheRayMetTheSceneUntilTheNextOne) {
    Start(PlateScene());
    EXPECT_TRUE(Drawn("320,10").empty()); // no right click yet
    // Pixel (0, 0): the ray meets y = 5 at (-8.28, 5, 6.21), outside the large triangle.
    Click(1, 0, 0);
    EXPECT_EQ(loop->words.click.button, -1);
    EXPECT_EQ(Drawn("320,10"), (Lines{"320,10 default |c0F8No intersection"}));
    Step();
    EXPECT_EQ(Drawn("320,10"), (Lines{"320,10 default |c0F8No intersection"}));
    // Pixel (480, 120) is half way to the right and top edges: at depth 15 the ray stands
    // 15 * 0.5 / m11 = 4.142 to the right and 15 * 0.5 / h = 3.107 up.
    Click(1, 480, 120);
    EXPECT_EQ(Drawn("320,10"), (Lines{"320,10 default |c0F8Intersection: 4.142,5.000,3.107"}));
}

TEST_F(OverlayTest, RayFollowsTheMirrorSwitch) {
    Start(PlateScene(), "/mx");
    Click(1, 480, 120); // unmirrored, the right half of the picture is -x
    EXPECT_EQ(Drawn("320,10"), (Lines{"320,10 default |c0F8Intersection: -4.142,5.000,3.107"}));
}

TEST_F(OverlayTest, LeftClickPicksTheNearestVertexCloserThanTenPixels) {
    Start(PlateScene());
    View().vertexSelection = 0;
    // Vertex 2 (0, 5, 0) lands on (320, 240): 10 pixels away is not close enough, 9 is.
    Click(0, 330, 240);
    EXPECT_EQ(View().vertexSelection, 0);
    EXPECT_EQ(loop->words.click.button, -1);
    Click(0, 329, 240);
    EXPECT_EQ(View().vertexSelection, 2);
    // Vertices 0 and 1 (x = -0.2 and 0.2, z = -2) land 7.7 pixels either side of x = 320, at
    // y = 317.3: a click between them keeps the lower number.
    Click(0, 320, 317);
    EXPECT_EQ(View().vertexSelection, 0);
    View().vertexSelection = 2;
    Click(0, 327, 317);
    EXPECT_EQ(View().vertexSelection, 1);
    // A left button that never came with a click is dropped.
    loop->words.click = MouseClick{0, 320, 317, 0};
    View().vertexSelection = 2;
    Step();
    EXPECT_EQ(View().vertexSelection, 2);
    EXPECT_EQ(loop->words.click.button, -1);
}

TEST_F(OverlayTest, LeftClickPicksAHelperWhileHelpersAreShown) {
    Start(PlateScene());
    Click(0, 100, 400); // helpers not shown: the click is left for a later use
    EXPECT_EQ(View().helperSelection, -2);
    EXPECT_EQ(loop->words.click.button, 0);
    StepWith(DIK_H); // all helpers shown; the waiting click is near neither of them
    ASSERT_EQ(View().helperSelection, -1);
    EXPECT_EQ(loop->words.click.button, -1);
    // HelperB (1, 5, 3) lands on (358.6, 124.1).
    Click(0, 358, 124);
    EXPECT_EQ(View().helperSelection, 1);
    EXPECT_EQ(loop->scene.viewOptions.selectedHelper, 1);
    Step();
    EXPECT_EQ(Drawn("1,112"), (Lines{"1,112 Helper:1/2 HelperB"}));
    EXPECT_EQ(Drawn("490,10 "), (Lines{"490,10 |c0F8Helper world TM"}));
    EXPECT_EQ(Drawn("490,34"), (Lines{"490,34 1.000 5.000 3.000"}));
    EXPECT_EQ(Drawn("490,44"), (Lines{"490,44 |c0F8Helper local TM"}));
    // A click far from both helpers keeps the selection.
    Click(0, 100, 400);
    EXPECT_EQ(View().helperSelection, 1);
}

TEST_F(OverlayTest, SelectedLightNamesItself) {
    Start(PlateScene());
    StepWith(DIK_L); // all lights
    StepWith(DIK_L); // light 0 of the two default lights
    EXPECT_EQ(Drawn("1,124"), (Lines{Format("1,124 Light:0/2 %s", loop->scene.GetLightAt(0)->name.Text())}));
}

// ---- the viewer's own wiring -----------------------------------------------------------------------

TEST_F(OverlayTest, InstalledOverlayDrawsThroughTheGraphicsObjectsTextQueue) {
    InspectionOverlay installed;
    InstallInspectionOverlay(services, installed);
    Start(PlateScene());
    // The credit is the last text of the frame: the text queue still holds it.
    const DXC_PrintfContainer& text = *gfx->GetPrintfContainer();
    ASSERT_EQ(text.GetLineCount(), 1);
    const DXC_PrintfContainer::Run& run = text.GetRun(text.GetLine(0).firstRun);
    EXPECT_EQ(std::string(text.RunText(run), static_cast<size_t>(run.textLength)),
              "ViewKZV for Linux  0.0 fps");
    EXPECT_EQ(gfx->GetFont()->sizeFactor, 1.0f);
    EXPECT_TRUE(drawn.empty()); // the test's own canvas was not used
}

TEST(OverlayCredit, CodedTextComesBackByLoweringEveryByte) {
    EXPECT_EQ(DecodeCredit("Wjfx!&/2g"), "View %.1f");
    EXPECT_EQ(DecodeCredit(""), "");
}
