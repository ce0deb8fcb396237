#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/ErrorReport.h"
#include "foundation/String.h"

// The engine's binary file: one buffered stream with its own count of the position and the
// size, raw little-endian values and length-prefixed strings (an int32 count, then exactly
// that many bytes, no terminator). Every report is prefixed with the file's path.
class File : public ErrorClass {
public:
    File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override;

    // Opens an existing file, "rb" when readOnly, else "r+b". 0 without any report when it
    // cannot be opened (the caller reports), 1 otherwise.
    int32_t Open(const String& path, bool readOnly = true);
    // Creates (truncates) a file, "wb" when writeOnly, else "w+b". 0 when it cannot be created.
    int32_t Create(const String& path, bool writeOnly = true);
    void Close();

    void Seek(int32_t pos);
    int32_t Tell();

    int32_t Read(void* buffer, int32_t count);
    int32_t ReadByte(void* value) { return Read(value, 1); }
    int32_t ReadShort(void* value) { return Read(value, 2); }
    int32_t ReadInt(void* value) { return Read(value, 4); } // floats too, as their 4 bytes
    int32_t ReadString(String& text);

    int32_t Write(const void* buffer, int32_t count);
    int32_t WriteByte(int32_t value);
    int32_t WriteShort(int32_t value);
    int32_t WriteInt(int32_t value);
    int32_t WriteString(const String& text);
    // Writes what is buffered and has the system write it to the disk; the error "Error
    // writing to file" and 0 when that fails (a full disk shows here at the latest).
    int32_t Flush();
    // Formats into 1024 bytes and writes the characters without the terminating zero.
    int32_t Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // With on, a failed read reports "Error reading from file at byte %lld" with the position
    // where reading stopped (for files whose damage a user must be able to locate).
    void SetPositionInErrors(int32_t on) { positionInErrors = on; }

    // Bytes left to read after the counted position.
    int64_t Remaining() const { return static_cast<int64_t>(size) - position; }
    // A count just read from the file: it must lie in 0..limit, and that many records of at
    // least minBytes each must fit into the rest of the file. Otherwise the error "Invalid %s
    // count %lld at byte %lld" (what, count, the position after the count) and 0, so that
    // nothing is allocated for a damaged or hostile count.
    int32_t CheckCount(int64_t count, int64_t minBytes, const char* what, int64_t limit = INT32_MAX);

    // Size from the platform's file status, -1 when no stream is open.
    int32_t GetFileSize() const;

    const String& GetPath() const { return path; }
    bool IsOpen() const { return stream != nullptr; }
    int32_t IsReadable() const { return readable; }
    int32_t IsWriteable() const { return writeable; }
    int32_t GetSize() const { return size; }         // counted size
    int32_t GetPosition() const { return position; } // counted position

    // Reports prefixed with the path: "<path>: <message>".
    int Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    void ReadError();

    FILE* stream = nullptr;
    int32_t positionInErrors = 0;
    String path;
    int32_t readable = 0;
    int32_t writeable = 0;
    int32_t size = 0;
    int32_t position = 0;
};
