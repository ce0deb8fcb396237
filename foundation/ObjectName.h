#pragma once

#include <cstddef>

// The fixed name every engine object carries: its class name, at most 31 characters plus the
// terminating zero. Reports and exception records are prefixed with it.
class ObjectName {
public:
    static constexpr std::size_t Size = 32;
    static constexpr std::size_t MaxLength = Size - 1;

    ObjectName() { Set("Undefined"); }
    explicit ObjectName(const char* text) { Set(text); }

    // Copies text, cutting it to 31 characters; null sets the empty name.
    void Set(const char* text) {
        std::size_t n = 0;
        if (text)
            for (; n < MaxLength && text[n]; ++n) chars[n] = text[n];
        chars[n] = 0;
    }
    const char* Get() const { return chars; }

private:
    char chars[Size];
};
