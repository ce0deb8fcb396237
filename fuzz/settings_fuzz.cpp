// libFuzzer target: the settings file ("KZVView.ini" under XDG_CONFIG_HOME) read as the viewer
// and kzvtool read it, then written back: each input becomes the file, the values are queried
// with the viewer's buffer sizes, and a value set must read back as it was set.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Registry.h"
#include "platform/TemporaryFolder.h"

namespace {

const char* const kKey = "Software\\Halvorn\\KZVView";

// The private settings folder (XDG_CONFIG_HOME), removed with the file at exit.
const std::string& Folder() {
    static TemporaryFolder folder("kzvsettingsfuzz");
    return folder.Path();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Folder().empty()) std::abort();
    setenv("XDG_CONFIG_HOME", Folder().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string file = RegistryKey::FileForKey(kKey);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    RegistryKey key;
    if (!key.Open(kKey)) return 0;
    std::string value;
    for (size_t bytes : {size_t{1}, size_t{4}, size_t{256}, size_t{1024}}) {
        if (key.QueryValue("DefaultTexturePath", value, bytes) == 0 && value.size() >= bytes)
            __builtin_trap();
        key.QueryValue("", value, bytes);
    }
    // A value written is read back unchanged, whatever else the file holds.
    const std::string written(reinterpret_cast<const char*>(data), size < 40 ? size : 40);
    if (written.find_first_of("\r\n") == std::string::npos && written.find('\0') == std::string::npos &&
        key.SetValue("Fuzzed", written) == 0) {
        if (key.QueryValue("Fuzzed", value, 1024) != 0 || value != written) __builtin_trap();
    }
    return 0;
}
