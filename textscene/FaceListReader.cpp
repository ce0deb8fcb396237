#include "textscene/FaceListReader.h"

#include <cstring>

#include "textscene/KeywordTable.h"
#include "textscene/TextDataFileReader.h"

FaceListReader::FaceListReader(TextDataFileReader& reader, MeshFace* faces, int32_t count, int32_t splitBytes)
    : SplitListReader(reader, KW_MESH_FACE, count, splitBytes), faces(faces), splitBytes(splitBytes) {}

std::unique_ptr<SplitListReader> FaceListReader::MakeTail(TextDataFileReader& tailReader) const {
    return std::make_unique<FaceListReader>(tailReader, faces, count, splitBytes);
}

int32_t FaceListReader::NextRecord(int32_t previous) {
    // Writers follow each face with its smoothing groups and then its material id.
    if (previous == KW_MESH_FACE) return reader.NextKeywordExpecting(KW_MESH_SMOOTHING, "MESH_SMOOTHING");
    if (previous == KW_MESH_SMOOTHING) return reader.NextKeywordExpecting(KW_MESH_MTLID, "MESH_MTLID");
    return reader.NextKeywordExpecting(KW_MESH_FACE, "MESH_FACE");
}

void FaceListReader::ReadRecord(int32_t id) {
    if (id == KW_MESH_FACE)
        ReadFace();
    else if (id == KW_MESH_SMOOTHING)
        ReadSmoothing();
    else if (id == KW_MESH_MTLID)
        ReadMaterialId();
}

void FaceListReader::Clear(int32_t from) {
    std::memset(faces + from, 0, sizeof(MeshFace) * static_cast<std::size_t>(count - from));
}

void FaceListReader::TakeOver(const SplitListReader& tail) {
    lastFace = static_cast<const FaceListReader&>(tail).lastFace;
}

void FaceListReader::ReadFace() {
    const int32_t index = ReadIndex("Wrong face list order!", "Too many faces");
    MeshFace& face = faces[index];
    const char labels[3] = {'A', 'B', 'C'};
    for (int32_t k = 0; k < 3; ++k) {
        reader.SkipTo(labels[k]);
        reader.SkipTo(':');
        int32_t corner = 0;
        reader.ScanInt(corner);
        face.corner[k] = static_cast<uint16_t>(corner);
    }
    lastFace = index;
    ++next;
}

void FaceListReader::ReadSmoothing() {
    // An empty list (the next keyword follows at once) leaves the face unsmoothed.
    if (reader.SkipWhitespace() || reader.PeekChar() == '*') return;
    uint8_t groups[MeshFace::MaxGroups];
    int32_t groupCount = 0;
    int32_t group = 0;
    if (reader.ScanInt(group)) return;
    groups[groupCount++] = static_cast<uint8_t>(group);
    while (!reader.SkipWhitespace() && reader.PeekChar() == ',') {
        reader.GetChar();
        reader.SkipWhitespace();
        if (reader.ScanInt(group)) break;
        if (groupCount < MeshFace::MaxGroups) groups[groupCount++] = static_cast<uint8_t>(group);
    }
    if (lastFace >= 0) {
        std::memcpy(faces[lastFace].groups, groups, static_cast<std::size_t>(groupCount));
        faces[lastFace].groupCount = static_cast<uint16_t>(groupCount);
    }
}

void FaceListReader::ReadMaterialId() {
    int32_t material = 0;
    if (!reader.ScanInt(material) && lastFace >= 0) faces[lastFace].materialId = material;
}
