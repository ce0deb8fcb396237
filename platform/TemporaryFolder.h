#pragma once

#include <string>
#include <string_view>

// The system's folder for temporary files: $TMPDIR when it names a folder, else /tmp.
std::string SystemTemporaryFolder();

// A folder of the caller's own in the system's temporary folder: made on construction (the
// prefix and six random characters) and removed with everything in it on destruction.
// Path() is empty when the folder could not be made.
class TemporaryFolder {
public:
    explicit TemporaryFolder(std::string_view prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return path; }

private:
    std::string path;
};
