// GEOMOBJECT blocks: node data, the mesh lists and the bone weights.

#include <cstring>

#include "scene/Scene3d.h"
#include "textscene/FaceListReader.h"
#include "textscene/KZVLoader.h"
#include "textscene/KeywordTable.h"

namespace {

// Fewest bytes a record of each list takes in a file: its keyword and one number. A count
// larger than the rest of the file could hold is refused before anything is allocated.
constexpr int32_t MinVertexRecord = sizeof("*MESH_VERTEX 0") - 1;
constexpr int32_t MinFaceRecord = sizeof("*MESH_FACE 0") - 1;
constexpr int32_t MinTexVertexRecord = sizeof("*MESH_TVERT 0") - 1;
constexpr int32_t MinTexFaceRecord = sizeof("*MESH_TFACE 0") - 1;

// Bone indices of a vertex are kept in one byte.
constexpr int32_t MaxBones = 256;

} // namespace

void KZVLoader::FreeGeometry() {
    vertices.reset();
    faces.reset();
    texVertices.reset();
    texFaces.reset();
    numVertices = numFaces = numTexVertices = numTexFaces = 0;
    lastFace = -1;
}

template <class Record>
void KZVLoader::ReadListCount(PageArray<Record>& list, int32_t& size, int32_t minRecordBytes,
                              const char* what) {
    int32_t count = 0;
    ScanInt(count);
    if (count < 0) Error("Invalid %s count: %i", what, count);
    if (static_cast<int64_t>(count) * minRecordBytes > RemainingBytes())
        Error("%s count %i is more than the rest of the file can hold", what, count);
    list = PageArray<Record>(count);
    size = count;
}

namespace {

// The records of a numbered list in a zeroed array; read(reader, record) reads one.
template <class Record, class ReadRecord> class ArrayRecords final : public NumberedListReader::Records {
public:
    ArrayRecords(Record* records, ReadRecord read) : records(records), read(read) {}
    void Read(TextDataFileReader& reader, int32_t index) override { read(reader, records[index]); }
    void Clear(int32_t from, int32_t to) override {
        if (to > from) std::memset(records + from, 0, sizeof(Record) * static_cast<std::size_t>(to - from));
    }

private:
    Record* records;
    ReadRecord read;
};

const NumberedListReader::Kind VertexList{KW_MESH_VERTEX, "MESH_VERTEX", "Wrong vertex list order!",
                                          "Too many vertices"};
const NumberedListReader::Kind TexVertexList{KW_MESH_TVERT, "MESH_TVERT", "Wrong vertex list order!",
                                             "Too many t-vertices"};
const NumberedListReader::Kind TexFaceList{KW_MESH_TFACE, "MESH_TFACE", "Wrong face list order!",
                                           "Too many t-faces"};

} // namespace

template <class Record, class ReadRecord>
int32_t KZVLoader::ReadNumberedList(const NumberedListReader::Kind& kind, Record* records, int32_t size,
                                    ReadRecord readRecord) {
    ArrayRecords<Record, ReadRecord> target(records, readRecord);
    NumberedListReader list(*this, kind, target, size, listSplitBytes);
    list.waitForSecondReader = waitForSecondReaders;
    const int32_t end = list.ReadBlock();
    if (list.handedOver) ++splitLists;
    return end;
}

int32_t KZVLoader::ReadGeomObject() {
    DynaMem<DXC_Mesh>& meshes = scene->Meshes();
    const int32_t slot = meshes.AddNew();
    DXC_Mesh* mesh = meshes.Get(slot);
    currentMesh = mesh;
    mesh->objectType = ObjectTypeMesh;
    materialRef = -1;
    for (float& c : wireColour) c = 1.0f;
    maxWeightsPerVertex = 0;
    animationOwner = nullptr;
    FreeGeometry();
    bool hasGeometry = false;
    NodeTransform pivot;

    int32_t result = 0;
    for (bool open = true; open;) {
        const int32_t id = NextKeyword();
        int32_t end = 0;
        switch (id) {
        case KW_END_OF_BLOCK:
            open = false;
            break;
        case KW_END_OF_DATA:
            open = false;
            result = 1;
            break;
        case KW_NODE_NAME:
            ScanStringName(mesh->name);
            break;
        case KW_NODE_PARENT:
            ScanStringName(mesh->parentName);
            break;
        case KW_NODE_VISIBLE: {
            int32_t visible = 0;
            if (!ScanInt(visible)) mesh->visible = visible != 0;
            break;
        }
        case KW_NODE_TM:
            SkipTo('{');
            end = ReadTransform(mesh->nodeTransform);
            break;
        case KW_PIVOT_TM:
            SkipTo('{');
            end = ReadTransform(pivot);
            mesh->pivotTM = pivot.matrix;
            break;
        case KW_TM_ANIMATION:
            SkipTo('{');
            animationTarget = mesh;
            end = ReadTmAnimation();
            break;
        case KW_MESH:
            // A clone has no geometry of its own: its mesh block is passed over.
            if (!mesh->cloneName.IsEmpty()) break;
            SkipTo('{');
            end = ReadMesh();
            hasGeometry = numFaces > 0;
            break;
        case KW_CLONE:
            hasGeometry = true;
            ScanStringName(mesh->cloneName);
            break;
        case KW_MATERIAL_REF:
            ScanInt(materialRef);
            break;
        case KW_WIREFRAME_COLOR: {
            float c[3];
            if (!ScanVector(c)) {
                wireColour[0] = c[0];
                wireColour[1] = c[1];
                wireColour[2] = c[2];
            }
            break;
        }
        default:
            break;
        }
        if (end) {
            open = false;
            result = 1;
        }
    }

    if (hasGeometry) {
        if (GetVersionMajor() == 1 && mesh->cloneName.IsEmpty()) D3DXMatrixIdentity(&mesh->pivotTM);
        if (!mesh->cloneName.IsEmpty())
            RecordMeshInfo(mesh);
        else
            BuildMesh();
    } else {
        // Without faces the node is a helper that keeps name, parent, transforms and keys.
        DXC_3dObject* helper = scene->Helpers().Get(scene->Helpers().AddNew());
        mesh->CopyTo(helper, 1);
        helper->objectType = ObjectTypeHelper;
        NoteHelper(helper);
        meshes.Delete(slot);
    }
    FreeGeometry();
    currentMesh = nullptr;
    return result;
}

int32_t KZVLoader::ReadMesh() {
    FreeGeometry();
    currentMesh->texFaceFlag = 0;
    D3DXVECTOR3 boxMin(0, 0, 0), boxMax(0, 0, 0);
    int32_t result = 0;
    for (bool open = true; open;) {
        const int32_t id = NextKeyword();
        int32_t end = 0;
        switch (id) {
        case KW_END_OF_BLOCK:
            open = false;
            break;
        case KW_END_OF_DATA:
            open = false;
            result = 1;
            break;
        case KW_MESH_NUMVERTEX:
            ReadListCount(vertices, numVertices, MinVertexRecord, "Vertex");
            break;
        case KW_MESH_NUMFACES:
            ReadListCount(faces, numFaces, MinFaceRecord, "Face");
            lastFace = -1;
            break;
        case KW_MESH_NUMTVERTEX:
            ReadListCount(texVertices, numTexVertices, MinTexVertexRecord, "T-vertex");
            break;
        case KW_MESH_NUMTVFACES:
            ReadListCount(texFaces, numTexFaces, MinTexFaceRecord, "T-face");
            break;
        case KW_MESH_VERTEX_LIST:
            SkipTo('{');
            end = ReadVertexList();
            break;
        case KW_MESH_FACE_LIST:
            SkipTo('{');
            end = ReadFaceList();
            break;
        case KW_MESH_TVERTLIST:
            SkipTo('{');
            end = ReadTexVertexList();
            break;
        case KW_MESH_TFACELIST:
            currentMesh->texFaceFlag = 1;
            SkipTo('{');
            end = ReadTexFaceList();
            break;
        case KW_MESH_WEIGHTS:
            SkipTo('{');
            end = ReadWeights();
            currentMesh->CreateBoneObjects();
            break;
        case KW_BOUNDINGBOX_MIN:
            ScanVector(boxMin);
            break;
        case KW_BOUNDINGBOX_MAX:
            ScanVector(boxMax);
            break;
        default:
            break;
        }
        if (end) {
            open = false;
            result = 1;
        }
    }
    currentMesh->SetBoundingBox(boxMin, boxMax);
    return result;
}

int32_t KZVLoader::ReadVertexList() {
    return ReadNumberedList(
        VertexList, vertices.get(), numVertices,
        [](TextDataFileReader& reader, MeshVertex& vertex) { reader.ScanVector(vertex.position); });
}

int32_t KZVLoader::ReadFaceList() {
    FaceListReader records(*this, faces.get(), numFaces, listSplitBytes);
    records.lastFace = lastFace;
    records.waitForSecondReader = waitForSecondReaders;
    const int32_t end = records.ReadBlock();
    lastFace = records.lastFace;
    if (records.handedOver) ++splitLists;
    return end;
}

int32_t KZVLoader::ReadTexVertexList() {
    return ReadNumberedList(TexVertexList, texVertices.get(), numTexVertices,
                            [](TextDataFileReader& reader, TexVertex& vertex) {
                                float uvw[3] = {0, 0, 0};
                                reader.ScanVector(uvw);
                                vertex = {uvw[0], 1.0f - uvw[1], uvw[2]};
                            });
}

int32_t KZVLoader::ReadTexFaceList() {
    return ReadNumberedList(TexFaceList, texFaces.get(), numTexFaces,
                            [](TextDataFileReader& reader, TexFace& face) {
                                for (int32_t k = 0; k < 3; ++k) {
                                    int32_t corner = 0;
                                    reader.ScanInt(corner);
                                    face.corner[k] = static_cast<uint16_t>(corner);
                                }
                            });
}

// ---- weights --------------------------------------------------------------------------------

int32_t KZVLoader::ReadWeights() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id == KW_MESH_INIT_TM) {
            SkipTo('{');
            if (ReadTransform(meshInitTransform)) return 1;
            if (!VersionAtLeast(2, 11))
                D3DXMatrixMultiply(&meshInitTransform.matrix, &currentMesh->pivotTM,
                                   &meshInitTransform.matrix);
            D3DXMATRIX identity;
            D3DXMatrixIdentity(&identity);
            FindOrAddBone(currentMesh->name.Text(), identity, identity, nullptr);
        } else if (id == KW_BONE_WEIGHT) {
            SkipTo('{');
            if (ReadBoneWeight()) return 1;
        }
    }
}

int32_t KZVLoader::ReadBoneWeight() {
    int32_t bone = 0;
    String boneName;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id == KW_BONE_NAME) {
            ScanStringName(boneName);
        } else if (id == KW_BONE_INIT_TM) {
            SkipTo('{');
            NodeTransform boneInit;
            const int32_t end = ReadTransform(boneInit);
            D3DXMATRIX combined;
            D3DXMatrixMultiply(&combined, &meshInitTransform.matrix, &boneInit.matrix);
            bone = FindOrAddBone(boneName.Text(), boneInit.matrix, meshInitTransform.matrix, &combined);
            if (end) return 1;
        } else if (id == KW_INDEX_WEIGHT) {
            ReleaseBefore(GetKeywordStart());
            int32_t vertex = -1;
            float weight = 0.0f;
            ScanInt(vertex);
            ScanFloat(weight);
            if (vertex < 0 || vertex >= numVertices) Error("Invalid weight index: %i", vertex);
            if (weight < 0.1f) continue;
            AddWeight(vertex, bone, weight);
        }
    }
}

int32_t KZVLoader::FindOrAddBone(const char* boneName, const D3DXMATRIX& boneInit, const D3DXMATRIX& meshInit,
                                 const D3DXMATRIX* combined) {
    DynaMem<BoneRecord>& bones = currentMesh->GetBones();
    for (int32_t p = 0; p < bones.GetCount(); ++p)
        if (bones.GetAt(p)->name.Equals(boneName)) return p;
    if (bones.GetCount() >= MaxBones)
        Error("More than %i bones in object '%s'", MaxBones, currentMesh->name.Text());
    BoneRecord record;
    record.name = boneName;
    record.boneInit = boneInit;
    record.meshInit = meshInit;
    if (combined) record.combined = *combined;
    bones.Add(record);
    return bones.GetCount() - 1;
}

void KZVLoader::AddWeight(int32_t vertexIndex, int32_t boneIndex, float weight) {
    MeshVertex& v = vertices[vertexIndex];
    if (v.weightCount < 4) {
        v.boneIndices[v.weightCount] = static_cast<uint8_t>(boneIndex);
        v.weights[v.weightCount] = weight;
        ++v.weightCount;
        if (v.weightCount > maxWeightsPerVertex) maxWeightsPerVertex = v.weightCount;
        return;
    }
    // The smallest of the four gives way; ties go to the later slot of each pair, and
    // between the pairs to slot 3 but not to slot 2.
    const float* w = v.weights;
    const int32_t a = w[0] < w[1] ? 0 : 1;
    const int32_t b = w[2] < w[3] ? 2 : 3;
    int32_t slot;
    if (w[a] < w[b])
        slot = a;
    else if (w[a] > w[b])
        slot = b;
    else
        slot = b == 3 ? 3 : a;
    v.boneIndices[slot] = static_cast<uint8_t>(boneIndex);
    v.weights[slot] = weight;
    Warning("More than 4 bones in vertex of object '%s'", currentMesh->name.Text());
}
