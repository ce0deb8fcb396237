#pragma once

#include <cstdint>

#include "textscene/MeshRecords.h"
#include "textscene/SplitListReader.h"

// Reads the records of a "MESH_FACE_LIST" block into a face array: "MESH_FACE" with its number
// and corners, and the "MESH_SMOOTHING" and "MESH_MTLID" that belong to the face before them.
// Faces are numbered from 0 in order, at most count of them; long lists are read by two
// threads (SplitListReader).
class FaceListReader final : public SplitListReader {
public:
    FaceListReader(TextDataFileReader& reader, MeshFace* faces, int32_t count,
                   int32_t splitBytes = DefaultSplitBytes);

    int32_t lastFace = -1; // the face smoothing groups and material ids apply to

private:
    std::unique_ptr<SplitListReader> MakeTail(TextDataFileReader& tailReader) const override;
    // The next keyword of the list, expected to follow the previous one in the usual order.
    int32_t NextRecord(int32_t previous) override;
    void ReadRecord(int32_t id) override;
    void Clear(int32_t from) override;
    void TakeOver(const SplitListReader& tail) override;
    void ReadFace();
    void ReadSmoothing();
    void ReadMaterialId();

    MeshFace* faces;
    int32_t splitBytes;
};
