#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "foundation/ObjectName.h"

// Two report levels for every engine object: a warning is logged and the caller goes on
// (identical warnings in a row fold into one counted line); an error is logged and thrown.
// DXC_Base serves the graphics and scene classes, ErrorClass the foundation containers, files
// and the text loader. Each base keeps its own static report state.

constexpr std::size_t ReportMessageSize = 1024; // formatted message: 1023 characters + zero
constexpr int32_t MaxWarningLines = 0x10000;    // warning lines per base per run
constexpr int32_t MaxWarningRepeats = 0x0FFFFFFF;

// The exception records: the reporting object's name and the message (without the name).
// Thrown by value; only the top-level trap of the program catches them.
struct DXC_Error {
    char name[ObjectName::Size];
    char message[ReportMessageSize];
};
struct ErrorMsg {
    char name[ObjectName::Size];
    char message[ReportMessageSize];
};

// The name and message of the last warning or error of one base class.
struct ReportRecord {
    char name[ObjectName::Size];
    char message[ReportMessageSize];
};

// Report state of one base class (static lifetime, one set per base).
struct ReportState {
    ReportRecord last;                       // last error or warning
    char lastWarningLine[ReportMessageSize]; // full text of the last warning line logged
    int32_t repeatCount;                     // identical warnings folded since that line
    int32_t warningCount;                    // warning lines written in this run
};

// Formats format/args and joins "prefix: message" into out (outSize bytes, always
// terminated, cut where it does not fit). The prefix is copied as it is, so a '%' in a name
// or path stays literal. Objects with a display prefix of their own (scene objects, files)
// hand the result to their base's ReportWarning/ReportError.
void ReportLine(char* out, std::size_t outSize, const char* prefix, const char* format, va_list args);

// Restarts warning folding and the warning counters of both base classes and resets their
// last reports. For tools that check several files in one run and for tests.
void ResetReportState();

class DXC_Base {
public:
    DXC_Base();
    DXC_Base(const DXC_Base&) = default;
    DXC_Base& operator=(const DXC_Base&) = default;
    virtual ~DXC_Base(); // writes a pending repeat count (FlushWarnings)

    // Logs "Warning:<name>: <message>", folding identical lines in a row; returns 0.
    int Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Logs "Error:<name>: <message>", sets the error flag and throws DXC_Error.
    [[noreturn]] void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // When identical warnings are pending, reports the warning "end" so the count is written.
    void FlushWarnings();

    void SetObjectName(const char* name) { objectName.Set(name); }
    const char* GetObjectName() const { return objectName.Get(); }
    int32_t GetErrorFlag() const { return errorFlag; }
    void ClearErrorFlag() { errorFlag = 0; }
    int32_t GetResult() const { return result; }

    static const ReportState& GetReportState();

protected:
    // Reports an already formatted text: it is not formatted again.
    int ReportWarning(const char* text);
    [[noreturn]] void ReportError(const char* text);
    // Formats the message, then reports "prefix: message" (see ReportLine).
    int PrefixedWarningV(const char* prefix, const char* format, va_list args);
    [[noreturn]] void PrefixedErrorV(const char* prefix, const char* format, va_list args);

    int32_t result = 0; // result code of the derived object's last platform call
    int32_t errorFlag = 0;
    ObjectName objectName;
};

class ErrorClass {
public:
    ErrorClass();
    ErrorClass(const ErrorClass&) = default;
    ErrorClass& operator=(const ErrorClass&) = default;
    virtual ~ErrorClass() = default;

    // Logs "Warning:<name>: <message>", folding identical lines in a row; returns 0.
    int Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Logs "Error:<name>: <message>" and sets the error flag; throws ErrorMsg while the throw
    // flag is set, returns otherwise.
    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void SetObjectName(const char* name) { objectName.Set(name); }
    const char* GetObjectName() const { return objectName.Get(); }
    int32_t GetErrorFlag() const { return errorFlag; }
    void ClearErrorFlag() { errorFlag = 0; }
    void SetThrowFlag(int32_t flag) { throwFlag = flag; }
    int32_t GetThrowFlag() const { return throwFlag; }

    static const ReportState& GetReportState();

protected:
    // Reports an already formatted text: it is not formatted again.
    int ReportWarning(const char* text);
    void ReportError(const char* text);
    // Formats the message, then reports "prefix: message" (see ReportLine).
    int PrefixedWarningV(const char* prefix, const char* format, va_list args);
    void PrefixedErrorV(const char* prefix, const char* format, va_list args);

    int32_t errorFlag = 0;
    int32_t errorWord = 0; // spare word, kept for layout; nothing reads it
    int32_t throwFlag = 1;
    ObjectName objectName;
};
