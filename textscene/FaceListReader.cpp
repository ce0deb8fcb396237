#include "textscene/FaceListReader.h"

#include <atomic>
#include <cstring>
#include <thread>

#include "foundation/ErrorReport.h"
#include "textscene/KeywordTable.h"
#include "textscene/TextDataFileReader.h"

// The second reader: from the '*' of a "MESH_FACE" record near the middle to the block's end.
struct FaceListReader::Handover {
    int32_t start = -1;     // position of the record's '*'
    int32_t firstIndex = 0; // its face number
    int32_t blockEnd = 0;   // position of the block's closing brace
    bool succeeded = false; // read to the closing brace without an error
    FaceListReader* tail = nullptr;
    TextDataFileReader* tailReader = nullptr;
    // Whether the second reader began: a reader that has not begun when this one arrives at
    // its start never does, and this one reads on by itself instead of waiting for a thread
    // that a busy machine has not run yet.
    enum : int { Waiting, Running, Cancelled };
    std::atomic<int> state{Waiting};
    bool mayCancel = true;
    std::jthread worker; // joined on every way out, errors included; at once when cancelled

    // True when the second reader began (and is now done); false when it never will.
    bool Finish() {
        int expected = Waiting;
        if (mayCancel && (state.compare_exchange_strong(expected, Cancelled) || expected == Cancelled))
            return false;
        if (worker.joinable()) worker.join();
        return true;
    }
    // Waits for the second reader; true when its faces can be kept.
    bool Join(int32_t expectedIndex) { return Finish() && succeeded && expectedIndex == firstIndex; }
    // Gives up the second reader's faces: they return to the zeroed state of a new list.
    void Discard(MeshFace* faces, int32_t count) {
        if (Finish())
            std::memset(faces + firstIndex, 0,
                        sizeof(MeshFace) * static_cast<std::size_t>(count - firstIndex));
    }
};

int32_t FaceListReader::ReadBlock() {
    // Declared before the handover, whose thread uses them until it is joined.
    TextDataFileReader tailReader;
    FaceListReader tail(tailReader, faces, count, splitBytes);
    Handover handover;
    if (!PlanHandover(handover)) return ReadRecords(nullptr);

    handover.mayCancel = !waitForSecondReader;
    tailReader.SetQuiet(true);
    tailReader.SetPath(reader.GetPath());
    tailReader.SetDataView(reader.GetData(), handover.blockEnd + 1);
    tailReader.MoveBy(handover.start);
    tail.next = handover.firstIndex;
    handover.tail = &tail;
    handover.tailReader = &tailReader;
    handover.worker = std::jthread([&handover] {
        int expected = Handover::Waiting;
        if (!handover.state.compare_exchange_strong(expected, Handover::Running)) return;
        try {
            handover.succeeded = handover.tail->ReadRecords(nullptr) == 0;
        } catch (...) {
            handover.succeeded = false;
        }
    });
    try {
        return ReadRecords(&handover);
    } catch (...) {
        // An error of the first half ends the list where an in-order reading ends it.
        if (handover.worker.joinable()) handover.Discard(faces, count);
        throw;
    }
}

bool FaceListReader::PlanHandover(Handover& handover) const {
    const int32_t from = reader.GetPosition();
    const int32_t brace = reader.NextBracePosition();
    if (count < 2 || brace >= reader.GetDataSize() || reader.GetData()[brace] != '}' ||
        brace - from < splitBytes)
        return false;
    // A "MESH_FACE" after the middle with a number inside the list.
    TextDataFileReader scout;
    scout.SetQuiet(true);
    scout.SetDataView(reader.GetData(), brace + 1);
    scout.MoveBy(from + (brace - from) / 2);
    try {
        for (;;) {
            const int32_t id = scout.NextKeyword();
            if (id == KW_END_OF_BLOCK || id == KW_END_OF_DATA) return false;
            if (id == KW_MESH_FACE) break;
        }
        handover.start = scout.GetKeywordStart() - 1;
        int32_t index = -1;
        if (scout.ScanInt(index) || index <= 0 || index >= count) return false;
        handover.firstIndex = index;
    } catch (const ErrorMsg&) {
        return false;
    }
    handover.blockEnd = brace;
    return true;
}

int32_t FaceListReader::NextRecord(int32_t previous) {
    // Writers follow each face with its smoothing groups and then its material id.
    if (previous == KW_MESH_FACE) return reader.NextKeywordExpecting(KW_MESH_SMOOTHING, "MESH_SMOOTHING");
    if (previous == KW_MESH_SMOOTHING) return reader.NextKeywordExpecting(KW_MESH_MTLID, "MESH_MTLID");
    return reader.NextKeywordExpecting(KW_MESH_FACE, "MESH_FACE");
}

int32_t FaceListReader::ReadRecords(Handover* handover) {
    for (int32_t id = KW_MESH_MTLID;;) {
        id = NextRecord(id);
        if (id == KW_END_OF_BLOCK || id == KW_END_OF_DATA) {
            // Ended without meeting the second reader's start (a record read past the block).
            if (handover) handover->Discard(faces, count);
            return id == KW_END_OF_BLOCK ? 0 : 1;
        }
        if (handover) {
            const int32_t start = reader.GetKeywordStart() - 1;
            if (start == handover->start) {
                if (handover->Join(next)) {
                    next = handover->tail->next;
                    lastFace = handover->tail->lastFace;
                    reader.MoveBy(handover->tailReader->GetPosition() - reader.GetPosition());
                    handedOver = true;
                    // The second reader's half of the list lies behind now.
                    reader.ReleaseBefore(reader.GetPosition());
                    return 0;
                }
                handover->Discard(faces, count);
                handover = nullptr;
            } else if (start > handover->start) {
                // A record reached past the second reader's start: it read from a place that an
                // in-order reading never begins at.
                handover->Discard(faces, count);
                handover = nullptr;
            }
        }
        if (id == KW_MESH_FACE)
            ReadFace(handover);
        else if (id == KW_MESH_SMOOTHING)
            ReadSmoothing();
        else if (id == KW_MESH_MTLID)
            ReadMaterialId();
    }
}

void FaceListReader::ReadFace(Handover*& handover) {
    reader.ReleaseBefore(reader.GetKeywordStart());
    int32_t index = -1;
    reader.ScanInt(index);
    if (index != next) reader.Error("Wrong face list order!");
    if (index >= count) reader.Error("Too many faces");
    // The second reader owns the faces from its first one on until it is joined.
    if (handover && index >= handover->firstIndex) {
        handover->Discard(faces, count);
        handover = nullptr;
    }
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
