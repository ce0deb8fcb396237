#include "platform/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace {

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.config";
}

std::vector<std::string> ReadLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
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
    for (const std::string& line : ReadLines(file_)) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        value = line.substr(prefix.size());
        if (maxBytes > 0 && value.size() > maxBytes - 1) value.resize(maxBytes - 1);
        return 0;
    }
    return ENOENT;
}

int RegistryKey::SetValue(const char* name, const std::string& value) {
    if (file_.empty()) return EBADF;
    if (value.find_first_of("\r\n") != std::string::npos) return EINVAL;
    const std::string prefix = std::string(name ? name : "") + "=";
    std::vector<std::string> lines = ReadLines(file_);
    bool replaced = false;
    for (std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            line = prefix + value;
            replaced = true;
        }
    }
    if (!replaced) lines.push_back(prefix + value);
    // Write beside and rename, so a crash never leaves a half-written settings file.
    std::string temp = file_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
        if (!out) return EIO;
    }
    return std::rename(temp.c_str(), file_.c_str()) == 0 ? 0 : errno;
}
