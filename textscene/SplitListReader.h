#pragma once

#include <cstdint>
#include <memory>

class TextDataFileReader;

// What the readers of long numbered lists share (faces, vertices, texture vertices, texture
// faces): records numbered from 0 in order, at most count of them, read up to the block's
// closing brace.
//
// A long list is read by two threads: a second reader starts at a record near the middle and
// reads the rest quietly while this one reads up to it. Its records are kept only when this
// reader arrives exactly at that record with the number it began with; otherwise they are
// cleared and read again here, so records, errors and log lines are those of a reading in
// order. A second reader that has not begun by then (on a busy machine) is called off and this
// one reads on by itself.
class SplitListReader {
public:
    // Lists of at least this many bytes (and without nested blocks) are read by two threads.
    static constexpr int32_t DefaultSplitBytes = 1 << 20;

    virtual ~SplitListReader();
    SplitListReader(const SplitListReader&) = delete;
    SplitListReader& operator=(const SplitListReader&) = delete;

    // Reads from the reader's position (just inside the block) to its closing brace (0) or to
    // the end of the data (1).
    int32_t ReadBlock();

    int32_t next = 0;        // number the next record must have
    bool handedOver = false; // the second reader's records were kept
    // The second reader is waited for even when it has not begun by the time this one arrives
    // at its start (otherwise this one reads on by itself): for tests that need the split taken.
    bool waitForSecondReader = false;

protected:
    // recordKeyword begins each numbered record; the second reader starts at one.
    SplitListReader(TextDataFileReader& reader, int32_t recordKeyword, int32_t count, int32_t splitBytes);

    // A reader of the same list and records that reads through another reader (the second
    // reader's).
    virtual std::unique_ptr<SplitListReader> MakeTail(TextDataFileReader& tailReader) const = 0;
    // The next keyword of the list; previous is the one read before (0 at the start).
    virtual int32_t NextRecord(int32_t previous) = 0;
    // Reads what follows keyword id; a numbered record begins with ReadIndex.
    virtual void ReadRecord(int32_t id) = 0;
    // Returns records [from, count) to the zeroed state of a new list.
    virtual void Clear(int32_t from) = 0;
    // Takes over what the second reader knows besides its number once its records are kept.
    virtual void TakeOver(const SplitListReader& /*tail*/) {}

    // Reads a record's number and checks it against the order and the count (the errors
    // given); the second reader is given up when the record is one of its own.
    int32_t ReadIndex(const char* orderError, const char* sizeError);

    TextDataFileReader& reader;
    const int32_t count;

private:
    struct Handover;
    // Reads records until the closing brace; with a handover, takes the second reader's records
    // where they begin.
    int32_t ReadRecords(Handover* handover);
    // At a record at or past the second reader's start: true when its records were taken.
    bool MeetSecondReader();
    void DropSecondReader();
    // Finds where a second reader can begin; false when the list is short or not plain.
    bool PlanHandover(Handover& handover) const;

    const int32_t recordKeyword;
    const int32_t splitBytes;
    Handover* handover_ = nullptr; // while ReadRecords runs with a second reader
};
