#include "foundation/ErrorReport.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "foundation/Log.h"

namespace {

// Copies text into a fixed record field, cut to fit and always terminated.
template <std::size_t N> void CopyField(char (&field)[N], const char* text) {
    std::snprintf(field, N, "%s", text ? text : "");
}

// Joins the pieces into out, cut where they do not fit (a long message is shortened, never
// overflows the record).
void JoinCut(char* out, std::size_t size, std::initializer_list<const char*> pieces) {
    std::size_t len = 0;
    for (const char* piece : pieces) {
        for (; piece && *piece && len + 1 < size; ++piece) out[len++] = *piece;
    }
    out[len] = 0;
}

// One base class's reporting: its static state and the limit message it writes.
struct ReportChannel {
    ReportState state;
    const char* noErrorText;
    const char* limitText;

    void ResetLast() {
        state.last.name[0] = 0;
        CopyField(state.last.message, noErrorText);
    }

    // Run by each constructor of the base: a pending repeat count is dropped unlogged.
    void OnConstruct() {
        state.repeatCount = 0;
        CopyField(state.last.message, noErrorText);
    }

    void Reset() {
        ResetLast();
        state.lastWarningLine[0] = 0;
        state.repeatCount = 0;
        state.warningCount = 0;
    }

    int Warn(const char* name, const char* message) {
        if (state.warningCount >= MaxWarningLines) return 0;
        CopyField(state.last.message, message);
        CopyField(state.last.name, name);

        char line[ReportMessageSize];
        JoinCut(line, sizeof line, {"Warning:", state.last.name, ": ", state.last.message});
        if (std::strcmp(line, state.lastWarningLine) == 0) {
            if (state.repeatCount < MaxWarningRepeats) ++state.repeatCount;
            return 0;
        }
        // The first warning of a run never counts as the predecessor of a repeat.
        if (state.warningCount == 0)
            state.lastWarningLine[0] = 0;
        else
            CopyField(state.lastWarningLine, line);

        if (state.repeatCount > 0) {
            if (state.repeatCount >= MaxWarningRepeats)
                LogMessage("Warning Repeat: >%i", state.repeatCount);
            else
                LogMessage("Warning Repeat: %i", state.repeatCount);
        }
        ++state.warningCount;
        state.repeatCount = 0;
        LogMessage("%s", line);
        if (state.warningCount == MaxWarningLines) LogMessage("%s", limitText);
        return 0;
    }

    // Records and logs an error; the caller throws.
    void Fail(const char* name, const char* message) {
        CopyField(state.last.message, message);
        CopyField(state.last.name, name);
        LogMessage("Error:%s: %s", state.last.name, state.last.message);
    }

    template <class Record> Record MakeRecord() const {
        Record record;
        std::memcpy(record.name, state.last.name, sizeof record.name);
        std::memcpy(record.message, state.last.message, sizeof record.message);
        return record;
    }
};

ReportChannel& BaseChannel() {
    static ReportChannel channel{{}, "No error.", "DXC_Base: Maximum number of warnings reached!"};
    return channel;
}

ReportChannel& ClassChannel() {
    static ReportChannel channel{{}, "No error", "ErrorClass: Maximum number of warnings reached!"};
    return channel;
}

void FormatMessage(char (&out)[ReportMessageSize], const char* format, va_list args) {
    std::vsnprintf(out, sizeof out, format ? format : "", args);
}

} // namespace

void ReportLine(char* out, std::size_t outSize, const char* prefix, const char* format, va_list args) {
    if (!out || outSize == 0) return;
    char message[ReportMessageSize];
    FormatMessage(message, format, args);
    JoinCut(out, outSize, {prefix, ": ", message});
}

void ResetReportState() {
    BaseChannel().Reset();
    ClassChannel().Reset();
}

// --- DXC_Base ---

DXC_Base::DXC_Base() {
    BaseChannel().OnConstruct();
}

DXC_Base::~DXC_Base() {
    FlushWarnings();
}

void DXC_Base::FlushWarnings() {
    if (BaseChannel().state.repeatCount > 0) ReportWarning("end");
}

int DXC_Base::Warning(const char* format, ...) {
    char message[ReportMessageSize];
    va_list args;
    va_start(args, format);
    FormatMessage(message, format, args);
    va_end(args);
    return ReportWarning(message);
}

void DXC_Base::Error(const char* format, ...) {
    char message[ReportMessageSize];
    va_list args;
    va_start(args, format);
    FormatMessage(message, format, args);
    va_end(args);
    ReportError(message);
}

int DXC_Base::ReportWarning(const char* text) {
    return BaseChannel().Warn(GetObjectName(), text);
}

void DXC_Base::ReportError(const char* text) {
    errorFlag = 1;
    BaseChannel().Fail(GetObjectName(), text);
    throw BaseChannel().MakeRecord<DXC_Error>();
}

int DXC_Base::PrefixedWarningV(const char* prefix, const char* format, va_list args) {
    char line[ReportMessageSize];
    ReportLine(line, sizeof line, prefix, format, args);
    return ReportWarning(line);
}

void DXC_Base::PrefixedErrorV(const char* prefix, const char* format, va_list args) {
    char line[ReportMessageSize];
    ReportLine(line, sizeof line, prefix, format, args);
    ReportError(line);
}

const ReportState& DXC_Base::GetReportState() {
    return BaseChannel().state;
}

// --- ErrorClass ---

ErrorClass::ErrorClass() {
    ClassChannel().OnConstruct();
}

int ErrorClass::Warning(const char* format, ...) {
    char message[ReportMessageSize];
    va_list args;
    va_start(args, format);
    FormatMessage(message, format, args);
    va_end(args);
    return ReportWarning(message);
}

void ErrorClass::Error(const char* format, ...) {
    char message[ReportMessageSize];
    va_list args;
    va_start(args, format);
    FormatMessage(message, format, args);
    va_end(args);
    ReportError(message);
}

int ErrorClass::ReportWarning(const char* text) {
    return ClassChannel().Warn(GetObjectName(), text);
}

void ErrorClass::ReportError(const char* text) {
    errorFlag = 1;
    ClassChannel().Fail(GetObjectName(), text);
    if (throwFlag) throw ClassChannel().MakeRecord<ErrorMsg>();
}

int ErrorClass::PrefixedWarningV(const char* prefix, const char* format, va_list args) {
    char line[ReportMessageSize];
    ReportLine(line, sizeof line, prefix, format, args);
    return ReportWarning(line);
}

void ErrorClass::PrefixedErrorV(const char* prefix, const char* format, va_list args) {
    char line[ReportMessageSize];
    ReportLine(line, sizeof line, prefix, format, args);
    ReportError(line);
}

const ReportState& ErrorClass::GetReportState() {
    return ClassChannel().state;
}
