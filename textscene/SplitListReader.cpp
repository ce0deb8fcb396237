#include "textscene/SplitListReader.h"

#include <atomic>
#include <thread>

#include "foundation/ErrorReport.h"
#include "textscene/KeywordTable.h"
#include "textscene/TextDataFileReader.h"

// The second reader: from the '*' of a record near the middle to the block's end.
struct SplitListReader::Handover {
    int32_t start = -1;     // position of the record's '*'
    int32_t firstIndex = 0; // its number
    int32_t blockEnd = 0;   // position of the block's closing brace
    bool succeeded = false; // read to the closing brace without an error
    SplitListReader* owner = nullptr;
    SplitListReader* tail = nullptr;
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
    // Waits for the second reader; true when its records can be kept.
    bool Join(int32_t expectedIndex) { return Finish() && succeeded && expectedIndex == firstIndex; }
    // Gives up the second reader's records: they return to the zeroed state of a new list.
    void Discard() {
        if (Finish()) owner->Clear(firstIndex);
    }
};

SplitListReader::SplitListReader(TextDataFileReader& reader, int32_t recordKeyword, int32_t count,
                                 int32_t splitBytes)
    : reader(reader), count(count), recordKeyword(recordKeyword), splitBytes(splitBytes) {}

SplitListReader::~SplitListReader() = default;

int32_t SplitListReader::ReadBlock() {
    // Declared before the handover, whose thread uses them until it is joined.
    TextDataFileReader tailReader;
    std::unique_ptr<SplitListReader> tail;
    Handover handover;
    if (!PlanHandover(handover)) return ReadRecords(nullptr);

    tail = MakeTail(tailReader);
    handover.mayCancel = !waitForSecondReader;
    tailReader.SetQuiet(true);
    tailReader.SetPath(reader.GetPath());
    tailReader.SetVersion(reader.GetVersionMajor() * 100 + reader.GetVersionMinor());
    tailReader.SetDataView(reader.GetData(), handover.blockEnd + 1);
    tailReader.MoveBy(handover.start);
    tail->next = handover.firstIndex;
    handover.owner = this;
    handover.tail = tail.get();
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
        handover_ = nullptr;
        if (handover.worker.joinable()) handover.Discard();
        throw;
    }
}

bool SplitListReader::PlanHandover(Handover& handover) const {
    const int32_t from = reader.GetPosition();
    const int32_t brace = reader.NextBracePosition();
    if (count < 2 || brace >= reader.GetDataSize() || reader.GetData()[brace] != '}' ||
        brace - from < splitBytes)
        return false;
    // A record after the middle with a number inside the list.
    TextDataFileReader scout;
    scout.SetQuiet(true);
    scout.SetDataView(reader.GetData(), brace + 1);
    scout.MoveBy(from + (brace - from) / 2);
    try {
        for (;;) {
            const int32_t id = scout.NextKeyword();
            if (id == KW_END_OF_BLOCK || id == KW_END_OF_DATA) return false;
            if (id == recordKeyword) break;
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

int32_t SplitListReader::ReadRecords(Handover* handover) {
    handover_ = handover;
    for (int32_t id = KW_UNKNOWN;;) {
        id = NextRecord(id);
        if (id == KW_END_OF_BLOCK || id == KW_END_OF_DATA) {
            // Ended without meeting the second reader's start (a record read past the block).
            if (handover_) DropSecondReader();
            return id == KW_END_OF_BLOCK ? 0 : 1;
        }
        if (handover_ && MeetSecondReader()) return 0;
        ReadRecord(id);
    }
}

bool SplitListReader::MeetSecondReader() {
    const int32_t start = reader.GetKeywordStart() - 1;
    if (start < handover_->start) return false;
    // Past the start the second reader began at a place that an in-order reading never
    // begins at; at it, its records are kept when it read them as this reader would have.
    if (start == handover_->start && handover_->Join(next)) {
        next = handover_->tail->next;
        TakeOver(*handover_->tail);
        reader.MoveBy(handover_->tailReader->GetPosition() - reader.GetPosition());
        handedOver = true;
        handover_ = nullptr;
        // The second reader's half of the list lies behind now.
        reader.ReleaseBefore(reader.GetPosition());
        return true;
    }
    DropSecondReader();
    return false;
}

void SplitListReader::DropSecondReader() {
    Handover* handover = handover_;
    handover_ = nullptr;
    handover->Discard();
}

int32_t SplitListReader::ReadIndex(const char* orderError, const char* sizeError) {
    reader.ReleaseBefore(reader.GetKeywordStart());
    int32_t index = -1;
    reader.ScanInt(index);
    if (index != next) reader.Error("%s", orderError);
    if (index >= count) reader.Error("%s", sizeError);
    // The second reader owns the records from its first one on until it is joined.
    if (handover_ && index >= handover_->firstIndex) DropSecondReader();
    return index;
}
