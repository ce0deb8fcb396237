#include "GltfDocument.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

int ComponentBytes(int componentType) {
    switch (componentType) {
    case GltfDocument::UnsignedByte:
        return 1;
    case GltfDocument::UnsignedShort:
        return 2;
    default:
        return 4;
    }
}

// Writes all bytes; false with the system's reason.
bool WriteAll(const std::string& path, const std::vector<const std::vector<unsigned char>*>& parts,
              std::string& error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const auto* part : parts)
        if (!part->empty() && std::fwrite(part->data(), 1, part->size(), file) != part->size()) ok = false;
    if (std::fclose(file) != 0) ok = false;
    if (!ok) error = path + ": " + std::strerror(errno ? errno : EIO);
    return ok;
}

void PutWord(std::vector<unsigned char>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::string JsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

int ComponentsOf(const std::string& type) {
    if (type == "SCALAR") return 1;
    if (type == "VEC2") return 2;
    if (type == "VEC3") return 3;
    if (type == "VEC4") return 4;
    return 16;
}

GltfDocument::GltfDocument() {
    root["asset"] = {{"version", "2.0"}, {"generator", "kzvtool export"}};
}

int GltfDocument::Add(const char* name, nlohmann::json value) {
    nlohmann::json& list = root[name];
    if (!list.is_array()) list = nlohmann::json::array();
    list.push_back(std::move(value));
    return static_cast<int>(list.size()) - 1;
}

void GltfDocument::UseExtension(const std::string& name, bool required) {
    auto addOnce = [&](const char* key) {
        nlohmann::json& list = root[key];
        if (!list.is_array()) list = nlohmann::json::array();
        if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
    };
    addOnce("extensionsUsed");
    if (required) addOnce("extensionsRequired");
}

int GltfDocument::AddBufferView(const void* data, std::size_t bytes, int target) {
    while (bin.size() % 4 != 0) bin.push_back(0);
    nlohmann::json view = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes}};
    if (target != 0) view["target"] = target;
    const auto* first = static_cast<const unsigned char*>(data);
    bin.insert(bin.end(), first, first + bytes);
    return Add("bufferViews", std::move(view));
}

int GltfDocument::AddAccessor(const void* data, std::size_t count, int componentType, const char* type,
                              int target, bool withBounds) {
    const int components = ComponentsOf(type);
    const int view = AddBufferView(data, count * components * ComponentBytes(componentType), target);
    nlohmann::json accessor = {
        {"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
    if (withBounds && componentType == Float && count > 0) {
        std::vector<float> low(components, std::numeric_limits<float>::max());
        std::vector<float> high(components, std::numeric_limits<float>::lowest());
        const auto* values = static_cast<const float*>(data);
        for (std::size_t i = 0; i < count; ++i)
            for (int c = 0; c < components; ++c) {
                low[c] = std::min(low[c], values[i * components + c]);
                high[c] = std::max(high[c], values[i * components + c]);
            }
        accessor["min"] = low;
        accessor["max"] = high;
    }
    return Add("accessors", std::move(accessor));
}

int GltfDocument::AddFloats(const std::vector<float>& values, const char* type, int target, bool withBounds) {
    return AddAccessor(values.data(), values.size() / ComponentsOf(type), Float, type, target, withBounds);
}

bool GltfDocument::WriteGltf(const std::string& path, const std::string& binName, std::string& error) {
    nlohmann::json out = root;
    if (!bin.empty()) {
        out["buffers"] = nlohmann::json::array({{{"uri", binName}, {"byteLength", bin.size()}}});
        const std::string folder =
            path.find('/') == std::string::npos ? "" : path.substr(0, path.rfind('/') + 1);
        if (!WriteAll(folder + binName, {&bin}, error)) return false;
    }
    const std::string text = out.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    return WriteAll(path, {&bytes}, error);
}

bool GltfDocument::WriteGlb(const std::string& path, std::string& error) {
    nlohmann::json out = root;
    if (!bin.empty()) out["buffers"] = nlohmann::json::array({{{"byteLength", bin.size()}}});
    std::string text = JsonText(out);
    while (text.size() % 4 != 0) text += ' ';
    std::vector<unsigned char> chunks;
    PutWord(chunks, static_cast<uint32_t>(text.size()));
    PutWord(chunks, 0x4E4F534A); // "JSON"
    chunks.insert(chunks.end(), text.begin(), text.end());
    if (!bin.empty()) {
        std::vector<unsigned char> body = bin;
        while (body.size() % 4 != 0) body.push_back(0);
        PutWord(chunks, static_cast<uint32_t>(body.size()));
        PutWord(chunks, 0x004E4942); // "BIN\0"
        chunks.insert(chunks.end(), body.begin(), body.end());
    }
    std::vector<unsigned char> header;
    PutWord(header, 0x46546C67); // "glTF"
    PutWord(header, 2);
    PutWord(header, static_cast<uint32_t>(12 + chunks.size()));
    return WriteAll(path, {&header, &chunks}, error);
}
