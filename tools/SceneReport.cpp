#include "SceneReport.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "TextEncoding.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "scene/Scene3d.h"

namespace {

// A float as the shortest decimal that reads back as the same float, so that 0.8f prints as
// 0.8 and not as the double 0.800000011920929. Not finite: null.
ReportJson Number(float value) {
    if (!std::isfinite(value)) return nullptr;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text - 1, value);
    *result.ptr = 0;
    return std::strtod(text, nullptr);
}

ReportJson Text(const char* text) {
    return ToUtf8(text ? text : "");
}

ReportJson Text(const String& text) {
    return Text(text.Text());
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

ReportJson Vector(const D3DXVECTOR3& v) {
    return ReportJson::array({Number(v.x), Number(v.y), Number(v.z)});
}

ReportJson Colour(const D3DCOLORVALUE& c) {
    return ReportJson::array({Number(c.r), Number(c.g), Number(c.b), Number(c.a)});
}

// Row by row.
ReportJson Matrix(const D3DXMATRIX& m) {
    ReportJson out = ReportJson::array();
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) out.push_back(Number(m.m[row][column]));
    return out;
}

ReportJson Bounds(const BoundsRecord& b) {
    ReportJson out;
    out["mode"] = b.mode;
    out["radius"] = Number(b.radius);
    out["centre"] = Vector(b.centre);
    out["min"] = Vector(b.minimum);
    out["max"] = Vector(b.maximum);
    return out;
}

ReportJson Keys(const DXC_3dObject& object) {
    ReportJson out;
    out["pos"] = object.posKeys.Count();
    out["rot"] = object.rotKeys.Count();
    out["scale"] = object.scaleKeys.Count();
    return out;
}

// Words 10 (the fog colour) unsigned, 13 to 15 (fog start, end and density) floats.
ReportJson ViewOptions(const SceneViewOptions& v) {
    return ReportJson::array({v.clear, v.mirror, v.unused, v.selectedHelper, v.selectedLight, v.ambient,
                              v.lights, v.fog, v.sort, v.showLinks, v.fogColour, v.fogMode, v.vertexFog,
                              Number(v.fogStart), Number(v.fogEnd), Number(v.fogDensity)});
}

// A sequence slot counts as loaded when every frame holds an image.
bool SlotLoaded(const DXC_Texture& texture, int32_t slot) {
    if (slot == 0 && texture.GetSequenceCount() > 0) {
        for (int32_t i = 0; i < texture.GetSequenceCount(); ++i) {
            const DXC_Texture::Frame* frame = texture.GetFrame(i);
            if (!frame || !frame->texture) return false;
        }
        return true;
    }
    return texture.GetSlotTexture(slot) != nullptr;
}

ReportJson Sequence(const DXC_Texture& texture) {
    const TextureSequenceTiming& timing = texture.GetSequenceTiming();
    ReportJson out;
    out["frames"] = texture.GetSequenceCount();
    out["frame"] = texture.GetCurrentFrame();
    out["startTime"] = Number(timing.startTime);
    out["frameDuration"] = Number(timing.frameDuration);
    out["endCondition"] = timing.endCondition;
    return out;
}

// One entry per slot that names a file or has an operation.
ReportJson Maps(const DXC_Texture* texture) {
    ReportJson out = ReportJson::array();
    if (!texture) return out;
    for (int32_t slot = 0; slot < DXC_AnimatedTexture::SlotCount; ++slot) {
        const DXC_Texture::Slot& s = texture->GetSlot(slot);
        if (s.fileName.IsEmpty() && s.mapType == 0) continue;
        ReportJson map;
        map["slot"] = slot;
        map["file"] = Text(s.fileName);
        map["op"] = s.mapType;
        map["loaded"] = SlotLoaded(*texture, slot);
        ReportJson uv = ReportJson::array();
        for (float value : s.uvAnimation.baseValues) uv.push_back(Number(value));
        map["uv"] = uv;
        if (slot == 0 && texture->GetSequenceCount() > 0) map["sequence"] = Sequence(*texture);
        out.push_back(map);
    }
    return out;
}

ReportJson Material(const MeshMaterial& m, const DXC_Texture* texture) {
    ReportJson out;
    out["diffuse"] = Colour(m.material.Diffuse);
    out["ambient"] = Colour(m.material.Ambient);
    out["specular"] = Colour(m.material.Specular);
    out["emissive"] = Colour(m.material.Emissive);
    out["power"] = Number(m.material.Power);
    out["twoSided"] = m.twoSided != 0;
    out["transparent"] = m.transparent != 0;
    out["transparency"] = Number(m.transparency);
    out["transparencyType"] = m.transparencyType;
    out["mirrorU"] = m.mirrorU != 0;
    out["mirrorV"] = m.mirrorV != 0;
    out["tileU"] = m.tileU != 0;
    out["tileV"] = m.tileV != 0;
    out["maps"] = Maps(texture);
    return out;
}

// Blend matrices per vertex: the stored weights and the implied last one.
int32_t WeightsPerVertex(const VertexFormat& format) {
    return format.blendValues > 0 ? format.blendWeights + 1 : 0;
}

ReportJson Mesh(DXC_Mesh& mesh) {
    ReportJson out;
    out["name"] = Text(mesh.name);
    out["parent"] = Text(mesh.parentName);
    out["clone"] = Text(mesh.cloneName);
    out["visible"] = mesh.visible != 0;
    // A clone shares its source's geometry, so it reports the source's counts.
    const DXC_MeshData* data = GetMeshData(&mesh);
    out["vertices"] = data ? data->vertexCount : 0;
    out["faces"] = data ? data->faceCount : 0;
    out["fvf"] = Hex(data ? data->vertexFormat.fvf : 0, 1);
    out["weightsPerVertex"] = data ? WeightsPerVertex(data->vertexFormat) : 0;
    ReportJson bones = ReportJson::array();
    DynaMem<BoneRecord>& list = mesh.GetBones();
    for (int32_t i = 0; i < list.GetCount(); ++i) {
        const BoneRecord* bone = list.GetAt(i);
        if (bone) bones.push_back(Text(bone->name));
    }
    out["bones"] = bones;
    out["keys"] = Keys(mesh);
    out["loop"] = mesh.GetLoop() != 0;
    out["loopLength"] = Number(mesh.GetLoopLength());
    out["bounds"] = Bounds(mesh.bounds);
    out["world"] = Matrix(mesh.worldTM);
    ReportJson materials = ReportJson::array();
    for (int32_t i = 0; i < mesh.GetMaterialCount(); ++i)
        materials.push_back(Material(*mesh.GetMaterial(i), GetMeshTexture(&mesh, i)));
    out["materials"] = materials;
    return out;
}

ReportJson Camera(const DXC_Camera& camera) {
    ReportJson out;
    out["name"] = Text(camera.name);
    out["parent"] = Text(camera.parentName);
    out["target"] = Text(camera.targetName);
    out["fov"] = Number(camera.fov);
    out["keys"] = Keys(camera);
    out["world"] = Matrix(camera.worldTM);
    out["position"] = Vector(camera.position);
    out["direction"] = Vector(camera.direction);
    out["up"] = Vector(camera.up);
    return out;
}

ReportJson Helper(const DXC_3dObject& helper) {
    ReportJson out;
    out["name"] = Text(helper.name);
    out["type"] = helper.objectType;
    out["parent"] = Text(helper.parentName);
    out["keys"] = Keys(helper);
    out["world"] = Matrix(helper.worldTM);
    return out;
}

ReportJson Light(const DXC_Light& light) {
    ReportJson out;
    out["name"] = Text(light.name);
    out["type"] = static_cast<int32_t>(light.light.Type);
    out["unset"] = light.unset != 0;
    out["enabled"] = light.enabled != 0;
    out["diffuse"] = Colour(light.light.Diffuse);
    out["specular"] = Colour(light.light.Specular);
    out["ambient"] = Colour(light.light.Ambient);
    out["range"] = Number(light.light.Range);
    out["falloff"] = Number(light.light.Falloff);
    out["theta"] = Number(light.light.Theta);
    out["phi"] = Number(light.light.Phi);
    // The object's own position and direction from its evaluation, not the light record's.
    out["position"] = Vector(light.position);
    out["direction"] = Vector(light.direction);
    out["parent"] = Text(light.parentName);
    out["target"] = Text(light.targetName);
    out["world"] = Matrix(light.worldTM);
    return out;
}

template <class T, class F> ReportJson List(DynaMem<T>& list, F describe) {
    ReportJson out = ReportJson::array();
    for (int32_t i = 0; i < list.GetCount(); ++i) {
        T* object = list.GetAt(i);
        if (object) out.push_back(describe(*object));
    }
    return out;
}

} // namespace

ReportJson ReportScene(DXC_3dScene& scene, const SceneFileFacts& facts, float time) {
    ReportJson out;
    out["file"] = ToUtf8(facts.file);
    out["format"] = facts.format;
    out["version"] = facts.version;
    out["frameSpeed"] = Number(facts.frameSpeed);
    out["firstFrame"] = Number(facts.firstFrame);
    out["lastFrame"] = Number(facts.lastFrame);
    out["length"] = Number((facts.lastFrame - facts.firstFrame) / facts.frameSpeed);
    out["soundFile"] = ToUtf8(facts.soundFile);
    out["scriptFile"] = ToUtf8(facts.scriptFile);
    out["ambient"] = Hex(scene.ambientColour, 8);
    out["background"] = Hex(scene.backgroundColour, 8);
    out["viewOptions"] = ViewOptions(scene.viewOptions);
    out["currentCamera"] = scene.GetCurrentCamera();
    out["bounds"] = Bounds(scene.bounds);
    out["time"] = Number(time);
    out["meshes"] = List(scene.Meshes(), [](DXC_Mesh& m) { return Mesh(m); });
    out["cameras"] = List(scene.Cameras(), [](DXC_Camera& c) { return Camera(c); });
    out["helpers"] = List(scene.Helpers(), [](DXC_3dObject& h) { return Helper(h); });
    out["lights"] = List(scene.Lights(), [](DXC_Light& l) { return Light(l); });
    return out;
}

ReportJson ReportFailure(const std::string& file, const std::string& error,
                         const std::vector<std::string>& log) {
    ReportJson out;
    out["file"] = ToUtf8(file);
    out["error"] = ToUtf8(error);
    out["log"] = log;
    return out;
}

namespace {

// A JSON number or null as text for the summary.
std::string Show(const ReportJson& value) {
    return value.is_null() ? "?" : value.dump();
}

std::string Plural(size_t n, const char* word, const char* plural = nullptr) {
    return std::to_string(n) + " " + (n == 1 ? std::string(word) : plural ? plural : std::string(word) + "s");
}

std::string Dump(const ReportJson& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Arrays and objects of plain values go on one line.
bool IsFlat(const ReportJson& value) {
    if (!value.is_structured() || value.empty()) return false;
    for (const auto& element : value)
        if (element.is_structured()) return false;
    return true;
}

void Format(const ReportJson& value, int depth, std::string& out) {
    if (IsFlat(value)) {
        out += value.is_object() ? '{' : '[';
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first) out += ", ";
            first = false;
            if (value.is_object()) out += Dump(it.key()) + ": ";
            out += Dump(*it);
        }
        out += value.is_object() ? '}' : ']';
        return;
    }
    if (!value.is_structured() || value.empty()) {
        out += Dump(value);
        return;
    }
    const std::string inner(2 * (depth + 1), ' ');
    out += value.is_object() ? "{\n" : "[\n";
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (!first) out += ",\n";
        first = false;
        out += inner;
        if (value.is_object()) out += Dump(it.key()) + ": ";
        Format(*it, depth + 1, out);
    }
    out += "\n" + std::string(2 * depth, ' ') + (value.is_object() ? '}' : ']');
}

const char* LightKind(int32_t type) {
    switch (type) {
    case 1:
        return "point";
    case 2:
        return "spot";
    case 3:
        return "directional";
    default:
        return "no type";
    }
}

} // namespace

std::string FormatReport(const ReportJson& value) {
    std::string out;
    Format(value, 0, out);
    return out;
}

std::string SummariseReport(const ReportJson& entry) {
    const std::string file = entry.value("file", std::string());
    std::string out;
    if (entry.contains("error")) {
        out = file + ": failed: " + entry["error"].get<std::string>() + "\n";
        out += "  " + Plural(entry["log"].size(), "log line") + "\n";
        return out;
    }
    const int32_t version = entry["version"].get<int32_t>();
    out = file + ": " + entry["format"].get<std::string>() + " version " + std::to_string(version) + ", " +
          Show(entry["frameSpeed"]) + " frames/s, frames " + Show(entry["firstFrame"]) + " to " +
          Show(entry["lastFrame"]) + " (" + Show(entry["length"]) + " s), shown at " + Show(entry["time"]) +
          " s\n";
    const std::string sound = entry["soundFile"].get<std::string>();
    if (!sound.empty()) out += "  sound \"" + sound + "\"\n";
    out += "  " + Plural(entry["meshes"].size(), "mesh", "meshes") + ", " +
           Plural(entry["cameras"].size(), "camera") + ", " + Plural(entry["helpers"].size(), "helper") +
           ", " + Plural(entry["lights"].size(), "light") + ", scene radius " +
           Show(entry["bounds"]["radius"]) + "\n";
    for (const auto& m : entry["meshes"]) {
        out += "  mesh " + m["name"].get<std::string>() + ": " + Show(m["vertices"]) + " vertices, " +
               Show(m["faces"]) + " faces, " + Plural(m["materials"].size(), "material");
        if (!m["clone"].get<std::string>().empty()) out += ", clone of " + m["clone"].get<std::string>();
        if (!m["bones"].empty()) out += ", " + Plural(m["bones"].size(), "bone");
        out += "\n";
    }
    for (const auto& c : entry["cameras"]) {
        out += "  camera " + c["name"].get<std::string>();
        if (!c["target"].get<std::string>().empty()) out += " looking at " + c["target"].get<std::string>();
        out += "\n";
    }
    for (const auto& l : entry["lights"])
        out += "  light " + l["name"].get<std::string>() + " (" + LightKind(l["type"].get<int32_t>()) + ")\n";
    out += "  " + Plural(entry["log"].size(), "log line") + "\n";
    return out;
}
