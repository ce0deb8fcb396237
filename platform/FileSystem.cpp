#include "platform/FileSystem.h"

#include <cstring>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string Slashes(std::string_view path) {
    std::string s(path);
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

// The entry of folder whose name equals name without regard to case, or empty.
std::string FindCaseless(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string found;
    while (dirent* e = readdir(dir)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

std::string Append(const std::string& base, const std::string& part) {
    if (base.empty()) return part;
    if (base.back() == '/') return base + part;
    return base + "/" + part;
}

} // namespace

std::string ResolvePath(std::string_view path) {
    std::string p = Slashes(path);
    if (p.empty() || Exists(p)) return p;

    std::string result = p[0] == '/' ? "/" : "";
    size_t pos = 0;
    while (pos <= p.size()) {
        size_t end = p.find('/', pos);
        if (end == std::string::npos) end = p.size();
        std::string part = p.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        std::string next = Append(result, part);
        if (part == "." || part == ".." || Exists(next)) {
            result = next;
            continue;
        }
        std::string match = FindCaseless(result, part);
        if (match.empty()) return p;
        result = Append(result, match);
    }
    return result;
}

namespace {

// Opens an existing file for reading (or updating with '+'). The open does not block, so a
// named pipe with no writer or a device cannot stall the program; the type is then checked on
// the open descriptor itself, and only a regular file is handed on as a blocking stream.
FILE* OpenRegularForReading(const std::string& path, const char* mode) {
    const bool update = std::strchr(mode, '+') != nullptr;
    const int fd = ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        ::close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

} // namespace

bool IsNonRegularFile(const char* path) {
    if (!path || !*path) return false;
    struct stat st;
    return stat(ResolvePath(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

FILE* OpenFile(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    if (mode[0] == 'r') return OpenRegularForReading(ResolvePath(path), mode);

    std::string p = Slashes(path);
    std::string_view folder = DirectoryPart(p);
    std::string name(FileNamePart(p));
    std::string resolvedFolder = folder.empty() ? std::string() : ResolvePath(folder);
    if (p[0] == '/' && resolvedFolder.empty()) resolvedFolder = "/";
    std::string existing = FindCaseless(resolvedFolder, name);
    std::string target = JoinPath(resolvedFolder, existing.empty() ? name : existing);
    // Writing to a pipe or a device would block or lose the data: only a regular file, new or
    // existing, is written.
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(target.c_str(), mode);
}

bool FileExists(const char* path) {
    if (!path || !*path) return false;
    struct stat st;
    return stat(ResolvePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const char* path) {
    if (!path || !*path) return false;
    struct stat st;
    return stat(ResolvePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const char* path, std::vector<unsigned char>& out) {
    out.clear();
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<size_t>(size));
        ok = size == 0 || std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}

std::string_view FileNamePart(std::string_view path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view DirectoryPart(std::string_view path) {
    size_t cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos) return {};
    if (cut == 0) return path.substr(0, 1);
    return path.substr(0, cut);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    std::string s(folder);
    if (s.back() != '/' && s.back() != '\\') s += '/';
    s += name;
    return s;
}
