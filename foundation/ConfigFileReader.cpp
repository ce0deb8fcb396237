#include "foundation/ConfigFileReader.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "platform/FileSystem.h"

namespace {

constexpr unsigned char CR = '\r';
constexpr unsigned char LF = '\n';

bool IsLineEnd(unsigned char c) {
    return c == CR || c == LF;
}

} // namespace

ConfigFileReader::ConfigFileReader() : lineBuffer(MaxLineLength + 1) {
    SetObjectName("ConfigFileReader");
    std::snprintf(errorText, sizeof errorText, "No error");
}

void ConfigFileReader::SetErrorText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(errorText, sizeof errorText, format, args);
    va_end(args);
}

void ConfigFileReader::Reset() {
    content.clear();
    lines.clear();
    entries.clear();
    descIndex.Clear();
    opened = 0;
    foundInParent = 0;
    blockDepth = -1;
    std::snprintf(errorText, sizeof errorText, "No error");
}

int32_t ConfigFileReader::Open(const char* name) {
    Reset();
    fileName = name;
    int32_t result = ReadFile();
    if (result == Opened) result = SplitLines();
    if (result == Opened) result = IndexEntries();
    if (result == Opened) result = BuildDescIndex();
    opened = result == Opened ? 1 : 0;
    return result;
}

int32_t ConfigFileReader::ReadFile() {
    errno = 0;
    FILE* f = OpenFile(fileName.Text(), "rb");
    if (!f) {
        SetErrorText("Can not open file %s, Code:%i", fileName.Text(), errno);
        return CannotOpen;
    }
    bool ok = true;
    unsigned char chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        content.insert(content.end(), chunk, chunk + n);
        // Line offsets are 32-bit: a larger file is refused before it fills the memory.
        if (content.size() > static_cast<size_t>(INT32_MAX)) {
            std::fclose(f);
            content.clear();
            SetErrorText("File %s too big", fileName.Text());
            return TooManyLines;
        }
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    if (!ok) {
        SetErrorText("Can not read from file %s", fileName.Text());
        return CannotRead;
    }
    return Opened;
}

// Every CR or LF ends a line (CR LF is one line end). After a line end, control characters
// other than tab are skipped up to the start of the next line; a further line end there
// stands for an empty line. A file ending with a line end has a final empty line.
int32_t ConfigFileReader::SplitLines() {
    const int64_t size = static_cast<int64_t>(content.size());
    int64_t start = 0;
    auto addLine = [&](int64_t from, int64_t to) {
        if (to - from > MaxLineLength) {
            SetErrorText("Line too long in file %s", fileName.Text());
            return LineTooLong;
        }
        if (static_cast<int32_t>(lines.size()) >= MaxLines) {
            SetErrorText("File %s too big", fileName.Text());
            return TooManyLines;
        }
        lines.push_back({static_cast<int32_t>(from), static_cast<int32_t>(to - from), 0});
        return Opened;
    };
    int64_t i = 0;
    while (i < size) {
        const unsigned char c = content[i];
        if (!IsLineEnd(c)) {
            ++i;
            continue;
        }
        if (int32_t r = addLine(start, i); r != Opened) return r;
        ++i;
        if (c == CR && i < size && content[i] == LF) ++i;
        while (i < size && content[i] < ' ' && content[i] != '\t' && !IsLineEnd(content[i])) ++i;
        start = i;
    }
    // The last line: the text after the last line end, or the empty line after a final one.
    return addLine(start, size);
}

int32_t ConfigFileReader::MatchKey(int32_t i, const char* key, int32_t keyLength) const {
    const LineInfo& line = lines[i];
    const char* text = reinterpret_cast<const char*>(content.data()) + line.start;
    int32_t p = 0;
    while (p < line.length && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (line.length - p < keyLength) return -1;
    const bool same = caseSensitive ? std::strncmp(text + p, key, keyLength) == 0
                                    : strncasecmp(text + p, key, keyLength) == 0;
    if (!same) return -1;
    p += keyLength;
    // Keys such as "#" need no delimiter; word keys must end at a blank or '='.
    if (keyLength > 0 && static_cast<unsigned char>(key[0]) < 'A') return p;
    if (p < line.length && (text[p] == ' ' || text[p] == '=')) return p;
    return -1;
}

int32_t ConfigFileReader::IndexEntries() {
    for (int32_t i = 0; i < GetLineCount(); ++i)
        if (MatchKey(i, "#", 1) >= 0) entries.push_back({i, 0});
    for (size_t e = 0; e < entries.size(); ++e) {
        const int32_t end = e + 1 < entries.size() ? entries[e + 1].first : GetLineCount();
        entries[e].count = end - entries[e].first;
    }

    // Each entry starts at depth 0. A line holds at most one brace, and nothing but blanks
    // may follow it on that line.
    int32_t depth = 0;
    for (const EntryInfo& entry : entries) {
        depth = 0;
        for (int32_t i = entry.first; i < entry.first + entry.count; ++i) {
            LineInfo& line = lines[i];
            line.depth = depth;
            bool marked = false;
            for (int32_t p = 0; p < line.length; ++p) {
                const unsigned char c = content[line.start + p];
                if (marked) {
                    if (c >= '!') {
                        Error("Invalid block start/end in file '%s' at line %i", fileName.Text(), i + 1);
                        return BadBlocks;
                    }
                } else if (c == '{') {
                    ++depth;
                    marked = true;
                } else if (c == '}') {
                    if (depth == 0) {
                        Error("Invalid '}' in file '%s' at line %i", fileName.Text(), i + 1);
                        return BadBlocks;
                    }
                    --depth;
                    marked = true;
                }
            }
        }
    }
    if (depth != 0) {
        Error("Unfinished block in file '%s'", fileName.Text());
        return BadBlocks;
    }
    return Opened;
}

int32_t ConfigFileReader::BuildDescIndex() {
    if (descKey.IsEmpty()) return Opened;
    // The index reports with this reader's throw setting, so that a reader that does not
    // throw gets its result code also for a value the index cannot file (an empty value, or
    // one beginning with a character outside 32..127); the index has logged why.
    descIndex.SetThrowFlag(GetThrowFlag());
    descIndex.ClearErrorFlag();
    String value;
    for (int32_t e = 0; e < GetEntryCount(); ++e) {
        if (LocalValue(descKey.Text(), value, e) != ValueFound) {
            Error("No 'desc' entry in entry %i in file '%s'", e, fileName.Text());
            return BadDescIndex;
        }
        DescEntry* entry = descIndex.Insert(value);
        if (!entry && descIndex.GetErrorFlag()) return BadDescIndex;
        if (!entry) {
            Error("'desc' entry in '%s' (%i) not unique: '%s'", fileName.Text(), e, value.Text());
            return BadDescIndex;
        }
        entry->entry = e;
    }
    return Opened;
}

const char* ConfigFileReader::Line(int32_t i) {
    if (i < 0 || i >= GetLineCount()) {
        SetErrorText("Line #%i does not exist", i);
        return nullptr;
    }
    const LineInfo& line = lines[i];
    if (line.length >= MaxLineLength) {
        SetErrorText("Line #%i is too long:%i", i, line.length);
        return nullptr;
    }
    if (line.length > 0) std::memcpy(lineBuffer.data(), content.data() + line.start, line.length);
    lineBuffer[line.length] = 0;
    return lineBuffer.data();
}

int32_t ConfigFileReader::GetLineDepth(int32_t i) const {
    return i >= 0 && i < GetLineCount() ? lines[i].depth : -1;
}

int32_t ConfigFileReader::GetEntryLineCount(int32_t entry) const {
    if (entry == -1) return GetLineCount();
    if (entry < 0 || entry >= GetEntryCount()) return -1;
    return entries[entry].count;
}

int32_t ConfigFileReader::GetEntryStart(int32_t entry) const {
    return entry >= 0 && entry < GetEntryCount() ? entries[entry].first : -1;
}

void ConfigFileReader::SetBlock(int32_t startLine, int32_t depth) {
    blockStart = startLine;
    blockDepth = depth;
}

int32_t ConfigFileReader::FindInRange(const char* key, int32_t first, int32_t end, int32_t depth) const {
    const int32_t keyLength = static_cast<int32_t>(std::strlen(key));
    if (first < 0) first = 0;
    if (end > GetLineCount()) end = GetLineCount();
    for (int32_t i = first; i < end; ++i) {
        if (depth >= 0) {
            if (lines[i].depth < depth) break;
            if (lines[i].depth != depth) continue;
        }
        if (MatchKey(i, key, keyLength) >= 0) return i;
    }
    return -1;
}

int32_t ConfigFileReader::Find(const char* key, int32_t entry) const {
    if (!key) return -1;
    if (entry >= GetEntryCount()) return -2;
    if (entry >= 0)
        return FindInRange(key, entries[entry].first, entries[entry].first + entries[entry].count, -1);
    if (blockDepth >= 0) return FindInRange(key, blockStart, GetLineCount(), blockDepth);
    return FindInRange(key, 0, GetLineCount(), -1);
}

int32_t ConfigFileReader::LocalValue(const char* keyName, String& out, int32_t entry) const {
    if (entry >= GetEntryCount()) return NoSuchEntry;
    const int32_t i = Find(keyName, entry);
    if (i < 0) return ValueMissing;
    const int32_t keyEnd = MatchKey(i, keyName, static_cast<int32_t>(std::strlen(keyName)));
    const LineInfo& line = lines[i];
    const char* text = reinterpret_cast<const char*>(content.data()) + line.start;
    const char* open = static_cast<const char*>(std::memchr(text + keyEnd, '"', line.length - keyEnd));
    if (!open) return ValueMissing;
    const char* valueStart = open + 1;
    const char* close =
        static_cast<const char*>(std::memchr(valueStart, '"', text + line.length - valueStart));
    if (!close) return ValueMissing;
    out.Assign(valueStart, static_cast<int32_t>(close - valueStart));
    return ValueFound;
}

int32_t ConfigFileReader::Value(const char* key, String& out, int32_t entry, int32_t a, int32_t b) {
    foundInParent = 0;
    std::string keyName = key ? key : "";
    if (a >= 0) keyName += std::to_string(a);
    if (b >= 0) keyName += "_" + std::to_string(b);

    if (parent && !askingParent) {
        askingParent = true;
        const int32_t fromParent = parent->Value(keyName.c_str(), out, entry);
        askingParent = false;
        if (fromParent == ValueFound) {
            foundInParent = 1;
            return ValueFound;
        }
    }
    return LocalValue(keyName.c_str(), out, entry);
}

int32_t ConfigFileReader::FindDesc(const char* value) {
    if (!value || !*value) return -1;
    descIndex.SetThrowFlag(GetThrowFlag());
    const DescEntry* entry = descIndex.Find(value);
    return entry ? entry->entry : -1;
}
