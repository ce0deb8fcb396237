#include "platform/PageBuffer.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t value, std::size_t unit) {
    return (value + unit - 1) / unit * unit;
}

} // namespace

PageBuffer::PageBuffer(std::size_t requested) {
    if (requested == 0) return;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const bool huge = requested >= HugePage;
    // Huge pages need an aligned start: map one huge page more and trim both ends.
    const std::size_t length = huge ? RoundUp(requested, HugePage) : RoundUp(requested, page);
    if (length < requested) throw std::bad_alloc();
    const std::size_t asked = huge ? length + HugePage : length;
    void* raw = mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    auto* start = static_cast<unsigned char*>(raw);
    if (huge) {
        const auto address = reinterpret_cast<std::uintptr_t>(start);
        auto* aligned = reinterpret_cast<unsigned char*>(RoundUp(address, HugePage));
        const std::size_t head = static_cast<std::size_t>(aligned - start);
        if (head > 0) munmap(start, head);
        const std::size_t tail = asked - head - length;
        if (tail > 0) munmap(aligned + length, tail);
        start = aligned;
        madvise(start, length, MADV_HUGEPAGE); // a hint: without it the buffer still works
    }
    mapping = start;
    mappedLength = length;
    data = start;
    size = requested;
}

PageBuffer::~PageBuffer() {
    Release();
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)),
      mapping(std::exchange(other.mapping, nullptr)), mappedLength(std::exchange(other.mappedLength, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
        mapping = std::exchange(other.mapping, nullptr);
        mappedLength = std::exchange(other.mappedLength, 0);
    }
    return *this;
}

void PageBuffer::Discard(std::size_t from, std::size_t to) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (to > size) to = size;
    from = RoundUp(from, page);
    to = to / page * page;
    if (!data || from >= to) return;
    madvise(data + from, to - from, MADV_DONTNEED);
}

void PageBuffer::Release() {
    if (mapping) munmap(mapping, mappedLength);
    mapping = nullptr;
    mappedLength = 0;
    data = nullptr;
    size = 0;
}
