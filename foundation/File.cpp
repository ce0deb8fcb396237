#include "foundation/File.h"

#include <climits>
#include <cstdarg>
#include <sys/stat.h>

#include "platform/FileSystem.h"

File::File() {
    SetObjectName("File");
}

File::~File() {
    Close();
}

int32_t File::Open(const String& newPath, bool readOnly) {
    Close();
    path = newPath;
    FILE* f = OpenFile(path.Text(), readOnly ? "rb" : "r+b");
    if (!f) return 0;
    // Positions and sizes are counted in 32 bits; a larger file cannot be handled.
    long end = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) end = std::ftell(f);
    if (end < 0 || end > INT32_MAX) {
        std::fclose(f);
        return 0;
    }
    stream = f;
    readable = 1;
    writeable = readOnly ? 0 : 1;
    size = static_cast<int32_t>(end);
    Seek(0);
    return 1;
}

int32_t File::Create(const String& newPath, bool writeOnly) {
    Close();
    path = newPath;
    stream = OpenFile(path.Text(), writeOnly ? "wb" : "w+b");
    if (!stream) return 0;
    readable = writeOnly ? 0 : 1;
    writeable = 1;
    size = 0;
    position = 0;
    return 1;
}

void File::Close() {
    if (stream) std::fclose(stream);
    stream = nullptr;
    readable = 0;
    writeable = 0;
}

void File::Seek(int32_t pos) {
    const int result = stream ? std::fseek(stream, pos, SEEK_SET) : -1;
    if (result != 0) Error("fseek failed: %i", result);
    position = pos;
}

int32_t File::Tell() {
    if (stream && std::ftell(stream) != position) Error("file pos does not match!");
    return position;
}

int32_t File::Read(void* buffer, int32_t count) {
    if (!readable || !stream) Error("File is not readable");
    if (count == 0) return 1;
    if (!readable || !stream) return 0;
    if (count < 0 || !buffer) {
        ReadError();
        return 0;
    }
    if (std::fread(buffer, static_cast<size_t>(count), 1, stream) == 1) {
        position += count;
        return 1;
    }
    position = static_cast<int32_t>(std::ftell(stream));
    ReadError();
    return 0;
}

int32_t File::ReadString(String& text) {
    text.Clear();
    int32_t count = 0;
    if (!ReadInt(&count)) return 0;
    if (count <= 0) return 1;
    // A count beyond the end of the file is a damaged file: fail like the short read it would
    // be, before allocating a buffer of that size.
    if (count > size - position) {
        ReadError();
        return 0;
    }
    char* buffer = text.Allocate(count);
    const int32_t ok = Read(buffer, count);
    if (!ok) text.Clear();
    return ok;
}

int32_t File::Write(const void* buffer, int32_t count) {
    if (!writeable || !stream) Error("File is not writeable");
    if (count == 0) return 1;
    if (!writeable || !stream) return 0;
    if (count < 0 || !buffer) {
        Error("Error writing to file");
        return 0;
    }
    const bool whole = std::fwrite(buffer, static_cast<size_t>(count), 1, stream) == 1;
    if (whole)
        position += count;
    else
        position = static_cast<int32_t>(std::ftell(stream));
    if (position > size) size = position;
    if (!whole) {
        Error("Error writing to file");
        return 0;
    }
    return 1;
}

// Values are stored little-endian, which is the byte order of every target of this program.
int32_t File::WriteByte(int32_t value) {
    const uint8_t b = static_cast<uint8_t>(value);
    return Write(&b, 1);
}

int32_t File::WriteShort(int32_t value) {
    const uint16_t s = static_cast<uint16_t>(value);
    return Write(&s, 2);
}

int32_t File::WriteInt(int32_t value) {
    return Write(&value, 4);
}

int32_t File::WriteString(const String& text) {
    const int32_t length = text.Length();
    if (!WriteInt(length)) return 0;
    if (length > 0 && !Write(text.Text(), length)) return 0;
    return 1;
}

int32_t File::Flush() {
    if (writeable && stream && FlushToDisk(stream)) return 1;
    Error("Error writing to file");
    return 0;
}

int32_t File::Printf(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) n = 0;
    if (n > static_cast<int>(sizeof buffer) - 1) n = sizeof buffer - 1;
    return Write(buffer, n);
}

void File::ReadError() {
    if (positionInErrors)
        Error("Error reading from file at byte %lld", static_cast<long long>(position));
    else
        Error("Error reading from file");
}

int32_t File::CheckCount(int64_t count, int64_t minBytes, const char* what, int64_t limit) {
    if (count >= 0 && count <= limit && (minBytes <= 0 || count <= Remaining() / minBytes)) return 1;
    Error("Invalid %s count %lld at byte %lld", what, static_cast<long long>(count),
          static_cast<long long>(position));
    return 0;
}

int32_t File::GetFileSize() const {
    if (!stream) return -1;
    // Buffered writes reach the file status only when flushed.
    if (writeable) std::fflush(stream);
    struct stat info;
    if (fstat(fileno(stream), &info) != 0) return -1;
    return info.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(info.st_size);
}

int File::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = PrefixedWarningV(path.Text(), format, args);
    va_end(args);
    return result;
}

void File::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrefixedErrorV(path.Text(), format, args);
    va_end(args);
}
