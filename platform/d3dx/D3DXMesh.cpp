#include "platform/d3dx/D3DXMesh.h"

#include "platform/d3d8/FvfLayout.h"
#include "platform/d3d8/ResourceCommon.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

class Buffer final : public RefCounted<ID3DXBuffer> {
public:
    explicit Buffer(DWORD size) : bytes_(size) {}
    void* GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    std::vector<BYTE> bytes_;
};

constexpr DWORD kReorderFlags =
    D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER;
constexpr DWORD kNoNeighbour = 0xFFFFFFFF;

D3DPOOL PoolFor(DWORD options, DWORD systemMem, DWORD managed) {
    if (options & systemMem) return D3DPOOL_SYSTEMMEM;
    if (options & managed) return D3DPOOL_MANAGED;
    return D3DPOOL_DEFAULT;
}

DWORD UsageFor(DWORD options, DWORD writeOnly, DWORD dynamic, DWORD software) {
    DWORD usage = 0;
    if (options & writeOnly) usage |= D3DUSAGE_WRITEONLY;
    if (options & dynamic) usage |= D3DUSAGE_DYNAMIC;
    if (options & software) usage |= D3DUSAGE_SOFTWAREPROCESSING;
    if (options & D3DXMESH_DONOTCLIP) usage |= D3DUSAGE_DONOTCLIP;
    if (options & D3DXMESH_POINTS) usage |= D3DUSAGE_POINTS;
    if (options & D3DXMESH_RTPATCHES) usage |= D3DUSAGE_RTPATCHES;
    if (options & D3DXMESH_NPATCHES) usage |= D3DUSAGE_NPATCHES;
    return usage;
}

// Reads and writes indices of either width.
struct IndexView {
    BYTE* bytes;
    bool wide;
    DWORD Get(size_t i) const {
        if (wide) {
            uint32_t v;
            std::memcpy(&v, bytes + 4 * i, 4);
            return v;
        }
        uint16_t v;
        std::memcpy(&v, bytes + 2 * i, 2);
        return v;
    }
    void Set(size_t i, DWORD value) const {
        if (wide) {
            const uint32_t v = value;
            std::memcpy(bytes + 4 * i, &v, 4);
        } else {
            const uint16_t v = static_cast<uint16_t>(value);
            std::memcpy(bytes + 2 * i, &v, 2);
        }
    }
};

class Mesh final : public RefCounted<ID3DXMesh> {
public:
    Mesh(IDirect3DDevice8* device, DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
         UINT vertexSize, IDirect3DVertexBuffer8* vertices, IDirect3DIndexBuffer8* indices)
        : device_(device), vertices_(vertices), indices_(indices), faces_(numFaces),
          vertexCount_(numVertices), options_(options), fvf_(fvf), vertexSize_(vertexSize),
          attributes_(numFaces, 0) {
        device_->AddRef();
    }

    HRESULT DrawSubset(DWORD attribId) override;
    DWORD GetNumFaces() override { return faces_; }
    DWORD GetNumVertices() override { return vertexCount_; }
    DWORD GetFVF() override { return fvf_; }
    DWORD GetOptions() override { return options_; }
    DWORD GetNumBytesPerVertex() override { return vertexSize_; }
    HRESULT GetDevice(IDirect3DDevice8** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return D3D_OK;
    }
    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** cloneMesh) override;
    HRESULT GetVertexBuffer(IDirect3DVertexBuffer8** vertexBuffer) override {
        if (!vertexBuffer) return D3DERR_INVALIDCALL;
        vertices_->AddRef();
        *vertexBuffer = vertices_;
        return D3D_OK;
    }
    HRESULT GetIndexBuffer(IDirect3DIndexBuffer8** indexBuffer) override {
        if (!indexBuffer) return D3DERR_INVALIDCALL;
        indices_->AddRef();
        *indexBuffer = indices_;
        return D3D_OK;
    }
    HRESULT LockVertexBuffer(DWORD flags, BYTE** data) override { return vertices_->Lock(0, 0, data, flags); }
    HRESULT UnlockVertexBuffer() override { return vertices_->Unlock(); }
    HRESULT LockIndexBuffer(DWORD flags, BYTE** data) override;
    HRESULT UnlockIndexBuffer() override;
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override;
    HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override;
    HRESULT UnlockAttributeBuffer() override;
    HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                            ID3DXBuffer** vertexRemap) override;

protected:
    ~Mesh() override {
        vertices_->Release();
        indices_->Release();
        device_->Release();
    }

private:
    bool Wide() const { return (options_ & D3DXMESH_32BIT) != 0; }
    HRESULT BindBuffers();
    HRESULT UpdateVertexRanges();
    HRESULT CompactVertices(std::vector<DWORD>* newToOld);

    IDirect3DDevice8* device_;
    IDirect3DVertexBuffer8* vertices_;
    IDirect3DIndexBuffer8* indices_;
    DWORD faces_;
    DWORD vertexCount_;
    DWORD options_;
    DWORD fvf_;
    UINT vertexSize_;
    std::vector<DWORD> attributes_;
    bool attributesLocked_ = false;
    bool attributesWritten_ = false;
    bool indicesWritten_ = false;
    int indexLocks_ = 0;
    std::vector<D3DXATTRIBUTERANGE> table_;
};

HRESULT Mesh::BindBuffers() {
    HRESULT hr = device_->SetVertexShader(fvf_);
    if (SUCCEEDED(hr)) hr = device_->SetStreamSource(0, vertices_, vertexSize_);
    if (SUCCEEDED(hr)) hr = device_->SetIndices(indices_, 0);
    return hr;
}

HRESULT Mesh::DrawSubset(DWORD attribId) {
    if (attributesLocked_) return D3DERR_INVALIDCALL;
    bool bound = false;
    auto draw = [&](DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount) {
        if (!bound) {
            const HRESULT hr = BindBuffers();
            if (FAILED(hr)) return hr;
            bound = true;
        }
        return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, vertexStart, vertexCount, faceStart * 3,
                                             faceCount);
    };
    if (!table_.empty()) {
        for (const D3DXATTRIBUTERANGE& range : table_) {
            if (range.AttribId != attribId || range.FaceCount == 0) continue;
            const HRESULT hr = draw(range.FaceStart, range.FaceCount, range.VertexStart, range.VertexCount);
            if (FAILED(hr)) return hr;
        }
        return D3D_OK;
    }
    // Not sorted: every run of consecutive faces with this id, over the whole vertex range.
    for (DWORD face = 0; face < faces_;) {
        if (attributes_[face] != attribId) {
            ++face;
            continue;
        }
        DWORD end = face;
        while (end < faces_ && attributes_[end] == attribId) ++end;
        const HRESULT hr = draw(face, end - face, 0, vertexCount_);
        if (FAILED(hr)) return hr;
        face = end;
    }
    return D3D_OK;
}

HRESULT Mesh::LockIndexBuffer(DWORD flags, BYTE** data) {
    const HRESULT hr = indices_->Lock(0, 0, data, flags);
    if (SUCCEEDED(hr)) {
        ++indexLocks_;
        if (!(flags & D3DLOCK_READONLY)) indicesWritten_ = true;
    }
    return hr;
}

HRESULT Mesh::UnlockIndexBuffer() {
    const HRESULT hr = indices_->Unlock();
    if (FAILED(hr)) return hr;
    if (indexLocks_ > 0 && --indexLocks_ == 0 && indicesWritten_) {
        indicesWritten_ = false;
        // New indices may reach other vertices: the table's vertex ranges follow them.
        if (!table_.empty()) return UpdateVertexRanges();
    }
    return D3D_OK;
}

HRESULT Mesh::UpdateVertexRanges() {
    BYTE* bytes = nullptr;
    const HRESULT hr = indices_->Lock(0, 0, &bytes, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    const IndexView view{bytes, Wide()};
    for (D3DXATTRIBUTERANGE& range : table_) {
        DWORD low = 0xFFFFFFFF, high = 0;
        for (size_t i = static_cast<size_t>(range.FaceStart) * 3;
             i < static_cast<size_t>(range.FaceStart + range.FaceCount) * 3; ++i) {
            low = std::min(low, view.Get(i));
            high = std::max(high, view.Get(i));
        }
        range.VertexStart = range.FaceCount ? low : 0;
        range.VertexCount = range.FaceCount ? high - low + 1 : 0;
    }
    return indices_->Unlock();
}

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) {
    if (!size) return D3DERR_INVALIDCALL;
    const DWORD count = static_cast<DWORD>(table_.size());
    if (!table) {
        *size = count;
        return D3D_OK;
    }
    const DWORD n = std::min(*size, count);
    std::copy(table_.begin(), table_.begin() + n, table);
    *size = n;
    return D3D_OK;
}

HRESULT Mesh::LockAttributeBuffer(DWORD flags, DWORD** data) {
    if (!data || attributesLocked_) return D3DERR_INVALIDCALL;
    attributesLocked_ = true;
    attributesWritten_ = (flags & D3DLOCK_READONLY) == 0;
    *data = attributes_.data();
    return D3D_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() {
    if (!attributesLocked_) return D3DERR_INVALIDCALL;
    attributesLocked_ = false;
    // Changed ids make the table wrong; drawing falls back to runs of faces until the next sort.
    if (attributesWritten_) table_.clear();
    return D3D_OK;
}

HRESULT Mesh::CompactVertices(std::vector<DWORD>* newToOld) {
    BYTE* indexBytes = nullptr;
    BYTE* vertexBytes = nullptr;
    HRESULT hr = indices_->Lock(0, 0, &indexBytes, 0);
    if (FAILED(hr)) return hr;
    hr = vertices_->Lock(0, 0, &vertexBytes, 0);
    if (FAILED(hr)) {
        indices_->Unlock();
        return hr;
    }
    const IndexView view{indexBytes, Wide()};
    std::vector<char> used(vertexCount_, 0);
    for (size_t i = 0; i < static_cast<size_t>(faces_) * 3; ++i)
        if (view.Get(i) < vertexCount_) used[view.Get(i)] = 1;
    std::vector<DWORD> oldToNew(vertexCount_, 0);
    newToOld->clear();
    for (DWORD v = 0; v < vertexCount_; ++v) {
        if (!used[v]) continue;
        oldToNew[v] = static_cast<DWORD>(newToOld->size());
        // Moving down only: the target slot's vertex was moved or unused already.
        std::memmove(vertexBytes + static_cast<size_t>(newToOld->size()) * vertexSize_,
                     vertexBytes + static_cast<size_t>(v) * vertexSize_, vertexSize_);
        newToOld->push_back(v);
    }
    for (size_t i = 0; i < static_cast<size_t>(faces_) * 3; ++i)
        if (view.Get(i) < vertexCount_) view.Set(i, oldToNew[view.Get(i)]);
    vertexCount_ = static_cast<DWORD>(newToOld->size());
    vertices_->Unlock();
    return indices_->Unlock();
}

HRESULT Mesh::OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                              ID3DXBuffer** vertexRemap) {
    if (!(flags & kReorderFlags) || attributesLocked_ || indexLocks_ > 0) return D3DERR_INVALIDCALL;
    if (adjacencyOut && !adjacencyIn) return D3DERR_INVALIDCALL;
    if (vertexRemap) *vertexRemap = nullptr;

    // Stable sort of the faces by attribute id.
    std::vector<DWORD> order(faces_);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](DWORD a, DWORD b) { return attributes_[a] < attributes_[b]; });

    BYTE* bytes = nullptr;
    HRESULT hr = indices_->Lock(0, 0, &bytes, 0);
    if (FAILED(hr)) return hr;
    const IndexView view{bytes, Wide()};
    std::vector<DWORD> oldIndices(static_cast<size_t>(faces_) * 3);
    for (size_t i = 0; i < oldIndices.size(); ++i) oldIndices[i] = view.Get(i);
    std::vector<DWORD> oldAttributes = attributes_;
    for (DWORD f = 0; f < faces_; ++f) {
        for (int k = 0; k < 3; ++k)
            view.Set(static_cast<size_t>(f) * 3 + k, oldIndices[static_cast<size_t>(order[f]) * 3 + k]);
        attributes_[f] = oldAttributes[order[f]];
    }
    hr = indices_->Unlock();
    if (FAILED(hr)) return hr;

    if (faceRemap) std::copy(order.begin(), order.end(), faceRemap);
    if (adjacencyOut) {
        std::vector<DWORD> oldToNew(faces_);
        for (DWORD f = 0; f < faces_; ++f) oldToNew[order[f]] = f;
        for (DWORD f = 0; f < faces_; ++f)
            for (int k = 0; k < 3; ++k) {
                const DWORD neighbour = adjacencyIn[static_cast<size_t>(order[f]) * 3 + k];
                adjacencyOut[static_cast<size_t>(f) * 3 + k] =
                    neighbour < faces_ ? oldToNew[neighbour] : kNoNeighbour;
            }
    }

    std::vector<DWORD> newToOld;
    if ((flags & D3DXMESHOPT_COMPACT) && !(flags & D3DXMESHOPT_IGNOREVERTS)) {
        hr = CompactVertices(&newToOld);
        if (FAILED(hr)) return hr;
    } else {
        newToOld.resize(vertexCount_);
        std::iota(newToOld.begin(), newToOld.end(), 0u);
    }
    if (vertexRemap) {
        Buffer* remap = new Buffer(static_cast<DWORD>(newToOld.size() * sizeof(DWORD)));
        std::memcpy(remap->GetBufferPointer(), newToOld.data(), newToOld.size() * sizeof(DWORD));
        *vertexRemap = remap;
    }

    // One table entry per run of equal ids.
    table_.clear();
    for (DWORD f = 0; f < faces_;) {
        DWORD end = f;
        while (end < faces_ && attributes_[end] == attributes_[f]) ++end;
        table_.push_back({attributes_[f], f, end - f, 0, 0});
        f = end;
    }
    return UpdateVertexRanges();
}

// Copies the elements two vertex formats share; the rest of the target vertex stays 0.
void CopyVertex(const FvfLayout& from, const BYTE* source, const FvfLayout& to, BYTE* target) {
    auto copy = [&](int fromOffset, int toOffset, size_t bytes) {
        if (fromOffset >= 0 && toOffset >= 0) std::memcpy(target + toOffset, source + fromOffset, bytes);
    };
    if (from.hasPosition && to.hasPosition) copy(0, 0, 12);
    if (from.pretransformed && to.pretransformed) copy(12, 12, 4);
    copy(from.weightsOffset, to.weightsOffset, 4 * std::min(from.weightCount, to.weightCount));
    copy(from.indicesOffset, to.indicesOffset, 4);
    copy(from.normalOffset, to.normalOffset, 12);
    copy(from.pointSizeOffset, to.pointSizeOffset, 4);
    copy(from.diffuseOffset, to.diffuseOffset, 4);
    copy(from.specularOffset, to.specularOffset, 4);
    for (UINT set = 0; set < std::min(from.texCoordCount, to.texCoordCount); ++set)
        copy(from.texCoordOffset[set], to.texCoordOffset[set],
             4 * std::min(from.texCoordSize[set], to.texCoordSize[set]));
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** cloneMesh) {
    if (!cloneMesh) return D3DERR_INVALIDCALL;
    *cloneMesh = nullptr;
    if (attributesLocked_) return D3DERR_INVALIDCALL;
    FvfLayout from, to;
    if (!DecodeFvf(fvf_, &from) || !DecodeFvf(fvf, &to)) return D3DERR_INVALIDCALL;
    ID3DXMesh* created = nullptr;
    HRESULT hr = D3DXCreateMeshFVF(faces_, vertexCount_, options, fvf, device ? device : device_, &created);
    if (FAILED(hr)) return hr;
    Mesh* clone = static_cast<Mesh*>(created);

    BYTE *sourceVertices = nullptr, *targetVertices = nullptr, *sourceIndices = nullptr,
         *targetIndices = nullptr;
    hr = vertices_->Lock(0, 0, &sourceVertices, D3DLOCK_READONLY);
    if (SUCCEEDED(hr)) {
        hr = clone->LockVertexBuffer(0, &targetVertices);
        if (SUCCEEDED(hr)) {
            for (DWORD v = 0; v < vertexCount_; ++v)
                CopyVertex(from, sourceVertices + static_cast<size_t>(v) * from.size, to,
                           targetVertices + static_cast<size_t>(v) * to.size);
            clone->UnlockVertexBuffer();
        }
        vertices_->Unlock();
    }
    if (SUCCEEDED(hr)) hr = indices_->Lock(0, 0, &sourceIndices, D3DLOCK_READONLY);
    if (SUCCEEDED(hr)) {
        hr = clone->indices_->Lock(0, 0, &targetIndices, 0);
        if (SUCCEEDED(hr)) {
            const IndexView source{sourceIndices, Wide()}, target{targetIndices, clone->Wide()};
            for (size_t i = 0; i < static_cast<size_t>(faces_) * 3; ++i) target.Set(i, source.Get(i));
            clone->indices_->Unlock();
        }
        indices_->Unlock();
    }
    if (FAILED(hr)) {
        clone->Release();
        return hr;
    }
    clone->attributes_ = attributes_;
    clone->table_ = table_;
    *cloneMesh = clone;
    return D3D_OK;
}

} // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = new Buffer(numBytes);
    return D3D_OK;
}

UINT D3DXGetFVFVertexSize(DWORD fvf) {
    return FvfVertexSize(fvf);
}

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          IDirect3DDevice8* device, ID3DXMesh** mesh) {
    if (!mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (!device || numFaces == 0 || numVertices == 0) return D3DERR_INVALIDCALL;
    const bool wide = (options & D3DXMESH_32BIT) != 0;
    if (!wide && numVertices > 0xFFFF) return D3DERR_INVALIDCALL;
    FvfLayout layout;
    if (!DecodeFvf(fvf, &layout) || !layout.hasPosition) return D3DERR_INVALIDCALL;
    const uint64_t vertexBytes = static_cast<uint64_t>(numVertices) * layout.size;
    const uint64_t indexBytes = static_cast<uint64_t>(numFaces) * 3 * (wide ? 4 : 2);
    if (vertexBytes > 0x7FFFFFFF || indexBytes > 0x7FFFFFFF) return E_OUTOFMEMORY;

    IDirect3DVertexBuffer8* vertices = nullptr;
    HRESULT hr = device->CreateVertexBuffer(
        static_cast<UINT>(vertexBytes),
        UsageFor(options, D3DXMESH_VB_WRITEONLY, D3DXMESH_VB_DYNAMIC, D3DXMESH_VB_SOFTWAREPROCESSING), fvf,
        PoolFor(options, D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED), &vertices);
    if (FAILED(hr)) return hr;
    IDirect3DIndexBuffer8* indices = nullptr;
    hr = device->CreateIndexBuffer(
        static_cast<UINT>(indexBytes),
        UsageFor(options, D3DXMESH_IB_WRITEONLY, D3DXMESH_IB_DYNAMIC, D3DXMESH_IB_SOFTWAREPROCESSING),
        wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16, PoolFor(options, D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED),
        &indices);
    if (FAILED(hr)) {
        vertices->Release();
        return hr;
    }
    // Fresh buffers may hold anything; the mesh starts zeroed.
    BYTE* bytes = nullptr;
    if (SUCCEEDED(vertices->Lock(0, 0, &bytes, 0))) {
        std::memset(bytes, 0, static_cast<size_t>(vertexBytes));
        vertices->Unlock();
    }
    if (SUCCEEDED(indices->Lock(0, 0, &bytes, 0))) {
        std::memset(bytes, 0, static_cast<size_t>(indexBytes));
        indices->Unlock();
    }
    *mesh = new Mesh(device, numFaces, numVertices, options, fvf, layout.size, vertices, indices);
    return D3D_OK;
}
