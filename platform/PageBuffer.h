#pragma once

#include <cstddef>

// A large zeroed byte buffer taken straight from the system: its own pages, asked for as
// huge pages where the system allows, so reading a big file into it takes a few hundred page
// faults instead of tens of thousands. Returned whole when it ends. Throws std::bad_alloc when
// the system has no room.
class PageBuffer {
public:
    PageBuffer() = default;
    explicit PageBuffer(std::size_t size);
    ~PageBuffer();
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;

    unsigned char* Data() const { return data; }
    std::size_t Size() const { return size; }

    // Gives the whole pages within [from, to) back to the system: the buffer stays usable, and
    // those bytes read as zero from now on.
    void Discard(std::size_t from, std::size_t to);

private:
    void Release();

    unsigned char* data = nullptr;
    std::size_t size = 0;
    void* mapping = nullptr; // what the system handed out: data rounded to whole pages
    std::size_t mappedLength = 0;
};
