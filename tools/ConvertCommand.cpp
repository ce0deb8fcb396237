#include "ConvertCommand.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "ToolSupport.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/FileSystem.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

bool ParseJobs(const std::string& text, int& out) {
    const char* first = text.c_str();
    const char* last = first + text.size();
    int value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last || value < 1 || value > 1024) return false;
    out = value;
    return true;
}

// The file name without its folder and its last extension.
std::string BaseName(const std::string& path) {
    std::string name(FileNamePart(path));
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// One conversion in this process: a graphics object on the recording device and a loader of
// its own, as the viewer keeps them. The result line, and whether it worked.
bool ConvertOne(const std::string& input, const std::string& output, std::string& line) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    try {
        const std::unique_ptr<DXC_Gfx> gfx = CreateRecordingGfx(0, 0);
        GfxSceneGraphics graphics(*gfx);
        KZVLoader loader;
        loader.SetGraphics(&graphics);
        auto scene = std::make_unique<DXC_3dScene>();
        LoadScene(input.c_str(), scene.get(), -1, loader);
        SaveBinary(scene.get(), output.c_str(), loader);
    } catch (...) {
        error = DescribeCurrentException();
    }
    if (!error.empty()) {
        line = input + ": error: " + error;
        return false;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(output, ec);
    char figures[96];
    std::snprintf(figures, sizeof figures, " (%llu bytes, %.3f s)",
                  static_cast<unsigned long long>(ec ? 0 : bytes), seconds);
    line = input + " -> " + output + figures;
    return true;
}

// A worker process for one file: it writes its line into a pipe and ends with 0 or 1. Its
// log goes to a private folder that it removes.
struct Worker {
    pid_t pid = -1;
    int fd = -1;
};

Worker StartWorker(const std::string& input, const std::string& output) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {};
    }
    if (pid > 0) {
        close(fds[1]);
        return {pid, fds[0]};
    }
    close(fds[0]);
    std::string line;
    bool ok = false;
    {
        const TemporaryFolder folder("kzvconvert");
        SetLogDirectory(folder.Path().empty() ? std::string("/nonexistent-kzvtool-log") : folder.Path());
        ok = ConvertOne(input, output, line);
    }
    line += '\n';
    const ssize_t written = write(fds[1], line.data(), line.size());
    close(fds[1]);
    _exit(ok && written == static_cast<ssize_t>(line.size()) ? 0 : 1);
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

} // namespace

bool ParseConvertArguments(const std::vector<std::string>& args, ConvertOptions& options,
                           std::string& error) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg != "-o" && arg != "-d" && arg != "--jobs") {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "-o") {
            options.output = value;
        } else if (arg == "-d") {
            options.directory = value;
        } else if (!ParseJobs(value, options.jobs)) {
            error = "--jobs needs a number of at least 1, not '" + value + "'";
            return false;
        }
    }
    if (options.inputs.empty())
        error = "no scene file given";
    else if (!options.output.empty() && !options.directory.empty())
        error = "-o and -d exclude each other";
    else if (!options.output.empty() && options.inputs.size() > 1)
        error = "-o takes one input file only";
    else if (!options.directory.empty() && !IsDirectory(options.directory.c_str()))
        error = "-d needs an existing folder: '" + options.directory + "'";
    return error.empty();
}

std::vector<std::string> ConvertOutputs(const ConvertOptions& options) {
    std::vector<std::string> outputs;
    for (const std::string& input : options.inputs) {
        if (!options.output.empty())
            outputs.push_back(options.output);
        else if (!options.directory.empty())
            outputs.push_back(JoinPath(options.directory, BaseName(input) + ".3sc"));
        else
            outputs.push_back(JoinPath(DirectoryPart(input), BaseName(input) + ".3sc"));
    }
    return outputs;
}

int RunConvert(const std::vector<std::string>& args, std::string& error) {
    ConvertOptions options;
    if (!ParseConvertArguments(args, options, error)) return 2;
    const std::vector<std::string> outputs = ConvertOutputs(options);
    const std::size_t count = options.inputs.size();
    int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    if (jobs < 1) jobs = 1;

    std::vector<std::string> lines(count);
    std::vector<bool> done(count, false);
    bool anyFailed = false;
    // Two inputs with one output would overwrite each other: the later ones are refused.
    std::set<std::string> taken;
    std::map<pid_t, std::pair<std::size_t, int>> running;
    std::size_t next = 0, printed = 0;
    auto finish = [&](std::size_t i, std::string line, bool ok) {
        lines[i] = std::move(line);
        done[i] = true;
        anyFailed = anyFailed || !ok;
        for (; printed < count && done[printed]; ++printed) std::printf("%s\n", lines[printed].c_str());
        std::fflush(stdout);
    };
    while (next < count || !running.empty()) {
        while (next < count && running.size() < static_cast<std::size_t>(jobs)) {
            const std::size_t i = next++;
            std::error_code ec;
            const std::string same = std::filesystem::weakly_canonical(ResolvePath(outputs[i]), ec).string();
            if (!taken.insert(ec ? outputs[i] : same).second) {
                finish(i,
                       options.inputs[i] + ": error: " + outputs[i] +
                           " is also the output of an earlier file",
                       false);
                continue;
            }
            const Worker worker = StartWorker(options.inputs[i], outputs[i]);
            if (worker.pid < 0) {
                finish(i, options.inputs[i] + ": error: no worker process", false);
                continue;
            }
            running[worker.pid] = {i, worker.fd};
        }
        if (running.empty()) continue;
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        const auto it = running.find(pid);
        if (it == running.end()) continue;
        const auto [i, fd] = it->second;
        running.erase(it);
        std::string line = ReadAll(fd);
        const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (line.empty()) line = options.inputs[i] + ": error: the conversion ended abnormally";
        finish(i, line, ok);
    }
    return anyFailed ? 1 : 0;
}
