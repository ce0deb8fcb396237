#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "foundation/ErrorReport.h"
#include "foundation/String.h"
#include "platform/MappedFile.h"
#include "platform/PageBuffer.h"

// The reading layer of the text scene loader: the whole file in memory, read as a stream of
// bytes and tokens. Keywords start with '*', blocks are braced, values are numbers, bare
// words or quoted strings. Every report is prefixed with the path of the file being read
// ("*nofile*" before one is loaded). Tokens are plain bytes; there is no Unicode handling.
//
// Operations return 0 for success and 1 for failure unless said otherwise. Errors are
// thrown (ErrorMsg); warnings are logged and reading goes on.
class TextDataFileReader : public ErrorClass {
public:
    static constexpr int32_t TokenSize = 128; // 127 characters and the terminating zero

    TextDataFileReader();
    TextDataFileReader(const TextDataFileReader&) = delete;
    TextDataFileReader& operator=(const TextDataFileReader&) = delete;
    ~TextDataFileReader() override = default;

    // Reads from a buffer the reader owns from now on (size bytes).
    void SetData(std::unique_ptr<unsigned char[]> buffer, int32_t size);
    void SetData(PageBuffer buffer, int32_t size);
    void SetData(MappedFile file, int32_t size);
    // Reads from bytes the caller keeps alive until ResetReader or the next SetData.
    void SetDataView(const unsigned char* bytes, int32_t size);
    // Frees the buffer; the reader is empty (and at end of data) afterwards.
    void ResetReader();

    void SetPath(const char* text) { path = text; }
    const char* GetPath() const { return path.Text(); }

    // Copies up to n bytes and advances; the count copied (0 sets the end-of-data flag).
    int32_t ReadBytes(void* destination, int32_t n);
    // Moves the position by delta, clamped to 0 and the size; 1 when the target was inside.
    int32_t MoveBy(int32_t delta);
    // Passes over whitespace bytes; 0 at the first other byte (left unread), 1 at end of data.
    int32_t SkipWhitespace() {
        int32_t p = position;
        while (p < dataSize && IsWhitespace(data[p])) ++p;
        position = p;
        endOfData = p >= dataSize;
        return endOfData;
    }
    // The next byte (0 at end of data, with the end flag set).
    int32_t GetChar();
    // The next byte without consuming it (0 at end of data).
    int32_t PeekChar();
    // Reads bytes up to and including c; reports "'%c' not found" at end of data.
    void SkipTo(char c) {
        // Most targets are a few bytes on: a short look before the library search.
        const int32_t near = dataSize - position < 16 ? dataSize : position + 16;
        for (int32_t p = position; p < near; ++p)
            if (data[p] == static_cast<unsigned char>(c)) {
                position = p + 1;
                endOfData = 0;
                return;
            }
        SkipToFar(c);
    }

    // Token readers; buffer holds TokenSize bytes.
    int32_t ScanNumber(char* buffer);
    int32_t ScanWord(char* buffer);
    int32_t ScanString(char* buffer);
    int32_t ScanStringName(String& name);

    // Values: leave out untouched when they fail.
    int32_t ScanInt(int32_t& out) {
        const unsigned char* const end = data + dataSize;
        const unsigned char* p = data + position;
        while (p < end && IsWhitespace(*p)) ++p;
        position = static_cast<int32_t>(p - data);
        // Plain integers of up to 9 digits convert exactly without going through strtod.
        const bool negative = p < end && *p == '-';
        if (negative) ++p;
        const unsigned char* const digitsStart = p;
        int32_t value = 0;
        while (p < end && p - digitsStart < 9 && static_cast<unsigned>(*p - '0') < 10)
            value = value * 10 + (*p++ - '0');
        const bool ended =
            p >= end || !(static_cast<unsigned>(*p - '0') < 10 || *p == '-' || *p == '+' || *p == '.');
        if (p > digitsStart && ended) {
            position = static_cast<int32_t>(p - data);
            endOfData = position >= dataSize;
            out = negative ? -value : value;
            return 0;
        }
        return ScanIntToken(out);
    }
    int32_t ScanFloat(float& out);
    int32_t ScanVector(float out[3]);

    // The id of the next keyword of the current block; -2 at its closing brace, -1 at the end
    // of the data. Values and nested blocks that no one reads are passed over.
    int32_t NextKeyword();
    // NextKeyword where the caller knows which keyword usually comes next (id, spelled text of
    // length bytes): the same result, without the search and the lookup when the data holds
    // "*<text>" next.
    int32_t NextKeywordExpecting(int32_t id, const char* text, int32_t length) {
        const unsigned char* const end = data + dataSize;
        const unsigned char* p = data + position;
        while (p < end && IsWhitespace(*p)) ++p;
        if (end - p > length + 1 && *p == '*' &&
            std::memcmp(p + 1, text, static_cast<std::size_t>(length)) == 0 && IsWordEnd(p[1 + length])) {
            keywordStart = static_cast<int32_t>(p + 1 - data);
            position = keywordStart + length;
            endOfData = 0;
            return id;
        }
        // Whitespace is passed over by the search as well.
        position = static_cast<int32_t>(p - data);
        return NextKeyword();
    }
    template <std::size_t N> int32_t NextKeywordExpecting(int32_t id, const char (&text)[N]) {
        return NextKeywordExpecting(id, text, static_cast<int32_t>(N - 1));
    }
    static int32_t KeywordId(const char* word);
    // Where the word of the last keyword NextKeyword returned begins (just after its '*').
    int32_t GetKeywordStart() const { return keywordStart; }
    // The position of the next '{' or '}' from the current one on (the data size when none).
    int32_t NextBracePosition() const;
    // The bytes read (valid while the data is set).
    const unsigned char* GetData() const { return data; }
    // Gives the memory of the data before `before` back to the system, in steps of some
    // megabytes, where the reader owns the data: long lists call it as they go, as what lies
    // behind them is never read again. Bytes given back read as zero (a mapped file's: as the
    // file again).
    void ReleaseBefore(int32_t before) {
        if (before - releasedBefore >= ReleaseStep) ReleaseData(before);
    }
    // A quiet reader logs nothing: warnings are dropped, errors are only thrown. For reading
    // ahead on another thread, where whatever goes wrong is read again in order.
    void SetQuiet(bool value) { quiet = value; }

    // Header version: major / minor from "3DSMAX_KZVEXPORT" (1.0 when absent).
    void SetVersion(int32_t value);
    void ResetVersion() { versionMajor = 1, versionMinor = 0; }
    bool VersionAtLeast(int32_t major, int32_t minor) const {
        return versionMajor * 256 + versionMinor >= major * 256 + minor;
    }
    uint8_t GetVersionMajor() const { return versionMajor; }
    uint8_t GetVersionMinor() const { return versionMinor; }

    int32_t GetPosition() const { return position; }
    int32_t GetDataSize() const { return dataSize; }
    int32_t RemainingBytes() const { return dataSize - position; }
    int32_t AtEndOfData() const { return endOfData; }
    int32_t IsInMemory() const { return inMemory; }
    // True when the data is a mapped file that was shortened while it was read: bytes it no
    // longer had read as zeros.
    bool DataChanged() const { return ownedMapping.Changed(); }

    // Reports prefixed with the path: "<path>: <message>". Error always throws.
    int Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    [[noreturn]] void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
    static bool IsWhitespace(unsigned char c) { return static_cast<signed char>(c) <= 32; }
    static bool IsWordEnd(unsigned char c) {
        return IsWhitespace(c) || c == '{' || c == '}' || c == ',' || c == '"';
    }
    [[noreturn]] void ErrorV(const char* format, va_list args);
    // ScanNumber returning the token's length (0: none).
    int32_t ScanNumberLength(char* buffer);
    // SkipTo past its first sixteen bytes.
    void SkipToFar(char c);
    // ScanInt for what its fast path does not take: through the token buffer and strtod.
    int32_t ScanIntToken(int32_t& out);
    // The id of the keyword of that length at start, remembered for the next equal word.
    int32_t KeywordAt(int32_t start, int32_t length);
    void ForgetKeywords();
    void ReleaseData(int32_t before);

    static constexpr int32_t ReleaseStep = 8 << 20;
    int32_t releasedBefore = 0; // data before this was given back

    struct RecentKeyword {
        int32_t start = 0;
        int32_t length = 0; // 0: none
        int32_t id = 0;
    };
    static constexpr std::size_t RecentKeywordSlots = 8; // by length
    RecentKeyword recentKeywords[RecentKeywordSlots];

    int32_t inMemory = 1;
    int32_t endOfData = 0;
    std::unique_ptr<unsigned char[]> ownedBuffer;
    PageBuffer ownedPages;
    MappedFile ownedMapping;
    const unsigned char* data = nullptr;
    int32_t dataSize = 0;
    int32_t position = 0;
    int32_t keywordStart = 0;
    bool quiet = false;
    String path;
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 0;
};
