#include "textscene/MeshBuilder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "textscene/TextDataFileReader.h"

namespace {

// The groups that two smoothing-group lists share, in the order of the first; the count.
int32_t CommonGroups(const uint8_t* a, int32_t countA, const uint8_t* b, int32_t countB, uint8_t* common) {
    int32_t n = 0;
    for (int32_t i = 0; i < countA; ++i)
        for (int32_t j = 0; j < countB; ++j)
            if (a[i] == b[j]) {
                common[n++] = a[i];
                break;
            }
    return n;
}

bool ShareGroup(const BuildVertex& a, const BuildVertex& b) {
    for (int32_t i = 0; i < a.groupCount; ++i)
        for (int32_t j = 0; j < b.groupCount; ++j)
            if (a.groups[i] == b.groups[j]) return true;
    return false;
}

// The D3DX vector helpers written out where the compiler can inline them: the same operations
// in the same order, so every result stays bit for bit that of the library functions.
float Length3(const D3DXVECTOR3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

float Dot3(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXVECTOR3 Cross3(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

D3DXVECTOR3 UnitDirection(const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
    const D3DXVECTOR3 d = to - from;
    const float length = Length3(d);
    return length > 0.0f ? d / length : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

// No component is NaN.
bool IsNumber(const D3DXVECTOR3& v) {
    return v.x == v.x && v.y == v.y && v.z == v.z;
}

} // namespace

int32_t ReduceMaterialId(int32_t id, int32_t n) {
    if (n < 1) return 0;
    if (id >= 0) return id % n;
    // -(id) would overflow for the smallest int; the remainder of id itself is safe.
    const int32_t r = -(id % n); // 0 .. n-1, the remainder of -id
    return (n - r) % n;
}

void MeshBuilder::CheckIndices(const Input& input) const {
    for (int32_t f = 0; f < input.faceCount; ++f) {
        const MeshFace& face = input.faces[f];
        for (int32_t k = 0; k < 3; ++k)
            if (face.corner[k] >= input.vertexCount)
                reporter.Error("Invalid vertex index %i in face %i of mesh '%s'", face.corner[k], f,
                               input.objectName);
    }
    if (!input.texFaces) return;
    if (input.texFaceCount < input.faceCount)
        reporter.Error("Only %i t-faces for %i faces in mesh '%s'", input.texFaceCount, input.faceCount,
                       input.objectName);
    for (int32_t f = 0; f < input.faceCount; ++f)
        for (int32_t k = 0; k < 3; ++k)
            if (input.texFaces[f].corner[k] >= input.texVertexCount)
                reporter.Error("Invalid t-vertex index %i in t-face %i of mesh '%s'",
                               input.texFaces[f].corner[k], f, input.objectName);
}

void MeshBuilder::Build(const Input& input) {
    current = &input;
    vertices.clear();
    remap.clear();
    attributeCount = 0;
    invalidFaces = 0;
    duplicated = 0;
    CheckIndices(input);

    for (int32_t v = 0; v < input.vertexCount; ++v) {
        input.vertices[v].splitCount = 0;
        input.vertices[v].firstSplit = -1;
        input.vertices[v].lastSplit = -1;
    }
    // Every corner makes at most one vertex, and no mesh may have more than 16-bit indices
    // can address, so the smaller bound is enough.
    const int64_t corners = 3 * static_cast<int64_t>(input.faceCount);
    vertices.reserve(static_cast<std::size_t>(std::min<int64_t>(corners, MaxOutputVertices + 1)));
    if (input.subMaterialCount > 0) remap.assign(static_cast<std::size_t>(input.subMaterialCount), -1);

    blockGeometry.resize(static_cast<std::size_t>(std::min(input.faceCount, GeometryBlock)));
    // Helper threads end before the build does, by an error too: they read the input.
    GeometryHelpers helpers;
    for (int32_t first = 0; first < input.faceCount; first += GeometryBlock) {
        const int32_t count = std::min(GeometryBlock, input.faceCount - first);
        ComputeBlockGeometry(input, first, count, helpers);
        for (int32_t f = first; f < first + count; ++f)
            BuildFace(input, f, blockGeometry[static_cast<std::size_t>(f - first)]);
    }

    if (duplicated > 0) reporter.Warning("%i vertices duplicated in mesh '%s'", duplicated, input.objectName);
    JoinSmoothingGroups(input);
    if (input.subMaterialCount < 1) attributeCount = 1;
    if (vertices.empty()) reporter.Error("Mesh without vertices: '%s'", input.objectName);
    current = nullptr;
}

MeshBuilder::FaceGeometry MeshBuilder::ComputeFaceGeometry(const Input& input, int32_t faceIndex) {
    const MeshFace& face = input.faces[faceIndex];
    FaceGeometry geometry;
    const D3DXVECTOR3 p[3] = {input.vertices[face.corner[0]].position,
                              input.vertices[face.corner[1]].position,
                              input.vertices[face.corner[2]].position};
    D3DXVECTOR3 normal = Cross3(p[1] - p[0], p[2] - p[0]);
    const float length = Length3(normal);
    geometry.valid = length != 0.0f;
    if (!geometry.valid) return geometry;
    normal /= length;
    // Each edge serves two corners, once in each direction. Run the other way, a unit edge is
    // its negation exactly (the same length, the products mirrored) but for the sign of a zero
    // component, which cannot change the dot product's cosine; a NaN's sign depends on how it
    // arose, so an edge with one is computed the other way as well.
    const D3DXVECTOR3 edge[3] = {UnitDirection(p[0], p[1]), UnitDirection(p[1], p[2]),
                                 UnitDirection(p[2], p[0])};
    for (int32_t k = 0; k < 3; ++k) {
        const D3DXVECTOR3& a = edge[k];
        const D3DXVECTOR3& back = edge[(k + 2) % 3]; // from p[k + 2] to p[k]
        const D3DXVECTOR3 b = IsNumber(back) ? -back : UnitDirection(p[k], p[(k + 2) % 3]);
        // Rounding can push the cosine just past 1; acos would then give NaN.
        const float cosine = std::clamp(Dot3(a, b), -1.0f, 1.0f);
        geometry.weighted[k] = normal * std::acos(cosine);
    }
    return geometry;
}

// A helper thread's share of a block. One that has not begun when this thread is done with its
// own share is called off, and this thread computes that share too, instead of waiting for a
// thread that a busy machine has not run yet; a called-off helper ends as soon as it runs.
struct MeshBuilder::GeometryHelper {
    enum : int { Waiting, Running, Cancelled };
    std::atomic<int> state{Waiting};
    std::jthread thread;
};

void MeshBuilder::ComputeBlockGeometry(const Input& input, int32_t first, int32_t count,
                                       GeometryHelpers& helpers) {
    // Each face's geometry depends on nothing but its own corners: two threads share a large
    // block, and every result is what one thread computes.
    const auto compute = [this, &input, first](int32_t from, int32_t to) {
        for (int32_t f = from; f < to; ++f)
            blockGeometry[static_cast<std::size_t>(f - first)] = ComputeFaceGeometry(input, f);
    };
    if (count < parallelFaces) {
        compute(first, first + count);
        return;
    }
    const int32_t middle = first + count / 2;
    const int32_t end = first + count;
    helpers.push_back(std::make_unique<GeometryHelper>());
    GeometryHelper& helper = *helpers.back();
    helper.thread = std::jthread([&helper, compute, middle, end] {
        int expected = GeometryHelper::Waiting;
        if (helper.state.compare_exchange_strong(expected, GeometryHelper::Running)) compute(middle, end);
    });
    compute(first, middle);
    int expected = GeometryHelper::Waiting;
    if (helper.state.compare_exchange_strong(expected, GeometryHelper::Cancelled))
        compute(middle, end);
    else
        helper.thread.join();
}

void MeshBuilder::BuildFace(const Input& input, int32_t faceIndex, const FaceGeometry& geometry) {
    MeshFace& face = input.faces[faceIndex];
    const int32_t n = input.subMaterialCount;
    const int32_t id = ReduceMaterialId(face.materialId, n);
    if (!geometry.valid) {
        reporter.Warning("Invalid face %i in mesh '%s'", faceIndex, input.objectName);
        face.attributeId = -1;
        ++invalidFaces;
        return;
    }

    for (int32_t k = 0; k < 3; ++k) {
        const int32_t t = input.texFaces ? input.texFaces[faceIndex].corner[k] : -1;
        const int32_t out =
            AddCorner(face.corner[k], face, geometry.weighted[k], static_cast<uint16_t>(id), t);
        if (t >= 0) {
            BuildVertex& vertex = vertices[static_cast<std::size_t>(out)];
            vertex.u = input.texVertices[t].u;
            vertex.v = input.texVertices[t].v;
            vertex.hasUV = 1;
        }
        face.output[k] = out;
    }

    if (n < 1) {
        face.attributeId = 0;
    } else {
        int32_t& entry = remap[static_cast<std::size_t>(id)];
        if (entry == -1) entry = attributeCount++;
        face.attributeId = entry;
    }
}

int32_t MeshBuilder::AddCorner(int32_t vertexIndex, const MeshFace& face, const D3DXVECTOR3& normal,
                               uint16_t materialKey, int32_t texVertexIndex) {
    MeshVertex& source = current->vertices[vertexIndex];
    for (int32_t s = source.splitCount > 0 ? source.firstSplit : -1; s >= 0;) {
        BuildVertex& u = vertices[static_cast<std::size_t>(s)];
        const bool sameUV = texVertexIndex == -1 || (u.u == current->texVertices[texVertexIndex].u &&
                                                     u.v == current->texVertices[texVertexIndex].v);
        if (u.materialKey == materialKey && sameUV) {
            uint8_t common[MeshFace::MaxGroups];
            const int32_t n = CommonGroups(u.groups, u.groupCount, face.groups, face.groupCount, common);
            if (n > 0) {
                std::memcpy(u.groups, common, static_cast<std::size_t>(n));
                u.groupCount = static_cast<uint8_t>(n);
                u.normalSum += normal;
                ++u.faceCount;
                return s;
            }
        }
        s = u.nextSplit;
    }

    if (source.splitCount >= MeshVertex::MaxSplitsPerVertex) {
        reporter.Warning("Too many smoothing groups on vertex %i!", vertexIndex);
        BuildVertex& first = vertices[static_cast<std::size_t>(source.firstSplit)];
        first.normalSum += normal;
        ++first.faceCount;
        return source.firstSplit;
    }

    if (vertices.size() >= static_cast<std::size_t>(MaxOutputVertices))
        reporter.Error("Number of vertices too high: %i - only %i allowed", MaxOutputVertices + 1,
                       MaxOutputVertices);
    if (source.splitCount > 0) ++duplicated;

    BuildVertex vertex{};
    vertex.position = source.position;
    std::memcpy(vertex.weights, source.weights, sizeof vertex.weights);
    std::memcpy(vertex.boneIndices, source.boneIndices, sizeof vertex.boneIndices);
    const int32_t groupCount = std::min<int32_t>(face.groupCount, MeshFace::MaxGroups);
    std::memcpy(vertex.groups, face.groups, static_cast<std::size_t>(groupCount));
    vertex.groupCount = static_cast<uint8_t>(groupCount);
    vertex.normalSum = normal;
    vertex.faceCount = 1;
    vertex.materialKey = materialKey;
    vertex.nextSplit = -1;

    const int32_t index = static_cast<int32_t>(vertices.size());
    vertices.push_back(vertex);
    if (source.splitCount == 0)
        source.firstSplit = index;
    else
        vertices[static_cast<std::size_t>(source.lastSplit)].nextSplit = index;
    source.lastSplit = index;
    ++source.splitCount;
    return index;
}

void MeshBuilder::JoinSmoothingGroups(const Input& input) {
    int32_t split[MeshVertex::MaxSplitsPerVertex];
    D3DXVECTOR3 sums[MeshVertex::MaxSplitsPerVertex];
    int32_t counts[MeshVertex::MaxSplitsPerVertex];
    for (int32_t v = 0; v < input.vertexCount; ++v) {
        const MeshVertex& source = input.vertices[v];
        if (source.splitCount < 2) continue;
        int32_t c = 0;
        for (int32_t s = source.firstSplit; s >= 0 && c < MeshVertex::MaxSplitsPerVertex;
             s = vertices[static_cast<std::size_t>(s)].nextSplit)
            split[c++] = s;
        for (int32_t i = 0; i < c; ++i) {
            sums[i] = vertices[static_cast<std::size_t>(split[i])].normalSum;
            counts[i] = vertices[static_cast<std::size_t>(split[i])].faceCount;
        }
        // Sums and counts of before this step are added, so the result does not depend on
        // the order of the pairs.
        for (int32_t i = 0; i < c; ++i)
            for (int32_t j = i + 1; j < c; ++j) {
                const BuildVertex& a = vertices[static_cast<std::size_t>(split[i])];
                const BuildVertex& b = vertices[static_cast<std::size_t>(split[j])];
                if (!ShareGroup(a, b)) continue;
                sums[i] += b.normalSum;
                counts[i] += b.faceCount;
                sums[j] += a.normalSum;
                counts[j] += a.faceCount;
            }
        for (int32_t i = 0; i < c; ++i) {
            vertices[static_cast<std::size_t>(split[i])].normalSum = sums[i];
            vertices[static_cast<std::size_t>(split[i])].faceCount = counts[i];
        }
    }
}
