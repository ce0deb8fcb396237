#include "viewer/CommandLine.h"

#include "platform/FileSystem.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <strings.h>
#include <string_view>

namespace {

// Calls fn(word, index) for each blank-separated word until fn returns true.
template <typename Fn> void ForEachWord(const char* text, Fn fn) {
    if (!text) return;
    int index = 0;
    const char* p = text;
    while (*p) {
        while (*p == ' ') ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && *p != ' ') ++p;
        if (fn(std::string_view(start, p - start), index++)) return;
    }
}

// The value text of the first word beginning with the option, or false when the option is
// absent (no such word, or no ':' / '=' right after the name).
bool FindOptionValue(const char* commandLine, const char* option, std::string_view& value) {
    if (!option) return false;
    size_t n = std::strlen(option);
    bool found = false;
    ForEachWord(commandLine, [&](std::string_view word, int) {
        if (word.size() < n || strncasecmp(word.data(), option, n) != 0) return false;
        if (word.size() > n && (word[n] == ':' || word[n] == '=')) {
            value = word.substr(n + 1);
            found = true;
        }
        return true; // only the first matching word counts
    });
    return found;
}

int ParseIntValue(std::string_view text) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.size() > 10) return 0;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int>(value);
}

float ParseFloatValue(std::string_view text) {
    std::string s(text.substr(0, 31));
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    double d = strtod_l(s.c_str(), nullptr, cLocale);
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return 0.0f;
    return static_cast<float>(d);
}

bool IsOptionElement(const std::string& arg) {
    if (arg.empty()) return false;
    if (arg[0] == '-') return true;
    if (arg[0] != '/') return false;
    return arg.find('/', 1) == std::string::npos && !FileExists(arg.c_str());
}

std::string AsSlashOption(const std::string& arg) {
    if (arg.rfind("--", 0) == 0) return "/" + arg.substr(2);
    if (arg[0] == '-') return "/" + arg.substr(1);
    return arg;
}

} // namespace

int HasOption(const char* commandLine, const char* option) {
    if (!option) return 0;
    size_t n = std::strlen(option);
    int found = 0;
    ForEachWord(commandLine, [&](std::string_view word, int) {
        found = word.size() == n && strncasecmp(word.data(), option, n) == 0;
        return found != 0;
    });
    return found;
}

int GetIntOption(const char* commandLine, const char* option, int* result) {
    std::string_view value;
    if (!FindOptionValue(commandLine, option, value)) return 0;
    if (result) *result = ParseIntValue(value);
    return 1;
}

int GetFloatOption(const char* commandLine, const char* option, float* result) {
    std::string_view value;
    if (!FindOptionValue(commandLine, option, value)) return 0;
    if (result) *result = ParseFloatValue(value);
    return 1;
}

int GetFileArgument(const char* commandLine, char* buffer) {
    if (buffer) buffer[0] = 0;
    if (!commandLine) return -1;
    int result = -1;
    ForEachWord(commandLine, [&](std::string_view word, int index) {
        if (static_cast<unsigned char>(word[0]) < '!' || word[0] == '/') return false;
        const char* start = word.data();
        const char* p = start;
        std::string path;
        if (*p == '"') {
            // A quoted path may hold blanks: it runs to the next quote or the end of the text.
            ++p;
            while (*p && *p != '"') path += *p++;
        } else {
            while (static_cast<unsigned char>(*p) >= '!' && *p != '"') path += *p++;
        }
        if (path.size() > 255) path.resize(255);
        if (buffer) std::memcpy(buffer, path.c_str(), path.size() + 1);
        result = index;
        return true;
    });
    return result;
}

SplitArguments SplitProgramArguments(const std::vector<std::string>& args) {
    SplitArguments out;
    for (const std::string& arg : args) {
        if (arg.empty()) continue;
        if (IsOptionElement(arg)) {
            if (!out.commandLine.empty()) out.commandLine += ' ';
            out.commandLine += AsSlashOption(arg);
        } else if (!out.hasScenePath) {
            out.scenePath = arg;
            out.hasScenePath = true;
        } else {
            out.ignored.push_back(arg);
        }
    }
    return out;
}
