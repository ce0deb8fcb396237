#pragma once
// Compiled fixed-function programs, one per GlShaderKey, built on first use and kept for
// the life of the device. Lookup hashes the key and allocates nothing once a program exists.

#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/GlShaderKey.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

// Uniform groups that the device uploads only when their values or the program change.
enum GlUniformGroup : int {
    kGlGroupTransform = 0, // world-view, normal matrix, projection, pixel mapping
    kGlGroupLights,
    kGlGroupMaterial,
    kGlGroupFog,
    kGlGroupPoint,
    kGlGroupTexMatrix,
    kGlGroupPixel, // texture factor, alpha reference
    kGlGroupCount
};

struct GlProgram {
    GLuint id = 0;
    // Locations (-1 when the program does not use the uniform).
    GLint worldView = -1, normalMatrix = -1, projection = -1, pixelOffset = -1, screenToNdc = -1,
          depthToNdc = -1;
    GLint fog = -1, fogColor = -1, pointSize = -1, pointScale = -1, texMatrix = -1;
    GLint lightPosition = -1, lightDirection = -1, lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1,
          lightAttenuation = -1, lightSpot = -1;
    GLint materialDiffuse = -1, materialAmbient = -1, materialSpecular = -1, materialEmissive = -1,
          materialPower = -1, ambient = -1;
    GLint textureFactor = -1, alphaRef = -1;
    // The serial of each uniform group last uploaded to this program.
    uint64_t uploaded[kGlGroupCount] = {};
};

class GlShaderCache {
public:
    GlShaderCache() = default;
    ~GlShaderCache();
    GlShaderCache(const GlShaderCache&) = delete;
    GlShaderCache& operator=(const GlShaderCache&) = delete;

    // The program for the key, compiled when first asked for. Null when compiling or
    // linking fails; the driver's log is then in LastError().
    GlProgram* Get(const GlShaderKey& key);
    size_t Size() const { return programs_.size(); }
    const std::string& LastError() const { return error_; }
    // Marks every uniform group of every program as not uploaded.
    void ResetUploads();
    // Deletes every program (the context must be current).
    void Clear();

private:
    GlProgram* Build(const GlShaderKey& key);

    std::unordered_map<GlShaderKey, std::unique_ptr<GlProgram>, GlShaderKeyHash> programs_;
    std::string error_;
};
