#include "textscene/NumberedListReader.h"

#include <cstring>

#include "textscene/TextDataFileReader.h"

NumberedListReader::NumberedListReader(TextDataFileReader& reader, const Kind& kind, Records& records,
                                       int32_t count, int32_t splitBytes)
    : SplitListReader(reader, kind.keyword, count, splitBytes), kind(kind),
      textLength(static_cast<int32_t>(std::strlen(kind.text))), records(records), splitBytes(splitBytes) {}

std::unique_ptr<SplitListReader> NumberedListReader::MakeTail(TextDataFileReader& tailReader) const {
    return std::make_unique<NumberedListReader>(tailReader, kind, records, count, splitBytes);
}

int32_t NumberedListReader::NextRecord(int32_t /*previous*/) {
    return reader.NextKeywordExpecting(kind.keyword, kind.text, textLength);
}

void NumberedListReader::ReadRecord(int32_t id) {
    if (id != kind.keyword) return;
    const int32_t index = ReadIndex(kind.orderError, kind.sizeError);
    records.Read(reader, index);
    ++next;
}

void NumberedListReader::Clear(int32_t from) {
    records.Clear(from, count);
}
