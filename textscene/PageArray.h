#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/PageBuffer.h"

// A zeroed array of plain records in pages of its own. Its memory becomes resident only as
// records are written, so a list sized from its count costs nothing for what the file has not
// filled yet, and it goes back to the system whole when the array ends.
template <class T> class PageArray {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_copyable_v<T>,
                  "records of a page array are plain data, all zero to begin with");

public:
    PageArray() = default;
    explicit PageArray(int32_t count) : pages(count > 0 ? sizeof(T) * static_cast<std::size_t>(count) : 0) {}

    T* get() const { return reinterpret_cast<T*>(pages.Data()); }
    T& operator[](int32_t i) const { return get()[i]; }
    void reset() { pages = PageBuffer(); }

private:
    PageBuffer pages;
};
