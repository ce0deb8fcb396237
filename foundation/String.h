#pragma once

#include <cstdint>

// The engine's counted text: a heap buffer of length + 1 bytes, or null for the empty string.
// Used for object, parent and bone names, file paths and every name of the binary scene.
class String {
public:
    String() = default;
    String(const char* text) { Assign(text); } // implicit on purpose: names are passed as text
    String(const String& other) { Assign(other.text, other.length); }
    String(String&& other) noexcept : text(other.text), length(other.length) {
        other.text = nullptr;
        other.length = 0;
    }
    ~String() { delete[] text; }

    // Assigning null or empty text leaves the string empty (no buffer); self-assignment and
    // assigning a part of the string itself are safe.
    String& operator=(const char* source);
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;

    // Copies exactly count bytes (count <= 0 gives the empty string).
    void Assign(const char* data, int32_t count);
    // Makes the string count characters long (zero-filled, terminated) and returns the buffer
    // for the caller to fill; null for count <= 0, which empties the string.
    char* Allocate(int32_t count);

    String& Append(const char* source);
    String& operator+=(const char* source) { return Append(source); }

    // True when the string ends with suffix, compared without regard to case. An empty
    // string ends only with null or empty text.
    bool EndsWith(const char* suffix) const;
    bool Equals(const char* other) const;       // exact comparison
    bool EqualsNoCase(const char* other) const; // ASCII letters compared without case

    const char* Text() const { return text ? text : ""; }
    int32_t Length() const { return length; }
    bool IsEmpty() const { return length == 0; }
    void Clear();

private:
    void Assign(const char* source);

    char* text = nullptr;
    int32_t length = 0;
};
