#include "platform/TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <stdlib.h>

std::string SystemTemporaryFolder() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::error_code ec;
    if (fromEnvironment && *fromEnvironment && std::filesystem::is_directory(fromEnvironment, ec))
        return fromEnvironment;
    return "/tmp";
}

TemporaryFolder::TemporaryFolder(std::string_view prefix) {
    std::string pattern = (std::filesystem::path(SystemTemporaryFolder()) / prefix).string() + "XXXXXX";
    if (mkdtemp(pattern.data())) path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    if (path.empty()) return;
    std::error_code ec; // a folder that cannot be removed stays; nothing to report from here
    std::filesystem::remove_all(path, ec);
}
