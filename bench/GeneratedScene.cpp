#include "GeneratedScene.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bench {
namespace {

void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& out, const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out.append(line, static_cast<std::size_t>(std::min<int>(n, int(sizeof line) - 1)));
}

} // namespace

// A wavy grid: smoothing group 1 everywhere and 2 on a band (hard edges at its borders), three
// sub-materials in stripes, a texture vertex per vertex, and position, rotation and scale keys.
std::string GenerateScene() {
    std::string s;
    s.reserve(48u << 20);
    s += "*3DSMAX_KZVEXPORT 211\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n"
         "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n}\n"
         "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"Multi\"\n"
         "\t\t*NUMSUBMTLS 3\n";
    for (int m = 0; m < 3; ++m)
        Append(s, "\t\t*SUBMATERIAL %d {\n\t\t\t*MATERIAL_DIFFUSE %.4f 0.5000 0.2500\n\t\t}\n", m, 0.25 * m);
    s += "\t}\n}\n";
    const int side = kGrid + 1;
    for (int m = 0; m < kMeshes; ++m) {
        Append(s, "*GEOMOBJECT {\n\t*NODE_NAME \"Grid%02d\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Grid%02d\"\n", m,
               m);
        Append(s,
               "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
               "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 %.4f\t0.0000\t0.0000\n"
               "\t\t*TM_POS %.4f\t0.0000\t0.0000\n\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n"
               "\t\t*TM_ROTANGLE 0.0000\n\t\t*TM_SCALE 1.0000\t1.0000\t1.0000\n\t}\n",
               m * 150.0, m * 150.0);
        Append(s,
               "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %d\n\t\t*MESH_NUMFACES %d\n"
               "\t\t*MESH_VERTEX_LIST {\n",
               side * side, kFacesPerMesh);
        for (int y = 0, i = 0; y < side; ++y)
            for (int x = 0; x < side; ++x, ++i)
                Append(s, "\t\t\t*MESH_VERTEX %5d\t%.4f\t%.4f\t%.4f\n", i, x * 1.0, y * 1.0,
                       0.5 * ((x * 7 + y * 3) % 5));
        s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
        for (int y = 0, f = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
                const int group = (y >= 40 && y < 60) ? 2 : 1;
                const int material = x / 38;
                Append(s,
                       "\t\t\t*MESH_FACE %5d:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                       "*MESH_SMOOTHING %d \t*MESH_MTLID %d\n",
                       f++, a, b, d, group, material);
                Append(s,
                       "\t\t\t*MESH_FACE %5d:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                       "*MESH_SMOOTHING %d \t*MESH_MTLID %d\n",
                       f++, a, d, c, group, material);
            }
        Append(s, "\t\t}\n\t\t*MESH_NUMTVERTEX %d\n\t\t*MESH_TVERTLIST {\n", side * side);
        for (int y = 0, i = 0; y < side; ++y)
            for (int x = 0; x < side; ++x, ++i)
                Append(s, "\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000\n", i, x / double(kGrid),
                       y / double(kGrid));
        Append(s, "\t\t}\n\t\t*MESH_NUMTVFACES %d\n\t\t*MESH_TFACELIST {\n", kFacesPerMesh);
        for (int y = 0, f = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
                Append(s, "\t\t\t*MESH_TFACE %d\t%d\t%d\t%d\n", f++, a, b, d);
                Append(s, "\t\t\t*MESH_TFACE %d\t%d\t%d\t%d\n", f++, a, d, c);
            }
        s += "\t\t}\n\t}\n\t*TM_ANIMATION {\n\t\t*CONTROL_POS_TRACK {\n";
        for (int k = 0; k < kKeys; ++k)
            Append(s, "\t\t\t*CONTROL_POS_SAMPLE %d\t%.4f\t%.4f\t0.0000\n", k * 160, m * 150.0, k * 0.5);
        s += "\t\t}\n\t\t*CONTROL_ROT_TRACK {\n";
        for (int k = 0; k < kKeys; ++k)
            Append(s, "\t\t\t*CONTROL_ROT_SAMPLE %d\t0.0000\t0.0000\t1.0000\t%.4f\n", k * 160,
                   k ? 0.05 : 0.0);
        s += "\t\t}\n\t\t*CONTROL_SCALE_TRACK {\n";
        for (int k = 0; k < kKeys; ++k)
            Append(s, "\t\t\t*CONTROL_SCALE_SAMPLE %d\t1.0000\t1.0000\t%.4f\n", k * 160, 1.0 + k * 0.01);
        s += "\t\t}\n\t}\n\t*MATERIAL_REF 0\n}\n";
    }
    return s;
}

const TemporaryFolder& RunFolder() {
    static const TemporaryFolder folder("kzvbench");
    return folder;
}

// The scene file, written once per run.
const std::string& ScenePath() {
    static const std::string path = [] {
        const std::string text = GenerateScene();
        const std::string file = RunFolder().Path() + "/scene.kzv";
        std::FILE* out = std::fopen(file.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
        return file;
    }();
    return path;
}

} // namespace bench
