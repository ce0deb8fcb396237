// libFuzzer target: the configuration reader and the binary file's string reading on hostile
// bytes. Both read only from files, so each input is written to a temporary file first.
// Readers run with the throw flag cleared, so any exception that escapes is a finding; in
// the throwing mode only the reader's own ErrorMsg may leave.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/ConfigFileReader.h"
#include "foundation/ErrorReport.h"
#include "foundation/File.h"
#include "foundation/Log.h"
#include "platform/TemporaryFolder.h"

namespace {

std::string& InputPath() {
    static std::string path;
    return path;
}

bool WriteInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (!f) return false;
    const bool ok = size == 0 || std::fwrite(data, size, 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

void ExerciseReader(ConfigFileReader& reader) {
    const int32_t lines = reader.GetLineCount();
    String value;
    for (int32_t i = 0; i < lines && i < 256; ++i) reader.Line(i);
    reader.Line(lines);
    reader.Line(-1);
    for (int32_t e = -2; e <= reader.GetEntryCount(); ++e) {
        reader.GetEntryLineCount(e);
        reader.Find("desc", e);
        reader.Value("tex", value, e, 1, 2);
        reader.Value("map", value, e);
    }
    if (lines > 0) {
        reader.SetBlock(lines / 2, reader.GetLineDepth(lines / 2));
        reader.Value("map", value);
        reader.ClearBlock();
    }
    if (const char* first = reader.Line(0)) reader.FindDesc(first);
}

void FuzzReader(bool throwing) {
    ConfigFileReader reader;
    reader.SetThrowFlag(throwing ? 1 : 0);
    reader.SetDescKey("desc");
    try {
        if (reader.Open(InputPath().c_str()) == ConfigFileReader::Opened) ExerciseReader(reader);
    } catch (const ErrorMsg&) {
        if (!throwing) std::abort(); // a non-throwing reader must answer with a result code
    }
}

void FuzzFile() {
    File file;
    file.SetThrowFlag(0);
    if (!file.Open(InputPath().c_str())) return;
    String text;
    // Alternate strings with plain values so that counts land on every kind of byte.
    for (int i = 0; i < 64 && file.GetPosition() < file.GetSize(); ++i) {
        if (!file.ReadString(text)) break;
        int16_t s = 0;
        if (!file.ReadShort(&s)) break;
    }
    file.Seek(0);
    while (file.GetPosition() < file.GetSize())
        if (!file.ReadString(text)) break;
}

// The inputs' folder, removed with them at exit.
const std::string& Folder() {
    static TemporaryFolder folder("kzvconfigfuzz");
    return folder.Path();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Folder().empty()) std::abort();
    InputPath() = Folder() + "/input.cfg";
    SetLogDirectory(Folder()); // keep logfile.txt out of the working directory
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WriteInput(data, size)) return 0;
    FuzzReader(false);
    FuzzReader(true);
    FuzzFile();
    ResetReportState();
    return 0;
}
