#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "platform/PageBuffer.h"

// A zeroed array of plain records. A large one lives in pages of its own: its memory becomes
// resident only as records are written, so a list sized from its count costs nothing for what
// the file has not filled yet, and it goes back to the system whole. A small one comes from the
// heap, which reuses what the last mesh's lists gave back without new page faults.
template <class T> class PageArray {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_copyable_v<T>,
                  "records of a page array are plain data, all zero to begin with");

public:
    static constexpr std::size_t PagedBytes = std::size_t{2} << 20;

    PageArray() = default;
    explicit PageArray(int32_t count) {
        const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
        if (n * sizeof(T) >= PagedBytes) {
            pages = PageBuffer(n * sizeof(T));
            records = reinterpret_cast<T*>(pages.Data());
        } else if (n > 0) {
            heap = std::make_unique<T[]>(n);
            records = heap.get();
        }
    }

    T* get() const { return records; }
    T& operator[](int32_t i) const { return records[i]; }
    void reset() {
        pages = PageBuffer();
        heap.reset();
        records = nullptr;
    }

private:
    PageBuffer pages;
    std::unique_ptr<T[]> heap;
    T* records = nullptr;
};
