#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class DXC_3dScene;

// The JSON description of a loaded scene that "kzvtool info --json" prints: scene settings,
// every mesh with its geometry counts and materials, cameras, helpers and lights, each as the
// scene holds it after its last update. Fields keep the order in which they are set.
using ReportJson = nlohmann::ordered_json;

// What the report needs to know about the file beside the scene: the header values the load
// left with the loader.
struct SceneFileFacts {
    std::string file;    // as given
    std::string format;  // "kzv" or "3sc"
    int32_t version = 0; // major x 100 + minor for text scenes, the version byte for binary ones
    float frameSpeed = 0.0f;
    float firstFrame = 0.0f;
    float lastFrame = 0.0f;
    std::string soundFile;
    std::string scriptFile;
};

// The report of a scene updated at time. Text is converted to UTF-8 (Windows-1252 names);
// numbers that are not finite are written as null.
ReportJson ReportScene(DXC_3dScene& scene, const SceneFileFacts& facts, float time);

// The entry of a file that could not be loaded: its name, the error as the error box shows it
// ("name: message") and the log lines written until then.
ReportJson ReportFailure(const std::string& file, const std::string& error,
                         const std::vector<std::string>& log);

// The JSON text of a report: two-space indentation, arrays of plain values (vectors,
// matrices, colours) on one line. Text that is not valid UTF-8 is replaced, never thrown on.
std::string FormatReport(const ReportJson& value);

// A few lines for people, made from a report entry (of a scene or of a failure).
std::string SummariseReport(const ReportJson& entry);
