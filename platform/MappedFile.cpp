#include "platform/MappedFile.h"

#include <sys/mman.h>
#include <unistd.h>
#include <utility>

MappedFile::~MappedFile() {
    Release();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Release();
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
    }
    return *this;
}

MappedFile MappedFile::Map(std::FILE* file, std::size_t size) {
    MappedFile mapped;
    if (!file || size == 0) return mapped;
    // Populated at once: one call makes every page present instead of a fault per page later.
    void* start = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(file), 0);
    if (start == MAP_FAILED) return mapped;
    mapped.data = static_cast<const unsigned char*>(start);
    mapped.size = size;
    return mapped;
}

void MappedFile::Discard(std::size_t from, std::size_t to) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (to > size) to = size;
    from = (from + page - 1) / page * page;
    to = to / page * page;
    if (!data || from >= to) return;
    madvise(const_cast<unsigned char*>(data) + from, to - from, MADV_DONTNEED);
}

void MappedFile::Release() {
    if (data) munmap(const_cast<unsigned char*>(data), size);
    data = nullptr;
    size = 0;
}
