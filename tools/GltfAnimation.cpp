#include <algorithm>
#include <cmath>

#include "GltfExport.h"
#include "scene/Scene3d.h"

namespace {

// One node's transform at every sample time.
struct NodeSamples {
    int node = -1;
    const DXC_3dObject* object = nullptr;
    bool looking = false; // the looking node of a camera or light
    std::vector<float> translation, rotation, scale;
};

// The sample times: the scene's first frame to its last at the frame rate, the last frame
// always included. A time that float precision cannot tell from the one before is left out,
// as glTF times must increase.
std::vector<float> SampleTimes(const GltfExportOptions& options) {
    std::vector<float> times;
    const float rate = options.fps > 0.0f ? options.fps : options.frameRate;
    const float first = options.firstTime, last = options.lastTime;
    if (!(last > first) || !(rate > 0.0f) || !std::isfinite(last - first)) return times;
    const double count = std::floor((static_cast<double>(last) - first) * rate + 1e-4);
    if (count > 1e6) return times; // a scene that long is no animation one could sample
    for (int64_t k = 0; k <= static_cast<int64_t>(count); ++k) {
        const float t = static_cast<float>(first + k / static_cast<double>(rate));
        if (times.empty() || t > times.back()) times.push_back(t);
    }
    if (times.back() < last) times.push_back(last);
    return times;
}

// glTF times may not be negative: a scene that starts before 0 is moved to start at 0, and
// the animation's extras say by how much.
float TimeShift(const std::vector<float>& times) {
    return times.front() < 0.0f ? -times.front() : 0.0f;
}

void Sample(NodeSamples& s) {
    const D3DXMATRIX m =
        s.looking ? LookingMatrix(static_cast<const DXC_Target3dObject&>(*s.object)) : LocalMatrix(*s.object);
    float t[3], r[4], sc[3];
    Decompose(m, t, r, sc);
    // Neighbouring quaternions on the same side, so that linear blending takes the short way.
    if (s.rotation.size() >= 4) {
        const float* p = &s.rotation[s.rotation.size() - 4];
        if (p[0] * r[0] + p[1] * r[1] + p[2] * r[2] + p[3] * r[3] < 0.0f)
            for (float& x : r) x = -x;
    }
    s.translation.insert(s.translation.end(), t, t + 3);
    s.rotation.insert(s.rotation.end(), r, r + 4);
    s.scale.insert(s.scale.end(), sc, sc + 3);
}

bool Changes(const std::vector<float>& values, int width) {
    for (std::size_t i = width; i < values.size(); ++i) {
        const float a = values[i], b = values[i % width];
        if (std::fabs(a - b) > 1e-6f * (1.0f + std::fabs(b))) return true;
    }
    return false;
}

void AddChannel(GltfExport& out, nlohmann::json& animation, int input, int node, const char* path,
                const std::vector<float>& values, const char* type) {
    const int output = out.doc.AddFloats(values, type, 0);
    animation["samplers"].push_back({{"input", input}, {"output", output}, {"interpolation", "LINEAR"}});
    animation["channels"].push_back(
        {{"sampler", animation["samplers"].size() - 1}, {"target", {{"node", node}, {"path", path}}}});
}

} // namespace

void ExportAnimation(GltfExport& out) {
    const std::vector<float> times = SampleTimes(out.options);
    if (times.size() < 2) return;
    std::vector<NodeSamples> nodes;
    for (const DXC_3dObject* object : out.objects)
        nodes.push_back({out.nodeOf[object], object, false, {}, {}, {}});
    for (const auto& [object, node] : out.viewNodeOf) nodes.push_back({node, object, true, {}, {}, {}});
    for (float t : times) {
        out.scene->Update(t, 1);
        for (NodeSamples& s : nodes) Sample(s);
    }
    out.scene->Update(out.options.firstTime, 1);

    nlohmann::json animation = {
        {"name", "Scene"}, {"samplers", nlohmann::json::array()}, {"channels", nlohmann::json::array()}};
    int input = -1;
    const float shift = TimeShift(times);
    if (shift > 0.0f) animation["extras"] = {{"sceneTimeShift", shift}};
    for (const NodeSamples& s : nodes) {
        const bool all = out.options.bake; // every node and channel, moving or not
        const bool t = all || Changes(s.translation, 3), r = all || Changes(s.rotation, 4);
        const bool sc = all || Changes(s.scale, 3);
        if (!t && !r && !sc) continue;
        if (input < 0) {
            std::vector<float> shifted = times;
            for (float& t : shifted) t += shift;
            input = out.doc.AddFloats(shifted, "SCALAR", 0, true);
        }
        if (t) AddChannel(out, animation, input, s.node, "translation", s.translation, "VEC3");
        if (r) AddChannel(out, animation, input, s.node, "rotation", s.rotation, "VEC4");
        if (sc) AddChannel(out, animation, input, s.node, "scale", s.scale, "VEC3");
    }
    if (!animation["channels"].empty()) out.doc.Add("animations", std::move(animation));
}
