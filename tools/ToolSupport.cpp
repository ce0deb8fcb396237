#include "ToolSupport.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <new>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/Registry.h"

bool ParseSeconds(const std::string& text, float& out) {
    const char* first = text.c_str();
    const char* last = first + text.size();
    float value = 0.0f;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) return false;
    out = value;
    return true;
}

void PrivateLogFolder::Restart() const {
    ResetLogState();
    SetLogDirectory(folder.Path().empty() ? std::string("/nonexistent-kzvtool-log") : folder.Path());
}

std::string DefaultTexturePath(bool given, const std::string& folder) {
    // The loader puts the file name directly after the folder, as the viewer's setting ends
    // with a separator; a folder given here may leave it out.
    if (given) {
        std::string path = folder;
        if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
        return path;
    }
    RegistryKey key;
    std::string value;
    if (key.Open("Software\\Halvorn\\KZVView") && key.QueryValue("DefaultTexturePath", value, 256) == 0)
        return value;
    return {};
}

std::string DescribeCurrentException(const char* otherPrefix) {
    try {
        throw;
    } catch (const DXC_Error& e) {
        return std::string(e.name) + ": " + e.message;
    } catch (const ErrorMsg& e) {
        return std::string(e.name) + ": " + e.message;
    } catch (const std::bad_alloc&) {
        return std::string(otherPrefix) + "out of memory";
    } catch (const std::exception& e) {
        return std::string(otherPrefix) + e.what();
    } catch (...) {
        return std::string(otherPrefix) + "unknown failure";
    }
}
