#pragma once

#include <cstdint>

#include "textscene/SplitListReader.h"

// Reads the records "*<keyword> <index> ..." of a list block (vertices, texture vertices,
// texture faces): numbered from 0 in order, at most count of them; other keywords are passed
// over. The records themselves are read and kept by a Records object. Long lists are read by
// two threads (SplitListReader).
class NumberedListReader final : public SplitListReader {
public:
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

private:
    std::unique_ptr<SplitListReader> MakeTail(TextDataFileReader& tailReader) const override;
    int32_t NextRecord(int32_t previous) override;
    void ReadRecord(int32_t id) override;
    void Clear(int32_t from) override;

    const Kind& kind;
    int32_t textLength;
    Records& records;
    int32_t splitBytes;
};
