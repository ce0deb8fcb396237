#include <algorithm>
#include <cmath>

#include "GltfExport.h"
#include "TextEncoding.h"
#include "scene/Scene3d.h"

namespace {

// Clipping planes that hold the whole scene from anywhere near it.
void ClippingPlanes(DXC_3dScene& scene, float& nearPlane, float& farPlane) {
    BoundsRecord bounds = scene.bounds;
    scene.ComputeBounds(&bounds);
    const float radius = std::isfinite(bounds.radius) && bounds.radius > 0.0f ? bounds.radius : 100.0f;
    farPlane = radius * 10.0f;
    nearPlane = farPlane / 10000.0f;
}

void ExportCamera(GltfExport& out, const DXC_Camera& camera, float nearPlane, float farPlane) {
    const float fov = std::isfinite(camera.fov) && camera.fov > 0.0f ? std::min(camera.fov, 3.1f) : 0.785f;
    const int index =
        out.doc.Add("cameras", {{"name", ToUtf8(camera.name.Text())},
                                {"type", "perspective"},
                                {"perspective", {{"yfov", fov}, {"znear", nearPlane}, {"zfar", farPlane}}}});
    out.doc.Json()["nodes"][out.viewNodeOf[&camera]]["camera"] = index;
}

// Direct3D light colours may pass 1; glTF colours may not, so the excess becomes intensity.
void ExportLight(GltfExport& out, const DXC_Light& light) {
    const D3DLIGHT8& l = light.light;
    const char* type = l.Type == 1 ? "point" : l.Type == 2 ? "spot" : l.Type == 3 ? "directional" : nullptr;
    if (!type) {
        out.notes.push_back(ToUtf8(light.name.Text()) + ": a light without a type is left out");
        return;
    }
    float colour[3] = {l.Diffuse.r, l.Diffuse.g, l.Diffuse.b};
    float peak = 0.0f;
    for (float& c : colour) {
        c = std::isfinite(c) ? std::max(c, 0.0f) : 0.0f;
        peak = std::max(peak, c);
    }
    const float intensity = std::max(peak, 1.0f);
    nlohmann::json entry = {{"name", ToUtf8(light.name.Text())},
                            {"type", type},
                            {"color", {colour[0] / intensity, colour[1] / intensity, colour[2] / intensity}},
                            {"intensity", intensity}};
    if (l.Type != 3 && std::isfinite(l.Range) && l.Range > 0.0f) entry["range"] = l.Range;
    if (l.Type == 2) {
        // Direct3D's theta and phi are whole cone angles; glTF's are half angles.
        const float quarter = 1.5707963f;
        float outer = std::isfinite(l.Phi) ? std::clamp(l.Phi / 2.0f, 1e-4f, quarter) : quarter / 2.0f;
        float inner = std::isfinite(l.Theta) ? std::clamp(l.Theta / 2.0f, 0.0f, outer * 0.999f) : 0.0f;
        entry["spot"] = {{"innerConeAngle", inner}, {"outerConeAngle", outer}};
    }
    nlohmann::json& lights = out.doc.Json()["extensions"]["KHR_lights_punctual"]["lights"];
    if (!lights.is_array()) lights = nlohmann::json::array();
    lights.push_back(std::move(entry));
    out.doc.UseExtension("KHR_lights_punctual");
    out.doc.Json()["nodes"][out.viewNodeOf[&light]]["extensions"]["KHR_lights_punctual"] = {
        {"light", lights.size() - 1}};
}

} // namespace

void ExportCamerasAndLights(GltfExport& out) {
    DXC_3dScene& scene = *out.scene;
    float nearPlane = 0.0f, farPlane = 0.0f;
    ClippingPlanes(scene, nearPlane, farPlane);
    for (int32_t i = 0; i < scene.GetCameraCount(); ++i)
        if (const DXC_Camera* camera = scene.GetCameraAt(i)) ExportCamera(out, *camera, nearPlane, farPlane);
    for (int32_t i = 0; i < scene.GetLightCount(); ++i)
        if (const DXC_Light* light = scene.GetLightAt(i)) ExportLight(out, *light);
}
