#include "textscene/KeywordTable.h"

#include <array>
#include <bit>
#include <cstring>
#include <type_traits>

namespace {

struct KeywordEntry {
    const char* text;
    int32_t id;
};

constexpr KeywordEntry Keywords[KeywordCount] = {
    {"3DSMAX_KZVEXPORT", KW_3DSMAX_KZVEXPORT},
    {"SCENE", KW_SCENE},
    {"MATERIAL_LIST", KW_MATERIAL_LIST},
    {"GEOMOBJECT", KW_GEOMOBJECT},
    {"GROUP", KW_GROUP},
    {"CAMERAOBJECT", KW_CAMERAOBJECT},
    {"BONEOBJECT", KW_BONEOBJECT},
    {"HELPEROBJECT", KW_HELPEROBJECT},
    {"TARGETOBJECT", KW_TARGETOBJECT},
    {"LIGHTOBJECT", KW_LIGHTOBJECT},
    {"ATMOSPHERIC", KW_ATMOSPHERIC},
    {"SCENE_BACKGROUND_STATIC", KW_SCENE_BACKGROUND_STATIC},
    {"SCENE_AMBIENT_STATIC", KW_SCENE_AMBIENT_STATIC},
    {"SCENE_FIRSTFRAME", KW_SCENE_FIRSTFRAME},
    {"SCENE_LASTFRAME", KW_SCENE_LASTFRAME},
    {"SCENE_FRAMESPEED", KW_SCENE_FRAMESPEED},
    {"SCENE_TICKSPERFRAME", KW_SCENE_TICKSPERFRAME},
    {"SCENE_ENVMAP", KW_SCENE_ENVMAP},
    {"SCENE_SOUNDFILE", KW_SCENE_SOUNDFILE},
    {"SCENE_SCRIPTFILE", KW_SCENE_SCRIPTFILE},
    {"MATERIAL_COUNT", KW_MATERIAL_COUNT},
    {"MATERIAL", KW_MATERIAL},
    {"MATERIAL_NAME", KW_MATERIAL_NAME},
    {"MAP_DIFFUSE", KW_MAP_DIFFUSE},
    {"MATERIAL_DIFFUSE", KW_MATERIAL_DIFFUSE},
    {"MATERIAL_AMBIENT", KW_MATERIAL_AMBIENT},
    {"MATERIAL_SPECULAR", KW_MATERIAL_SPECULAR},
    {"MATERIAL_SHINESTRENGTH", KW_MATERIAL_SHINESTRENGTH},
    {"MATERIAL_SHINE", KW_MATERIAL_SHINE},
    {"NUMSUBMTLS", KW_NUMSUBMTLS},
    {"SUBMATERIAL", KW_SUBMATERIAL},
    {"MATERIAL_TRANSPARENCY", KW_MATERIAL_TRANSPARENCY},
    {"MATERIAL_TWOSIDED", KW_MATERIAL_TWOSIDED},
    {"MAP_REFLECT", KW_MAP_REFLECT},
    {"MAP_BUMP", KW_MAP_BUMP},
    {"MATERIAL_SELFILLUM_COLOR", KW_MATERIAL_SELFILLUM_COLOR},
    {"MATERIAL_ANIMATION", KW_MATERIAL_ANIMATION},
    {"MATERIAL_TRANSPARENCY_TYPE", KW_MATERIAL_TRANSPARENCY_TYPE},
    {"MATERIAL_ATTRIBUTE", KW_MATERIAL_ATTRIBUTE},
    {"BITMAP", KW_BITMAP},
    {"UVW_U_OFFSET", KW_UVW_U_OFFSET},
    {"UVW_V_OFFSET", KW_UVW_V_OFFSET},
    {"UVW_U_TILING", KW_UVW_U_TILING},
    {"UVW_V_TILING", KW_UVW_V_TILING},
    {"UVW_U_ANGLE", KW_UVW_U_ANGLE},
    {"UVW_V_ANGLE", KW_UVW_V_ANGLE},
    {"UVW_W_ANGLE", KW_UVW_W_ANGLE},
    {"MAP_AMOUNT", KW_MAP_AMOUNT},
    {"MAP_ANIMATION", KW_MAP_ANIMATION},
    {"MAP_ATTRIBUTE", KW_MAP_ATTRIBUTE},
    {"TIME_STARTFRAME", KW_TIME_STARTFRAME},
    {"TIME_PLAYBACKRATE", KW_TIME_PLAYBACKRATE},
    {"TIME_ENDCONDITION", KW_TIME_ENDCONDITION},
    {"UVW_TILE_U", KW_UVW_TILE_U},
    {"UVW_TILE_V", KW_UVW_TILE_V},
    {"NODE_NAME", KW_NODE_NAME},
    {"NODE_PARENT", KW_NODE_PARENT},
    {"NODE_VISIBLE", KW_NODE_VISIBLE},
    {"NODE_TM", KW_NODE_TM},
    {"PIVOT_TM", KW_PIVOT_TM},
    {"TM_ROW0", KW_TM_ROW0},
    {"TM_ROW1", KW_TM_ROW1},
    {"TM_ROW2", KW_TM_ROW2},
    {"TM_ROW3", KW_TM_ROW3},
    {"TM_POS", KW_TM_POS},
    {"TM_ROTAXIS", KW_TM_ROTAXIS},
    {"TM_ROTANGLE", KW_TM_ROTANGLE},
    {"TM_SCALE", KW_TM_SCALE},
    {"MATERIAL_REF", KW_MATERIAL_REF},
    {"WIREFRAME_COLOR", KW_WIREFRAME_COLOR},
    {"MESH", KW_MESH},
    {"CLONE", KW_CLONE},
    {"MESH_NUMVERTEX", KW_MESH_NUMVERTEX},
    {"MESH_NUMFACES", KW_MESH_NUMFACES},
    {"MESH_VERTEX_LIST", KW_MESH_VERTEX_LIST},
    {"MESH_FACE_LIST", KW_MESH_FACE_LIST},
    {"MESH_NUMTVERTEX", KW_MESH_NUMTVERTEX},
    {"MESH_TVERTLIST", KW_MESH_TVERTLIST},
    {"MESH_NUMTVFACES", KW_MESH_NUMTVFACES},
    {"MESH_TFACELIST", KW_MESH_TFACELIST},
    {"MESH_WEIGHTS", KW_MESH_WEIGHTS},
    {"BOUNDINGBOX_MIN", KW_BOUNDINGBOX_MIN},
    {"BOUNDINGBOX_MAX", KW_BOUNDINGBOX_MAX},
    {"MESH_VERTEX", KW_MESH_VERTEX},
    {"MESH_FACE", KW_MESH_FACE},
    {"MESH_TVERT", KW_MESH_TVERT},
    {"MESH_TFACE", KW_MESH_TFACE},
    {"MESH_SMOOTHING", KW_MESH_SMOOTHING},
    {"MESH_MTLID", KW_MESH_MTLID},
    {"MESH_INIT_TM", KW_MESH_INIT_TM},
    {"BONE_WEIGHT", KW_BONE_WEIGHT},
    {"BONE_NAME", KW_BONE_NAME},
    {"BONE_INIT_TM", KW_BONE_INIT_TM},
    {"INDEX_WEIGHT", KW_INDEX_WEIGHT},
    {"TM_ANIMATION", KW_TM_ANIMATION},
    {"CONTROL_POS_BEZIER", KW_CONTROL_POS_BEZIER},
    {"CONTROL_POS_TRACK", KW_CONTROL_POS_TRACK},
    {"CONTROL_BEZIER_POS_KEY", KW_CONTROL_BEZIER_POS_KEY},
    {"CONTROL_POS_SAMPLE", KW_CONTROL_POS_SAMPLE},
    {"CONTROL_ROT_TCB", KW_CONTROL_ROT_TCB},
    {"CONTROL_ROT_TRACK", KW_CONTROL_ROT_TRACK},
    {"CONTROL_TCB_ROT_KEY", KW_CONTROL_TCB_ROT_KEY},
    {"CONTROL_ROT_SAMPLE", KW_CONTROL_ROT_SAMPLE},
    {"CONTROL_SCALE_BEZIER", KW_CONTROL_SCALE_BEZIER},
    {"CONTROL_SCALE_TRACK", KW_CONTROL_SCALE_TRACK},
    {"CONTROL_BEZIER_SCALE_KEY", KW_CONTROL_BEZIER_SCALE_KEY},
    {"CONTROL_SCALE_SAMPLE", KW_CONTROL_SCALE_SAMPLE},
    {"CONTROL_COLOR_BEZIER", KW_CONTROL_COLOR_BEZIER},
    {"CONTROL_COLOR_LINEAR", KW_CONTROL_COLOR_LINEAR},
    {"CONTROL_BEZIER_POINT3_KEY", KW_CONTROL_BEZIER_POINT3_KEY},
    {"CONTROL_POINT3_KEY", KW_CONTROL_POINT3_KEY},
    {"CONTROL_FLOAT_BEZIER", KW_CONTROL_FLOAT_BEZIER},
    {"CONTROL_FLOAT_LINEAR", KW_CONTROL_FLOAT_LINEAR},
    {"CONTROL_BEZIER_FLOAT_KEY", KW_CONTROL_BEZIER_FLOAT_KEY},
    {"CONTROL_FLOAT_KEY", KW_CONTROL_FLOAT_KEY},
    {"CAMERA_SETTINGS", KW_CAMERA_SETTINGS},
    {"CAMERA_FOV", KW_CAMERA_FOV},
    {"TARGET_NODE", KW_TARGET_NODE},
    {"LIGHT_SETTINGS", KW_LIGHT_SETTINGS},
    {"LIGHT_COLOR", KW_LIGHT_COLOR},
    {"LIGHT_INTENS", KW_LIGHT_INTENS},
    {"LIGHT_ASPECT", KW_LIGHT_ASPECT},
    {"LIGHT_HOTSPOT", KW_LIGHT_HOTSPOT},
    {"LIGHT_FALLOFF", KW_LIGHT_FALLOFF},
    {"LIGHT_TDIST", KW_LIGHT_TDIST},
    {"LIGHT_USELIGHT", KW_LIGHT_USELIGHT},
    {"LIGHT_TYPE", KW_LIGHT_TYPE},
    {"STDFOG", KW_STDFOG},
    {"FOG_COLOR", KW_FOG_COLOR},
    {"FOG_NEAR", KW_FOG_NEAR},
    {"FOG_FAR", KW_FOG_FAR},
    {"FOG_DENSITY", KW_FOG_DENSITY},
};

constexpr char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Eight bytes of text from i on (little-endian, zero past n), with the case bit of every byte
// cleared: a keyword and any spelling of it in other letter case give the same value. The
// table is built at compile time by the same function, so the byte order only has to agree
// with itself.
constexpr uint64_t FoldedBytes(const char* text, int32_t i, int32_t n) {
    uint64_t value = 0;
    if (!std::is_constant_evaluated() && std::endian::native == std::endian::little && n - i >= 8) {
        std::memcpy(&value, text + i, 8);
    } else {
        for (int32_t k = 0; k < 8 && i + k < n; ++k)
            value |= static_cast<uint64_t>(static_cast<unsigned char>(text[i + k])) << (8 * k);
    }
    return value & 0xDFDFDFDFDFDFDFDFull;
}

// A hash of the length and the (case-folded) first and last eight bytes: two loads instead
// of a pass over every byte. Keywords that share both ends only meet in a probe chain.
constexpr uint32_t HashFolded(const char* text, int32_t length) {
    const uint64_t head = FoldedBytes(text, 0, length);
    const uint64_t tail = length > 8 ? FoldedBytes(text, length - 8, length) : 0;
    uint64_t h =
        (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ static_cast<uint64_t>(length);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<uint32_t>(h >> 32);
}

constexpr int32_t Length(const char* text) {
    int32_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Open addressing with linear probing; 512 slots keep the 132 keywords sparse.
constexpr int32_t TableSize = 512;
using SlotTable = std::array<int16_t, TableSize>;

constexpr SlotTable BuildTable() {
    SlotTable table{};
    for (auto& slot : table) slot = -1;
    for (int32_t i = 0; i < KeywordCount; ++i) {
        uint32_t slot = HashFolded(Keywords[i].text, Length(Keywords[i].text)) & (TableSize - 1);
        while (table[slot] >= 0) slot = (slot + 1) & (TableSize - 1);
        table[slot] = static_cast<int16_t>(i);
    }
    return table;
}

constexpr SlotTable Slots = BuildTable();

constexpr std::array<int32_t, KeywordCount> BuildLengths() {
    std::array<int32_t, KeywordCount> lengths{};
    for (int32_t i = 0; i < KeywordCount; ++i) lengths[i] = Length(Keywords[i].text);
    return lengths;
}

constexpr std::array<int32_t, KeywordCount> Lengths = BuildLengths();

// Exact comparison; fixed eight-byte steps (the last overlapping) compile to plain loads.
bool SameBytes(const char* a, const char* b, int32_t length) {
    if (length < 8) return std::memcmp(a, b, static_cast<std::size_t>(length)) == 0;
    for (int32_t i = 0; i < length - 8; i += 8)
        if (std::memcmp(a + i, b + i, 8) != 0) return false;
    return std::memcmp(a + length - 8, b + length - 8, 8) == 0;
}

// Case-insensitive comparison of a word with an upper-case keyword of the same length; files
// write keywords in upper case, so the exact comparison nearly always decides.
bool EqualsUpper(const char* word, const char* keyword, int32_t length) {
    if (SameBytes(word, keyword, length)) return true;
    for (int32_t i = 0; i < length; ++i)
        if (Upper(word[i]) != keyword[i]) return false;
    return true;
}

} // namespace

int32_t LookupKeyword(const char* word) {
    return LookupKeyword(word, static_cast<int32_t>(strnlen(word, 128)));
}

int32_t LookupKeyword(const char* word, int32_t length) {
    if (length <= 0 || length > 127) return 0;
    uint32_t slot = HashFolded(word, length) & (TableSize - 1);
    for (;;) {
        const int32_t index = Slots[slot];
        if (index < 0) return 0;
        const char* text = Keywords[index].text;
        if (Lengths[index] == length && EqualsUpper(word, text, length)) return Keywords[index].id;
        slot = (slot + 1) & (TableSize - 1);
    }
}

const char* KeywordTextAt(int32_t i) {
    return i >= 0 && i < KeywordCount ? Keywords[i].text : "";
}
int32_t KeywordIdAt(int32_t i) {
    return i >= 0 && i < KeywordCount ? Keywords[i].id : 0;
}
