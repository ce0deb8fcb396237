#include "foundation/String.h"

#include <cstring>
#include <strings.h>

String& String::operator=(const char* source) {
    Assign(source);
    return *this;
}

String& String::operator=(const String& other) {
    if (this != &other) Assign(other.text, other.length);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        delete[] text;
        text = other.text;
        length = other.length;
        other.text = nullptr;
        other.length = 0;
    }
    return *this;
}

void String::Assign(const char* source) {
    Assign(source, source ? static_cast<int32_t>(std::strlen(source)) : 0);
}

void String::Assign(const char* data, int32_t count) {
    if (!data || count <= 0) {
        Clear();
        return;
    }
    // The new buffer is filled before the old one is freed: data may point into it.
    char* buffer = new char[count + 1];
    std::memcpy(buffer, data, count);
    buffer[count] = 0;
    delete[] text;
    text = buffer;
    length = count;
}

char* String::Allocate(int32_t count) {
    Clear();
    if (count <= 0) return nullptr;
    text = new char[count + 1]();
    length = count;
    return text;
}

String& String::Append(const char* source) {
    if (!source || !*source) return *this;
    const int32_t extra = static_cast<int32_t>(std::strlen(source));
    char* buffer = new char[length + extra + 1];
    if (length > 0) std::memcpy(buffer, text, length);
    std::memcpy(buffer + length, source, extra);
    buffer[length + extra] = 0;
    delete[] text;
    text = buffer;
    length += extra;
    return *this;
}

bool String::EndsWith(const char* suffix) const {
    const int32_t n = suffix ? static_cast<int32_t>(std::strlen(suffix)) : 0;
    if (n == 0) return true;
    if (n > length) return false;
    return strcasecmp(text + length - n, suffix) == 0;
}

bool String::Equals(const char* other) const {
    return std::strcmp(Text(), other ? other : "") == 0;
}

bool String::EqualsNoCase(const char* other) const {
    return strcasecmp(Text(), other ? other : "") == 0;
}

void String::Clear() {
    delete[] text;
    text = nullptr;
    length = 0;
}
