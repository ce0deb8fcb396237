#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// A glTF 2.0 asset while it is being built: the JSON tree and the one binary buffer that every
// accessor points into. Written as .gltf with a .bin beside it, or as one .glb.
class GltfDocument {
public:
    static constexpr int Float = 5126, UnsignedByte = 5121, UnsignedShort = 5123, UnsignedInt = 5125;
    static constexpr int ArrayBuffer = 34962, ElementArrayBuffer = 34963;

    GltfDocument();

    nlohmann::json& Json() { return root; }
    // Appends value to the top-level array name (made when missing); returns its index.
    int Add(const char* name, nlohmann::json value);
    // Names an extension in extensionsUsed (and extensionsRequired with required), once.
    void UseExtension(const std::string& name, bool required = false);

    // Bytes in a buffer view of their own, 4-byte aligned; target 0 leaves the target out.
    int AddBufferView(const void* data, std::size_t bytes, int target);
    // An accessor over count elements of type ("SCALAR", "VEC2", ...) with the given component
    // type, in a buffer view of its own. withBounds writes min and max (float data only).
    int AddAccessor(const void* data, std::size_t count, int componentType, const char* type, int target,
                    bool withBounds = false);
    int AddFloats(const std::vector<float>& values, const char* type, int target, bool withBounds = false);

    // Writes path (.gltf) and the buffer as binName in the same folder. false with a reason.
    bool WriteGltf(const std::string& path, const std::string& binName, std::string& error);
    // Writes path as a binary glTF: JSON chunk and BIN chunk.
    bool WriteGlb(const std::string& path, std::string& error);

private:
    nlohmann::json root;
    std::vector<unsigned char> bin;
};

// Components of an accessor type: SCALAR 1, VEC2 2, VEC3 3, VEC4 4, MAT4 16.
int ComponentsOf(const std::string& type);
