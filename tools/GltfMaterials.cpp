#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "GltfExport.h"
#include "TextEncoding.h"
#include "platform/FileSystem.h"
#include "platform/TemporaryFolder.h"
#include "platform/d3dx/D3DXSurface.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "scene/Scene3d.h"

namespace {

float Unit(float value) {
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The image types glTF readers must take.
const char* MimeType(const std::string& path) {
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    if (extension == ".png") return "image/png";
    if (extension == ".jpg" || extension == ".jpeg") return "image/jpeg";
    return nullptr;
}

// A relative path as a URI: everything but unreserved characters and '/' percent-encoded.
std::string UriOf(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/')
            out += static_cast<char>(c);
        else
            out += '%', out += hex[c >> 4], out += hex[c & 15];
    }
    return out;
}

// The file a map name stands for, found as the loader finds it: relative to the scene's
// folder, else the file-name part in the scene's folder. Empty when there is none.
std::string FindMapFile(const std::string& sceneFile, const std::string& name) {
    const std::string folder(DirectoryPart(sceneFile));
    const bool absolute =
        !name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'));
    for (const std::string& candidate :
         {absolute ? name : JoinPath(folder, name), JoinPath(folder, FileNamePart(name))}) {
        const std::string resolved = ResolvePath(candidate);
        if (FileExists(resolved.c_str()) && !IsDirectory(resolved.c_str())) return resolved;
    }
    return {};
}

// The image of a loaded map: the file itself when it is PNG or JPEG, else the loaded pixels
// saved as PNG (beside the asset, or inside it with --binary). -1 when there is nothing.
int ExportImage(GltfExport& out, const std::string& mapName, IDirect3DTexture8* texture) {
    std::map<std::string, int>& cache = out.imageOf;
    const std::string source = FindMapFile(out.options.sceneFile, mapName);
    const std::string key = source.empty() ? mapName : source;
    if (const auto found = cache.find(key); found != cache.end()) return found->second;

    std::string file = source;
    const char* mime = source.empty() ? nullptr : MimeType(source);
    std::optional<TemporaryFolder> temporary; // the converted image of a .glb, until it is read
    if (!mime) {
        if (!texture) return -1;
        const std::filesystem::path output(out.options.output);
        const std::string name = output.stem().string() + "_image" + std::to_string(cache.size()) + ".png";
        if (out.options.binary) temporary.emplace("kzvtool-export");
        file =
            out.options.binary ? JoinPath(temporary->Path(), name) : (output.parent_path() / name).string();
        IDirect3DSurface8* surface = nullptr;
        if (FAILED(texture->GetSurfaceLevel(0, &surface)) || !surface) return -1;
        const HRESULT saved = D3DXSaveSurfaceToFile(file.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr);
        surface->Release();
        if (FAILED(saved)) {
            out.notes.push_back(mapName + ": could not be written as " + file);
            return -1;
        }
        mime = "image/png";
    }
    nlohmann::json image = {{"name", ToUtf8(std::string(FileNamePart(mapName)).c_str())}};
    if (out.options.binary) {
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(file.c_str(), bytes)) return -1;
        image["bufferView"] = out.doc.AddBufferView(bytes.data(), bytes.size(), 0);
        image["mimeType"] = mime;
    } else {
        const std::filesystem::path folder = std::filesystem::absolute(out.options.output).parent_path();
        image["uri"] = UriOf(std::filesystem::absolute(file).lexically_proximate(folder).generic_string());
    }
    return cache[key] = out.doc.Add("images", std::move(image));
}

// Mirroring repeats the image mirrored whether or not tiling is on, as the device's mirror
// address mode does.
int WrapMode(uint8_t tile, uint8_t mirror) {
    if (mirror) return 33648;    // MIRRORED_REPEAT
    return tile ? 10497 : 33071; // REPEAT, CLAMP_TO_EDGE
}

// The uv placement of a slot as KHR_texture_transform, in glTF's v-down coordinates.
void AddTextureTransform(GltfExport& out, nlohmann::json& info, const DXC_TextMatrixAni& uv) {
    const float* v = uv.baseValues;
    D3DXMATRIX m;
    if (!ComputeUVTransform(v[0], v[1], v[2], v[3], v[4], &m)) return;
    const float a = m.m[0][0], b = m.m[0][1], c = m.m[1][0], d = m.m[1][1], e = m.m[2][0], f = m.m[2][1];
    // With v' = 1 - v on both sides, u' = a u - c v + (c + e) and v' = -b u + d v + (1 - d - f).
    const float rotation = std::atan2(b, a);
    const float scaleU = std::sqrt(a * a + b * b);
    const float scaleV = -c * std::sin(rotation) + d * std::cos(rotation);
    nlohmann::json transform = {
        {"offset", {c + e, 1.0f - d - f}}, {"rotation", rotation}, {"scale", {scaleU, scaleV}}};
    for (auto& value : transform) {
        if (value.is_array()) {
            for (auto& x : value)
                if (!std::isfinite(x.get<float>())) return;
        } else if (!std::isfinite(value.get<float>())) {
            return;
        }
    }
    info["extensions"]["KHR_texture_transform"] = transform;
    out.doc.UseExtension("KHR_texture_transform");
}

// The diffuse map of a subset as the base colour texture.
void AddBaseColourTexture(GltfExport& out, nlohmann::json& pbr, const MeshMaterial& material,
                          DXC_Texture* texture) {
    if (!texture) return;
    for (int32_t slot = 0; slot < DXC_AnimatedTexture::SlotCount; ++slot) {
        const DXC_Texture::Slot& s = texture->GetSlot(slot);
        if (s.mapType != 1 || s.fileName.IsEmpty()) continue;
        IDirect3DTexture8* image = texture->GetSlotTexture(slot);
        if (slot == 0 && texture->GetSequenceCount() > 0 && texture->GetFrame(0))
            image = texture->GetFrame(0)->texture;
        const int source = ExportImage(out, s.fileName.Text(), image);
        if (source < 0) return;
        const int sampler = out.doc.Add("samplers", {{"magFilter", 9729},
                                                     {"minFilter", 9987},
                                                     {"wrapS", WrapMode(material.tileU, material.mirrorU)},
                                                     {"wrapT", WrapMode(material.tileV, material.mirrorV)}});
        nlohmann::json info = {
            {"index", out.doc.Add("textures", {{"source", source}, {"sampler", sampler}})}};
        AddTextureTransform(out, info, s.uvAnimation);
        pbr["baseColorTexture"] = std::move(info);
        return;
    }
}

} // namespace

int ExportMaterial(GltfExport& out, DXC_Mesh& mesh, int32_t subset) {
    const MeshMaterial& m = *mesh.GetMaterial(subset);
    const D3DCOLORVALUE& diffuse = m.material.Diffuse;
    const D3DCOLORVALUE& emissive = m.material.Emissive;
    const float opacity = m.transparent ? Unit(1.0f - m.transparency) : 1.0f;
    // Fixed-function materials are not metallic; a rough dielectric is the nearest match.
    nlohmann::json pbr = {{"baseColorFactor", {Unit(diffuse.r), Unit(diffuse.g), Unit(diffuse.b), opacity}},
                          {"metallicFactor", 0.0f},
                          {"roughnessFactor", 1.0f}};
    AddBaseColourTexture(out, pbr, m, GetMeshTexture(&mesh, subset));
    nlohmann::json material = {{"name", ToUtf8(mesh.name.Text()) + "/" + std::to_string(subset)},
                               {"pbrMetallicRoughness", std::move(pbr)},
                               {"emissiveFactor", {Unit(emissive.r), Unit(emissive.g), Unit(emissive.b)}}};
    if (m.transparent) material["alphaMode"] = "BLEND";
    if (m.twoSided) material["doubleSided"] = true;
    return out.doc.Add("materials", std::move(material));
}
