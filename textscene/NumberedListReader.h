#pragma once

#include <cstdint>

class TextDataFileReader;

// Reads the records "*<keyword> <index> ..." of a list block (vertices, texture vertices,
// texture faces): numbered from 0 in order, at most count of them; other keywords are passed
// over. The records themselves are read and kept by a Records object.
//
// A long list is read by two threads, as FaceListReader reads one: a second reader starts at a
// record near the middle and reads the rest quietly while this one reads up to it. Its records
// are kept only when this reader arrives exactly at that record with the number it began with;
// otherwise they are cleared and read again here, so records, errors and log lines are those of
// a reading in order. A second reader that has not begun by then (on a busy machine) is called
// off and this one reads on by itself.
class NumberedListReader {
public:
    // Lists of at least this many bytes (and without nested blocks) are read by two threads.
    static constexpr int32_t DefaultSplitBytes = 1 << 20;

    // What a list holds. Read takes the rest of record index through the reader given (each
    // thread reads through its own); Clear returns records [from, to) to zero.
    class Records {
    public:
        virtual void Read(TextDataFileReader& reader, int32_t index) = 0;
        virtual void Clear(int32_t from, int32_t to) = 0;

    protected:
        ~Records() = default;
    };

    struct Kind {
        int32_t keyword = 0;
        const char* text = "";       // the keyword as files spell it
        const char* orderError = ""; // a record out of order
        const char* sizeError = "";  // more records than counted
    };

    NumberedListReader(TextDataFileReader& reader, const Kind& kind, Records& records, int32_t count,
                       int32_t splitBytes = DefaultSplitBytes);

    // Reads from the reader's position (just inside the block) to its closing brace (0) or to
    // the end of the data (1).
    int32_t ReadBlock();

    int32_t next = 0;        // number the next record must have
    bool handedOver = false; // the second reader's records were kept
    // The second reader is waited for even when it has not begun by the time this one arrives
    // at its start (otherwise this one reads on by itself): for tests that need the split taken.
    bool waitForSecondReader = false;

private:
    struct Handover;
    int32_t ReadRecords(Handover* handover);
    bool PlanHandover(Handover& handover) const;

    TextDataFileReader& reader;
    const Kind& kind;
    int32_t textLength;
    Records& records;
    int32_t count;
    int32_t splitBytes;
};
