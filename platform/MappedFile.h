#pragma once

#include <cstddef>
#include <cstdio>

// A file's bytes mapped read-only into the process: the pages the system already holds for the
// file are used in place, so a large file costs neither a copy nor newly cleared memory. Every
// page is made present when the file is mapped. Unmapped when it ends.
//
// The mapping reflects the file: another program that shortens the file while it is mapped
// takes the pages beyond its new end away. Reading one of them then gives zeros instead of
// ending the process with a bus error, and Changed() tells the reader that the bytes it read
// are not the file's.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // The first size bytes of an open file; an empty mapping (null Data) where the system does
    // not map that file, e.g. an empty one. The file may be closed afterwards.
    static MappedFile Map(std::FILE* file, std::size_t size);

    const unsigned char* Data() const { return data; }
    std::size_t Size() const { return size; }

    // Takes the whole pages within [from, to) out of the process's memory; reading them again
    // brings the file's bytes back in.
    void Discard(std::size_t from, std::size_t to);

    // True once a page was read that the file no longer had (it was shortened meanwhile).
    bool Changed() const;

private:
    void Release();

    const unsigned char* data = nullptr;
    std::size_t size = 0;
    int slot = -1; // the mapping's entry among the guarded ranges
};
