#pragma once

#include <string>

// The settings store that stands in for the registry. A key path such as
// "Software\Halvorn\KZVView" is the file "$XDG_CONFIG_HOME/Halvorn/KZVView.ini"
// ("~/.config" when XDG_CONFIG_HOME is unset); its values are "name=value" lines.
// Error codes are system error numbers, whose text SystemErrorText gives.
class RegistryKey {
public:
    // Opens an existing key; false when the key does not exist.
    bool Open(const char* keyPath);
    // Opens the key, creating its file (and folders) when missing.
    bool Create(const char* keyPath);
    bool IsOpen() const { return !file_.empty(); }

    // 0 and the value, or an error code (ENOENT when the value does not exist, the file's own
    // error when it cannot be read). At most maxBytes - 1 characters are returned, like a
    // registry read into a fixed buffer.
    int QueryValue(const char* name, std::string& value, size_t maxBytes) const;
    // 0, or an error code (EINVAL for a line end in the value, or a line end or '=' in the
    // name). The file is replaced as a whole: the new contents go to a temporary file in the
    // same folder, reach the disk and are renamed over it, so a failure anywhere (a read-only
    // folder, a full disk) leaves the old file byte for byte. A file that cannot be read is not
    // replaced, since its other values would be lost.
    int SetValue(const char* name, const std::string& value);

    // The file behind a key path (for tests and messages).
    static std::string FileForKey(const char* keyPath);

private:
    std::string file_;
};
