#pragma once

#include <cstdint>

#include "textscene/MeshRecords.h"

class TextDataFileReader;

// Reads the records of a "MESH_FACE_LIST" block into a face array: "MESH_FACE" with its number
// and corners, and the "MESH_SMOOTHING" and "MESH_MTLID" that belong to the face before them.
// Faces are numbered from 0 in order, at most count of them.
//
// A long list is read by two threads: a second reader starts at a "MESH_FACE" near the middle
// and reads the rest quietly while this one reads up to it. Its faces are kept only when this
// reader arrives exactly at that record with the number it began with; otherwise they are
// cleared and read again here, so faces, errors and log lines are those of a reading in order.
// A second reader that has not begun by then (on a busy machine) is called off and this one
// reads on by itself.
class FaceListReader {
public:
    // Lists of at least this many bytes (and without nested blocks) are read by two threads.
    static constexpr int32_t DefaultSplitBytes = 1 << 20;

    FaceListReader(TextDataFileReader& reader, MeshFace* faces, int32_t count,
                   int32_t splitBytes = DefaultSplitBytes)
        : reader(reader), faces(faces), count(count), splitBytes(splitBytes) {}

    // Reads from the reader's position (just inside the block) to its closing brace (0) or to
    // the end of the data (1).
    int32_t ReadBlock();

    int32_t next = 0;        // number the next "MESH_FACE" must have
    int32_t lastFace = -1;   // the face smoothing groups and material ids apply to
    bool handedOver = false; // the second reader's faces were kept
    // The second reader is waited for even when it has not begun by the time this one arrives
    // at its start (otherwise this one reads on by itself): for tests that need the split taken.
    bool waitForSecondReader = false;

private:
    struct Handover;
    // Reads records until the closing brace; with a handover, takes the second reader's faces
    // where they begin.
    int32_t ReadRecords(Handover* handover);
    // The next keyword of the list, expected to follow the previous one in the usual order.
    int32_t NextRecord(int32_t previous);
    void ReadFace(Handover*& handover);
    void ReadSmoothing();
    void ReadMaterialId();
    // Finds where a second reader can begin; false when the list is short or not plain.
    bool PlanHandover(Handover& handover) const;

    TextDataFileReader& reader;
    MeshFace* faces;
    int32_t count;
    int32_t splitBytes;
};
