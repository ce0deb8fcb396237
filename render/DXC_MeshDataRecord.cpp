// The stored geometry record of a mesh: vertex count, face count and vertex format, the
// vertices in their stored form, the faces as three 16-bit indices and the low 16 bits of each
// face's attribute id. A stored vertex (versions 101 and 102) is the position, two texture
// floats (version 102: only when the format has a coordinate set), the normal as three int16
// (times 32767), one uint16 per blend weight (times 65535) and the four bone index bytes when
// the last blend value holds them. Version 100 stores each vertex as the raw vertex of its
// format.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/File.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3d8/FvfLayout.h"
#include "render/DXC_MeshData.h"
#include "scene/Mesh.h"

namespace {

constexpr int32_t NormalScale = 32767;
constexpr int32_t WeightScale = 65535;
constexpr int32_t ChunkVertices = 4096; // vertices converted per file read or write
constexpr int32_t MaxVertexCount = 65535;
constexpr DWORD ColourBits = D3DFVF_DIFFUSE | D3DFVF_SPECULAR;

// value x scale truncated toward zero and limited to lo..hi (NaN gives 0). A value that is
// exactly what a stored number reads back as gives that number again, so that saving a loaded
// scene repeats its bytes.
int32_t Quantise(float value, int32_t scale, int32_t lo, int32_t hi) {
    if (std::isnan(value)) return 0;
    const double p = static_cast<double>(value) * scale;
    if (p >= hi) return hi;
    if (p <= lo) return lo;
    int32_t q = static_cast<int32_t>(std::trunc(p));
    const int32_t away = q + (p < 0.0 ? -1 : 1);
    if (away >= lo && away <= hi && static_cast<float>(away) / static_cast<float>(scale) == value) q = away;
    return q;
}

float Dequantise(int32_t q, int32_t scale) {
    return static_cast<float>(q) / static_cast<float>(scale);
}

// Bytes of one stored vertex of a format (layout) in a file of that version.
int32_t StoredVertexSize(const FvfLayout& layout, int32_t version) {
    if (version <= 100) return static_cast<int32_t>(layout.size);
    const bool uv = version == 101 || layout.texCoordCount > 0;
    return 12 + (uv ? 8 : 0) + 6 + 2 * static_cast<int32_t>(layout.weightCount) +
           (layout.indexedBlend ? 4 : 0);
}

void CopyElement(BYTE* to, int to_offset, const BYTE* from, int from_offset, std::size_t bytes) {
    if (to_offset >= 0 && from_offset >= 0) std::memcpy(to + to_offset, from + from_offset, bytes);
}

// Colours that the stored vertex does not carry: white diffuse, black specular, as the text
// loader gives them.
void DefaultColours(BYTE* out, const FvfLayout& to) {
    const DWORD white = 0xFFFFFFFFu, black = 0xFF000000u;
    if (to.diffuseOffset >= 0) std::memcpy(out + to.diffuseOffset, &white, 4);
    if (to.specularOffset >= 0) std::memcpy(out + to.specularOffset, &black, 4);
}

// A raw vertex of format from into format to: every element both have, at its place.
void ConvertRawVertex(const BYTE* in, const FvfLayout& from, BYTE* out, const FvfLayout& to) {
    std::memcpy(out, in, 12);
    const UINT weights = std::min(from.weightCount, to.weightCount);
    CopyElement(out, to.weightsOffset, in, from.weightsOffset, 4 * weights);
    CopyElement(out, to.indicesOffset, in, from.indicesOffset, 4);
    CopyElement(out, to.normalOffset, in, from.normalOffset, 12);
    CopyElement(out, to.pointSizeOffset, in, from.pointSizeOffset, 4);
    DefaultColours(out, to);
    CopyElement(out, to.diffuseOffset, in, from.diffuseOffset, 4);
    CopyElement(out, to.specularOffset, in, from.specularOffset, 4);
    for (UINT set = 0; set < std::min(from.texCoordCount, to.texCoordCount); ++set)
        CopyElement(out, to.texCoordOffset[set], in, from.texCoordOffset[set],
                    4 * std::min(from.texCoordSize[set], to.texCoordSize[set]));
}

// A stored vertex (versions 101 and 102) of format from into format to.
void ConvertStoredVertex(const BYTE* in, const FvfLayout& from, bool uv, BYTE* out, const FvfLayout& to) {
    std::memcpy(out, in, 12);
    in += 12;
    if (uv) {
        if (to.texCoordCount > 0)
            std::memcpy(out + to.texCoordOffset[0], in, 4 * std::min(2u, to.texCoordSize[0]));
        in += 8;
    }
    int16_t normal[3];
    std::memcpy(normal, in, 6);
    in += 6;
    if (to.normalOffset >= 0) {
        const float n[3] = {Dequantise(normal[0], NormalScale), Dequantise(normal[1], NormalScale),
                            Dequantise(normal[2], NormalScale)};
        std::memcpy(out + to.normalOffset, n, sizeof n);
    }
    for (UINT i = 0; i < from.weightCount; ++i, in += 2) {
        uint16_t w;
        std::memcpy(&w, in, 2);
        const float weight = Dequantise(w, WeightScale);
        if (i < to.weightCount) std::memcpy(out + to.weightsOffset + 4 * i, &weight, 4);
    }
    if (from.indexedBlend) CopyElement(out, to.indicesOffset, in, 0, 4);
    DefaultColours(out, to);
}

template <class T> void Put(BYTE*& out, const T& value) {
    std::memcpy(out, &value, sizeof value);
    out += sizeof value;
}

// A vertex of the mesh (format layout) in its stored form (version 102).
void StoreVertex(const BYTE* in, const FvfLayout& layout, BYTE*& out) {
    std::memcpy(out, in, 12);
    out += 12;
    if (layout.texCoordCount > 0) {
        float uv[2] = {0.0f, 0.0f};
        std::memcpy(uv, in + layout.texCoordOffset[0], 4 * std::min(2u, layout.texCoordSize[0]));
        Put(out, uv);
    }
    float normal[3] = {0.0f, 0.0f, 0.0f};
    if (layout.normalOffset >= 0) std::memcpy(normal, in + layout.normalOffset, sizeof normal);
    for (float n : normal)
        Put(out, static_cast<int16_t>(Quantise(n, NormalScale, -NormalScale, NormalScale)));
    for (UINT i = 0; i < layout.weightCount; ++i) {
        float w;
        std::memcpy(&w, in + layout.weightsOffset + 4 * i, 4);
        Put(out, static_cast<uint16_t>(Quantise(w, WeightScale, 0, WeightScale)));
    }
    if (layout.indexedBlend) {
        std::memcpy(out, in + layout.indicesOffset, 4);
        out += 4;
    }
}

// The blend weight of matrix k of a vertex: the stored weights, and the last one implied by them.
float BlendWeight(const BYTE* vertex, const FvfLayout& layout, UINT k) {
    float sum = 0.0f;
    for (UINT i = 0; i < layout.weightCount; ++i) {
        float w;
        std::memcpy(&w, vertex + layout.weightsOffset + 4 * i, 4);
        if (i == k) return w;
        sum += w;
    }
    return k == layout.weightCount ? 1.0f - sum : 0.0f;
}

// A vertex's bone indices must name bones of the mesh where they carry weight. An index that
// carries none (beyond the matrices the vertex blends, or with weight 0) is set to bone 0: it
// changes nothing drawn, and no index beyond the bones reaches the skinning.
bool CheckBoneIndices(BYTE* vertex, const FvfLayout& layout, int32_t boneCount) {
    for (UINT k = 0; k < 4; ++k) {
        BYTE& index = vertex[layout.indicesOffset + k];
        if (index < boneCount) continue;
        if (k <= layout.weightCount && BlendWeight(vertex, layout, k) != 0.0f) return false;
        index = 0;
    }
    return true;
}

int32_t FirstBadIndex(const BYTE* vertex, const FvfLayout& layout, int32_t boneCount) {
    for (UINT k = 0; k < 4; ++k)
        if (vertex[layout.indicesOffset + k] >= boneCount) return vertex[layout.indicesOffset + k];
    return 0;
}

// The layout of a vertex format the device accepts for a mesh: a position that is not
// pre-transformed; anything else is a damaged record.
bool DecodeMeshFormat(DWORD fvf, FvfLayout& layout) {
    return DecodeFvf(fvf, &layout) && layout.hasPosition && !layout.pretransformed;
}

} // namespace

// ---- writing ----------------------------------------------------------------------------------

int32_t DXC_MeshData::Write(File& file) {
    if (!mesh) {
        const int32_t empty[3] = {0, 0, 0};
        return file.Write(empty, sizeof empty);
    }
    if (mesh->GetOptions() & D3DXMESH_32BIT) owner->Error("Meshes with 32-bit indices can not be stored");
    const DWORD fvf = mesh->GetFVF();
    const int32_t faces = static_cast<int32_t>(mesh->GetNumFaces());
    file.WriteInt(static_cast<int32_t>(mesh->GetNumVertices()));
    file.WriteInt(faces);
    file.WriteInt(static_cast<int32_t>(fvf));
    WriteVertices(file);

    const BYTE* indices = LockIndexBuffer(D3DLOCK_READONLY);
    file.Write(indices, faces * 6);
    UnlockIndexBuffer();
    const DWORD* attributes = LockAttributeBuffer(D3DLOCK_READONLY);
    std::vector<uint16_t> ids(static_cast<std::size_t>(faces));
    for (int32_t f = 0; f < faces; ++f)
        ids[static_cast<std::size_t>(f)] = static_cast<uint16_t>(attributes[f]);
    UnlockAttributeBuffer();
    file.Write(ids.data(), faces * 2);
    // The buffers were locked while the record was written: the mesh is made ready to draw again.
    SortByAttribute();
    return 1;
}

void DXC_MeshData::WriteVertices(File& file) {
    FvfLayout layout;
    if (!DecodeMeshFormat(mesh->GetFVF(), layout))
        owner->Error("Invalid vertex format: 0x%x", mesh->GetFVF());
    const int32_t count = static_cast<int32_t>(mesh->GetNumVertices());
    const BYTE* vertices = LockVertexBuffer(D3DLOCK_READONLY);
    std::vector<BYTE> chunk(static_cast<std::size_t>(StoredVertexSize(layout, 102)) * ChunkVertices);
    for (int32_t first = 0; first < count; first += ChunkVertices) {
        const int32_t n = std::min(ChunkVertices, count - first);
        BYTE* out = chunk.data();
        for (int32_t i = 0; i < n; ++i)
            StoreVertex(vertices + static_cast<std::size_t>(first + i) * layout.size, layout, out);
        file.Write(chunk.data(), static_cast<int32_t>(out - chunk.data()));
    }
    UnlockVertexBuffer();
}

// ---- reading ----------------------------------------------------------------------------------

int32_t DXC_MeshData::Read(File& file, const MeshGeometryReadOptions& options) {
    if (!gfx) owner->Error("Mesh geometry can not be read without the graphics object");
    int32_t vertices = 0, faces = 0;
    DWORD stored = 0;
    file.ReadInt(&vertices);
    if (!file.CheckCount(vertices, 12, "vertex", MaxVertexCount)) return 0;
    file.ReadInt(&faces);
    if (!file.CheckCount(faces, 8, "face")) return 0;
    file.ReadInt(&stored);
    if (vertices == 0 && faces == 0) return 2;

    FvfLayout layout;
    if (!DecodeMeshFormat(stored, layout)) {
        file.Error("Invalid vertex format 0x%x of mesh '%s' at byte %lld", stored, owner->name.Text(),
                   static_cast<long long>(file.GetPosition()));
        return 0;
    }
    const int64_t needed = static_cast<int64_t>(vertices) * StoredVertexSize(layout, options.version) +
                           static_cast<int64_t>(faces) * 8;
    if (needed > file.Remaining()) {
        file.Error("Geometry of %i vertices and %i faces of mesh '%s' does not fit the file at byte %lld",
                   vertices, faces, owner->name.Text(), static_cast<long long>(file.GetPosition()));
        return 0;
    }

    DWORD format = stored | options.addFormat;
    if (options.addTexCoordSet) {
        if (layout.texCoordCount > 1) owner->Error("Multiple texture coords not supported");
        format = (format & ~static_cast<DWORD>(D3DFVF_TEXCOUNT_MASK)) |
                 ((layout.texCoordCount + 1) << D3DFVF_TEXCOUNT_SHIFT);
    }
    ::CreateMesh(gfx, owner, faces, vertices, owner->GetMaterialCount(), format, options.systemMemory,
                 options.boneCount, 0, 0, options.reflectionMap);
    sphereMapChannel = options.reflectionMap ? std::max(vertexFormat.texCoordSets - 1, 0) : -1;
    skinned = options.boneCount > 0 ? 1 : 0;
    blendMatrixCount = options.boneCount > 0 ? options.boneCount : 0;

    ReadVertices(file, options, stored);
    ReadFaces(file);
    SortByAttribute();
    return 1;
}

void DXC_MeshData::ReadVertices(File& file, const MeshGeometryReadOptions& options, DWORD storedFormat) {
    FvfLayout from, to;
    DecodeMeshFormat(storedFormat, from);
    if (!DecodeMeshFormat(mesh->GetFVF(), to)) owner->Error("Invalid vertex format: 0x%x", mesh->GetFVF());
    const int32_t stride = StoredVertexSize(from, options.version);
    const bool uv = options.version == 101 || from.texCoordCount > 0;
    const int32_t count = vertexCount;
    BYTE* vertices = LockVertexBuffer(0);
    std::vector<BYTE> chunk(static_cast<std::size_t>(stride) * ChunkVertices);
    for (int32_t first = 0; first < count; first += ChunkVertices) {
        const int32_t n = std::min(ChunkVertices, count - first);
        file.Read(chunk.data(), n * stride);
        for (int32_t i = 0; i < n; ++i) {
            const BYTE* in = chunk.data() + static_cast<std::size_t>(i) * stride;
            BYTE* out = vertices + static_cast<std::size_t>(first + i) * to.size;
            std::memset(out, 0, to.size);
            if (options.version <= 100)
                ConvertRawVertex(in, from, out, to);
            else
                ConvertStoredVertex(in, from, uv, out, to);
            if (to.indexedBlend && !CheckBoneIndices(out, to, options.boneCount)) {
                UnlockVertexBuffer();
                owner->Error("Invalid bone index: %i", FirstBadIndex(out, to, options.boneCount));
            }
        }
    }
    UnlockVertexBuffer();
}

void DXC_MeshData::ReadFaces(File& file) {
    const int32_t faces = faceCount;
    auto* indices = reinterpret_cast<uint16_t*>(LockIndexBuffer(0));
    file.Read(indices, faces * 6);
    for (int32_t i = 0; i < faces * 3; ++i)
        if (indices[i] >= vertexCount) {
            UnlockIndexBuffer();
            return file.Error("Invalid vertex index %i of face %i of mesh '%s' at byte %lld", indices[i],
                              i / 3, owner->name.Text(), static_cast<long long>(file.GetPosition()));
        }
    UnlockIndexBuffer();
    std::vector<uint16_t> ids(static_cast<std::size_t>(faces));
    file.Read(ids.data(), faces * 2);
    // Each face's attribute id selects one of the mesh's materials.
    const int32_t materials = owner->GetMaterialCount();
    for (int32_t f = 0; f < faces; ++f)
        if (materials > 0 && ids[static_cast<std::size_t>(f)] >= materials)
            return file.Error("Invalid attribute id %i of face %i of mesh '%s' at byte %lld",
                              ids[static_cast<std::size_t>(f)], f, owner->name.Text(),
                              static_cast<long long>(file.GetPosition()));
    DWORD* attributes = LockAttributeBuffer(0);
    for (int32_t f = 0; f < faces; ++f) attributes[f] = ids[static_cast<std::size_t>(f)];
    UnlockAttributeBuffer();
}
