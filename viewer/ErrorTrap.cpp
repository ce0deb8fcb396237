#include "viewer/ErrorTrap.h"

#include "foundation/ErrorReport.h"
#include "platform/MessageBox.h"

#include <string>

namespace {

template <typename Record>
int ShowEngineError(const Record& record, const char* caption, const std::function<void()>& shutdown) {
    std::string text = std::string(record.name) + ": " + record.message;
    if (shutdown) shutdown();
    ShowMessageBox(caption, text.c_str());
    return 0;
}

} // namespace

int RunInErrorTrap(const std::function<int()>& body, const std::function<void()>& shutdown) {
    try {
        return body();
    } catch (const DXC_Error& e) {
        return ShowEngineError(e, "DXC Error (DirectX8)", shutdown);
    } catch (const ErrorMsg& e) {
        return ShowEngineError(e, "Error", shutdown);
    }
}
