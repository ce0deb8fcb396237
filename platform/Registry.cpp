#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config";
}

// The lines of the file; 0, or the error code of opening or reading it (ENOENT when missing).
int ReadLines(const std::string& file, std::vector<std::string>& lines) {
    lines.clear();
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in) return errno;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
    const int code = std::ferror(in) ? (errno ? errno : EIO) : 0;
    std::fclose(in);
    if (code != 0) return code;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return 0;
}

int WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// The file a write must replace: the target of a symbolic link (a settings file linked from
// elsewhere stays linked), else the path itself.
std::string ReplacedFile(const std::string& file) {
    char* real = ::realpath(file.c_str(), nullptr);
    if (!real) return file;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// Writes the text into a new file beside the old one, has it reach the disk and renames it over
// the old one: a reader sees the old file or the new one, never a part, and a failure on the way
// (full disk, read-only folder) leaves the old file as it was. 0, or the error code.
int ReplaceFile(const std::string& path, const std::string& text) {
    const std::string target = ReplacedFile(path);
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    std::string temp =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".settings-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return errno;
    struct stat old;
    int code = 0;
    // The new file keeps the old one's permissions (mkstemp creates it for the owner only).
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) code = errno;
    if (code == 0) code = WriteAll(fd, text);
    if (code == 0 && ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code == 0 && std::rename(temp.c_str(), target.c_str()) != 0) code = errno;
    if (code != 0) {
        ::unlink(temp.c_str());
        return code;
    }
    // The rename itself reaches the disk with the folder; a folder that cannot be synced is no
    // reason to call the written value lost.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

bool MakeFolders(const std::string& file) {
    for (size_t pos = 1; (pos = file.find('/', pos)) != std::string::npos; ++pos) {
        std::string folder = file.substr(0, pos);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

} // namespace

std::string RegistryKey::FileForKey(const char* keyPath) {
    std::string key = keyPath ? keyPath : "";
    for (char& c : key)
        if (c == '\\') c = '/';
    const std::string prefix = "Software/";
    if (key.compare(0, prefix.size(), prefix) == 0) key.erase(0, prefix.size());
    return ConfigHome() + "/" + key + ".ini";
}

bool RegistryKey::Open(const char* keyPath) {
    file_.clear();
    std::string file = FileForKey(keyPath);
    struct stat st;
    if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    file_ = file;
    return true;
}

bool RegistryKey::Create(const char* keyPath) {
    file_.clear();
    std::string file = FileForKey(keyPath);
    if (!MakeFolders(file)) return false;
    std::ofstream touch(file, std::ios::app);
    if (!touch) return false;
    file_ = file;
    return true;
}

int RegistryKey::QueryValue(const char* name, std::string& value, size_t maxBytes) const {
    if (file_.empty()) return EBADF;
    const std::string prefix = std::string(name ? name : "") + "=";
    std::vector<std::string> lines;
    if (const int code = ReadLines(file_, lines)) return code;
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        value = line.substr(prefix.size());
        if (maxBytes > 0 && value.size() > maxBytes - 1) value.resize(maxBytes - 1);
        return 0;
    }
    return ENOENT;
}

int RegistryKey::SetValue(const char* name, const std::string& value) {
    if (file_.empty()) return EBADF;
    const std::string key = name ? name : "";
    if (value.find_first_of("\r\n") != std::string::npos || key.find_first_of("=\r\n") != std::string::npos)
        return EINVAL;
    // A file that exists but cannot be read is not rewritten: its other values would be lost.
    std::vector<std::string> lines;
    if (const int code = ReadLines(file_, lines); code != 0 && code != ENOENT) return code;
    const std::string prefix = key + "=";
    bool replaced = false;
    for (std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            line = prefix + value;
            replaced = true;
        }
    }
    if (!replaced) lines.push_back(prefix + value);
    std::string text;
    for (const std::string& line : lines) text += line + '\n';
    return ReplaceFile(file_, text);
}
