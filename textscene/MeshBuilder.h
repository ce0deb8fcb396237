#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "textscene/MeshRecords.h"

class TextDataFileReader;

// Splits the input vertices of one mesh where faces must not share them (smoothing groups,
// material, texture coordinates), computes corner-angle weighted normals smoothed across
// each smoothing group and turns face material ids into attribute ids. Pure processor work:
// creating and filling the Direct3D mesh is the loader's. Reports go through the reader, so
// they carry the scene file's path.
class MeshBuilder {
public:
    // 16-bit indices: the largest vertex count a mesh can have.
    static constexpr int32_t MaxOutputVertices = 65535;

    struct Input {
        MeshVertex* vertices = nullptr; // split lists are filled in
        int32_t vertexCount = 0;
        MeshFace* faces = nullptr; // output indices and attribute ids are filled in
        int32_t faceCount = 0;
        const TexVertex* texVertices = nullptr;
        int32_t texVertexCount = 0;
        const TexFace* texFaces = nullptr; // null: the mesh has no texture faces
        int32_t texFaceCount = 0;
        int32_t subMaterialCount = 0; // of the mesh's material; 0 when it has none
        const char* objectName = "";
    };

    explicit MeshBuilder(TextDataFileReader& reporter) : reporter(reporter) {}

    // The whole build. Errors (thrown): an index outside its list, no vertex made, more
    // vertices than 16-bit indices can address. A builder used for several meshes keeps its
    // lists' memory from one to the next.
    void Build(const Input& input);

    // One face corner: the output vertex that takes it, made when none matches.
    int32_t AddCorner(int32_t vertexIndex, const MeshFace& face, const D3DXVECTOR3& normal,
                      uint16_t materialKey, int32_t texVertexIndex);

    std::vector<BuildVertex> vertices; // output vertices
    std::vector<int32_t> remap;        // sub-material -> attribute id, -1 when unused
    int32_t attributeCount = 0;        // attribute ids used
    int32_t invalidFaces = 0;          // degenerate faces dropped
    int32_t duplicated = 0;            // output vertices beyond the first of their input vertex

    // Blocks of at least this many faces have their face geometry computed by two threads.
    int32_t parallelFaces = 4096;

private:
    // A face's unit normal weighted by each corner's angle; not valid for a face of no area.
    struct FaceGeometry {
        D3DXVECTOR3 weighted[3];
        bool valid = false;
    };
    static constexpr int32_t GeometryBlock = 16384; // faces whose geometry is computed at once

    void CheckIndices(const Input& input) const;
    static FaceGeometry ComputeFaceGeometry(const Input& input, int32_t faceIndex);
    struct GeometryHelper;
    using GeometryHelpers = std::vector<std::unique_ptr<GeometryHelper>>;
    // The geometry of faces [first, first + count); a large block shares it with a helper
    // thread, which is kept in helpers (and joined when they end).
    void ComputeBlockGeometry(const Input& input, int32_t first, int32_t count, GeometryHelpers& helpers);
    void BuildFace(const Input& input, int32_t faceIndex, const FaceGeometry& geometry);
    void JoinSmoothingGroups(const Input& input);

    TextDataFileReader& reporter;
    const Input* current = nullptr;
    std::vector<FaceGeometry> blockGeometry;
};

// The material id reduced into 0 .. n-1 (a negative id counts from the end: -1 gives n - 1);
// 0 when n is below 1.
int32_t ReduceMaterialId(int32_t id, int32_t n);
