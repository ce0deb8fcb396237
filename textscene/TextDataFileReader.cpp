#include "textscene/TextDataFileReader.h"

#include <cstdarg>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textscene/KeywordTable.h"
#include "textscene/TextNumber.h"

namespace {

// The first '{', '}' or '*' in [from, end), or end: what NextKeyword looks for between
// keywords. Sixteen bytes at a time where the processor allows, never reading past end.
int32_t FindBlockByte(const unsigned char* data, int32_t from, int32_t end) {
    int32_t p = from;
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    const __m128i star = _mm_set1_epi8('*');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)),
                         _mm_cmpeq_epi8(bytes, star));
        const int mask = _mm_movemask_epi8(hits);
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p) {
        const unsigned char c = data[p];
        if (c == '{' || c == '}' || c == '*') return p;
    }
    return end;
}

// The first '{' or '}' in [from, end), or end.
int32_t FindBrace(const unsigned char* data, int32_t from, int32_t end) {
    int32_t p = from;
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)));
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p)
        if (data[p] == '{' || data[p] == '}') return p;
    return end;
}

// The first word end (whitespace, a brace, ',' or '"') in [from, end), or end: the end of a
// keyword. Sixteen bytes at a time where the processor allows.
int32_t FindWordEnd(const unsigned char* data, int32_t from, int32_t end) {
    int32_t p = from;
#if defined(__SSE2__)
    // Bytes up to 32 and from 128 on (negative as signed bytes) count as whitespace.
    const __m128i space = _mm_set1_epi8(33);
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + p));
        const __m128i braces = _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close));
        const __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, quote));
        const __m128i hits = _mm_or_si128(_mm_cmplt_epi8(bytes, space), _mm_or_si128(braces, marks));
        const int mask = _mm_movemask_epi8(hits);
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p) {
        const unsigned char c = data[p];
        if (static_cast<signed char>(c) <= 32 || c == '{' || c == '}' || c == ',' || c == '"') return p;
    }
    return end;
}

// Byte comparison in fixed eight-byte steps (the last one overlapping), which compile to plain
// loads; shorter words go byte by byte.
bool SameBytes(const unsigned char* a, const unsigned char* b, int32_t length) {
    if (length < 8) {
        for (int32_t i = 0; i < length; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    for (int32_t i = 0; i < length - 8; i += 8)
        if (std::memcmp(a + i, b + i, 8) != 0) return false;
    return std::memcmp(a + length - 8, b + length - 8, 8) == 0;
}

// Powers of ten that doubles hold exactly.
constexpr double ExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A plain decimal "[-]digits[.digits]" that ends at a word end (or the end of the data),
// converted in one pass: when its digits fit 2^53 and at most 22 follow the point, both the
// digits and the power of ten are exact doubles and their quotient is correctly rounded, which
// is what strtod gives. false (nothing consumed) leaves every other token to the general path.
bool ScanPlainDecimal(const unsigned char* p, const unsigned char* end, double& value,
                      const unsigned char*& stop) {
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int32_t digits = 0;
    int32_t fraction = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10 && digits < 19) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
        ++digits;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10 && digits < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
            ++digits;
            ++fraction;
        }
    }
    constexpr uint64_t exactLimit = uint64_t{1} << 53;
    if (digits == 0 || mantissa > exactLimit || fraction > 22) return false;
    // Anything but a word end here (more digits, an exponent, a second point) is not plain.
    if (p < end && !(static_cast<signed char>(*p) <= 32 || *p == '{' || *p == '}' || *p == ',' || *p == '"'))
        return false;
    const double magnitude = static_cast<double>(mantissa) / ExactPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    stop = p;
    return true;
}

} // namespace

TextDataFileReader::TextDataFileReader() : path("*nofile*") {
    SetObjectName("TextDataFileReader");
}

void TextDataFileReader::SetData(std::unique_ptr<unsigned char[]> buffer, int32_t size) {
    ForgetKeywords();
    releasedBefore = 0;
    ownedPages = PageBuffer();
    ownedMapping = MappedFile();
    ownedBuffer = std::move(buffer);
    data = ownedBuffer.get();
    dataSize = data && size > 0 ? size : 0;
    position = 0;
    endOfData = 0;
    inMemory = 1;
}

void TextDataFileReader::SetData(PageBuffer buffer, int32_t size) {
    ForgetKeywords();
    releasedBefore = 0;
    ownedBuffer.reset();
    ownedMapping = MappedFile();
    ownedPages = std::move(buffer);
    data = ownedPages.Data();
    dataSize = data && size > 0 && static_cast<std::size_t>(size) <= ownedPages.Size() ? size : 0;
    position = 0;
    endOfData = 0;
    inMemory = 1;
}

void TextDataFileReader::SetData(MappedFile file, int32_t size) {
    ForgetKeywords();
    releasedBefore = 0;
    ownedBuffer.reset();
    ownedPages = PageBuffer();
    ownedMapping = std::move(file);
    data = ownedMapping.Data();
    dataSize = data && size > 0 && static_cast<std::size_t>(size) <= ownedMapping.Size() ? size : 0;
    position = 0;
    endOfData = 0;
    inMemory = 1;
}

void TextDataFileReader::SetDataView(const unsigned char* bytes, int32_t size) {
    ForgetKeywords();
    releasedBefore = 0;
    ownedBuffer.reset();
    ownedPages = PageBuffer();
    ownedMapping = MappedFile();
    data = bytes;
    dataSize = bytes && size > 0 ? size : 0;
    position = 0;
    endOfData = 0;
    inMemory = 1;
}

void TextDataFileReader::ResetReader() {
    ForgetKeywords();
    releasedBefore = 0;
    ownedBuffer.reset();
    ownedPages = PageBuffer();
    ownedMapping = MappedFile();
    data = nullptr;
    dataSize = 0;
    position = 0;
    endOfData = 0;
}

int32_t TextDataFileReader::ReadBytes(void* destination, int32_t n) {
    if (n <= 0) return 0;
    const int32_t left = dataSize - position;
    if (left <= 0) {
        endOfData = 1;
        return 0;
    }
    const int32_t count = n < left ? n : left;
    std::memcpy(destination, data + position, static_cast<std::size_t>(count));
    position += count;
    endOfData = 0;
    return count;
}

int32_t TextDataFileReader::MoveBy(int32_t delta) {
    const int64_t target = static_cast<int64_t>(position) + delta;
    if (target < 0) {
        position = 0;
        return 0;
    }
    if (target > dataSize) {
        position = dataSize;
        return 0;
    }
    position = static_cast<int32_t>(target);
    return 1;
}

int32_t TextDataFileReader::GetChar() {
    if (position >= dataSize) {
        endOfData = 1;
        return 0;
    }
    endOfData = 0;
    return data[position++];
}

int32_t TextDataFileReader::PeekChar() {
    if (position >= dataSize) {
        endOfData = 1;
        return 0;
    }
    endOfData = 0;
    return data[position];
}

void TextDataFileReader::SkipToFar(char c) {
    const int32_t near = dataSize - position < 16 ? dataSize : position + 16;
    const void* found = near < dataSize ? std::memchr(data + near, static_cast<unsigned char>(c),
                                                      static_cast<std::size_t>(dataSize - near))
                                        : nullptr;
    if (!found) {
        position = dataSize;
        endOfData = 1;
        Error("'%c' not found", c);
    }
    position = static_cast<int32_t>(static_cast<const unsigned char*>(found) - data) + 1;
    endOfData = 0;
}

int32_t TextDataFileReader::ScanNumber(char* buffer) {
    return ScanNumberLength(buffer) == 0 ? 1 : 0;
}

int32_t TextDataFileReader::ScanNumberLength(char* buffer) {
    int32_t stored = 0;
    while (position < dataSize) {
        const unsigned char c = data[position];
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')) break;
        if (stored == TokenSize - 1) Error("String too long (>127)");
        buffer[stored++] = static_cast<char>(c);
        ++position;
    }
    endOfData = position >= dataSize;
    buffer[stored] = 0;
    return stored;
}

int32_t TextDataFileReader::ScanWord(char* buffer) {
    int32_t stored = 0;
    while (position < dataSize) {
        const unsigned char c = data[position++];
        // The terminator is stored like any byte (so it counts against the limit) ...
        if (stored == TokenSize - 1) Error("String too long (>127)");
        buffer[stored++] = static_cast<char>(c);
        if (IsWordEnd(c)) {
            // ... and then either stays as a one-byte word or is left for the next read.
            if (stored > 1) {
                buffer[stored - 1] = 0;
                --position;
            } else {
                buffer[1] = 0;
            }
            endOfData = 0;
            return 0;
        }
    }
    buffer[stored] = 0;
    endOfData = 1;
    return stored == 0 ? 1 : 0;
}

int32_t TextDataFileReader::ScanString(char* buffer) {
    buffer[0] = 0;
    if (SkipWhitespace()) return 1;
    if (GetChar() != '"') {
        Warning("No text string found");
        return 1;
    }
    int32_t stored = 0;
    while (position < dataSize) {
        const unsigned char c = data[position++];
        // The closing quote counts: a string holds at most 126 characters.
        if (stored + 1 >= TokenSize) Error("String too long (>127)");
        if (c == '"') {
            buffer[stored] = 0;
            endOfData = 0;
            return 0;
        }
        buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = 0;
    endOfData = 1;
    return 1;
}

int32_t TextDataFileReader::ScanStringName(String& name) {
    char buffer[TokenSize];
    if (ScanString(buffer)) return 1;
    name = buffer;
    return 0;
}

int32_t TextDataFileReader::ScanIntToken(int32_t& out) {
    char buffer[TokenSize];
    const int32_t length = ScanNumberLength(buffer);
    if (length == 0) return 1;
    out = TruncateToInt32(TextToDouble(buffer, static_cast<std::size_t>(length)));
    return 0;
}

int32_t TextDataFileReader::ScanFloat(float& out) {
    SkipWhitespace();
    double plain;
    const unsigned char* stop = nullptr;
    if (ScanPlainDecimal(data + position, data + dataSize, plain, stop)) {
        position = static_cast<int32_t>(stop - data);
        endOfData = position >= dataSize;
        out = NarrowToFloat(plain);
        return 0;
    }
    // The word in place: most values end well before the token limit and take the fast path.
    int32_t end = position;
    while (end < dataSize && end - position < TokenSize - 2 && !IsWordEnd(data[end])) ++end;
    const int32_t length = end - position;
    if (length > 0 && (end >= dataSize || IsWordEnd(data[end])) && length < TokenSize - 2) {
        double value;
        if (!TextToDoubleFast(reinterpret_cast<const char*>(data + position),
                              static_cast<std::size_t>(length), value)) {
            char buffer[TokenSize];
            std::memcpy(buffer, data + position, static_cast<std::size_t>(length));
            buffer[length] = 0;
            value = TextToDoubleReference(buffer);
        }
        position = end;
        endOfData = position >= dataSize;
        out = NarrowToFloat(value);
        return 0;
    }
    char buffer[TokenSize];
    if (ScanWord(buffer)) return 1;
    out = NarrowToFloat(TextToDouble(buffer, std::strlen(buffer)));
    return 0;
}

int32_t TextDataFileReader::ScanVector(float out[3]) {
    for (int32_t i = 0; i < 3; ++i) {
        if (i > 0) {
            SkipWhitespace();
            if (PeekChar() == ',') ++position;
        }
        if (ScanFloat(out[i])) return 1;
    }
    return 0;
}

int32_t TextDataFileReader::NextKeyword() {
    int32_t depth = 0;
    while (position < dataSize) {
        position = FindBlockByte(data, position, dataSize);
        if (position >= dataSize) break;
        const unsigned char c = data[position++];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (depth == 0) {
                endOfData = 0;
                return KW_END_OF_BLOCK;
            }
            --depth;
        } else if (c == '*' && depth == 0) {
            keywordStart = position;
            // The keyword in place; a word at the token limit takes the checked path.
            const int32_t limit = dataSize - position < TokenSize - 2 ? dataSize : position + TokenSize - 2;
            const int32_t end = FindWordEnd(data, position, limit);
            const int32_t length = end - position;
            if (length > 0 && length < TokenSize - 2) {
                const int32_t id = KeywordAt(position, length);
                position = end;
                endOfData = position >= dataSize;
                return id;
            }
            char word[TokenSize];
            ScanWord(word);
            return KeywordId(word);
        }
    }
    endOfData = 1;
    return KW_END_OF_DATA;
}

void TextDataFileReader::ForgetKeywords() {
    for (RecentKeyword& recent : recentKeywords) recent = RecentKeyword{};
}

void TextDataFileReader::ReleaseData(int32_t before) {
    if (!ownedPages.Data() && !ownedMapping.Data()) return;
    // A megabyte stays behind for the small steps back that reading takes; whole huge pages go.
    constexpr int32_t margin = 1 << 20;
    constexpr int32_t granule = 2 << 20;
    const int32_t until = (before - margin) / granule * granule;
    if (until <= releasedBefore) return;
    ownedPages.Discard(static_cast<std::size_t>(releasedBefore), static_cast<std::size_t>(until));
    ownedMapping.Discard(static_cast<std::size_t>(releasedBefore), static_cast<std::size_t>(until));
    releasedBefore = until;
    // Remembered keywords may lie in what was given back.
    ForgetKeywords();
}

int32_t TextDataFileReader::KeywordAt(int32_t start, int32_t length) {
    // Lists repeat the same few keywords: a word equal, byte for byte, to an earlier one of its
    // length has that one's id without a table lookup.
    const unsigned char* word = data + start;
    RecentKeyword& recent = recentKeywords[static_cast<std::size_t>(length) % RecentKeywordSlots];
    if (recent.length == length && SameBytes(word, data + recent.start, length)) return recent.id;
    const int32_t id = LookupKeyword(reinterpret_cast<const char*>(word), length);
    recent = {start, length, id};
    return id;
}

int32_t TextDataFileReader::KeywordId(const char* word) {
    return LookupKeyword(word);
}

void TextDataFileReader::SetVersion(int32_t value) {
    // Each part is kept in one byte, as the file header stores it.
    versionMajor = static_cast<uint8_t>(value / 100);
    versionMinor = static_cast<uint8_t>(value % 100);
}

int32_t TextDataFileReader::NextBracePosition() const {
    return FindBrace(data, position, dataSize);
}

int TextDataFileReader::Warning(const char* format, ...) {
    if (quiet) return 0;
    va_list args;
    va_start(args, format);
    const int result = PrefixedWarningV(path.Text(), format, args);
    va_end(args);
    return result;
}

void TextDataFileReader::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ErrorV(format, args);
}

void TextDataFileReader::ErrorV(const char* format, va_list args) {
    char line[ReportMessageSize];
    ReportLine(line, sizeof line, path.Text(), format, args);
    va_end(args);
    // The loader relies on errors ending the load: with the throw flag off the base only logs,
    // so the record is thrown here.
    if (!quiet) ReportError(line);
    ErrorMsg record{};
    std::snprintf(record.name, sizeof record.name, "%s", GetObjectName());
    std::snprintf(record.message, sizeof record.message, "%s", line);
    throw record;
}
