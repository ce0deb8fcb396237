#pragma once
// The generated scene the benchmarks load and draw: 8 wavy grid meshes of 25,088 faces each
// (200,704 in all), with texture coordinates, smoothing groups, three sub-materials in stripes
// and position, rotation and scale keys. Written once per run to a temporary file.

#include <string>

#include "platform/TemporaryFolder.h"

namespace bench {

constexpr int kMeshes = 8;
constexpr int kGrid = 112;                       // quads per side of each mesh
constexpr int kFacesPerMesh = 2 * kGrid * kGrid; // 25,088
constexpr int kFaces = kMeshes * kFacesPerMesh;  // 200,704
constexpr int kKeys = 100;                       // per track
constexpr float kMeshSpacing = 150.0f;           // mesh m lies at x = m * kMeshSpacing

// The scene text.
std::string GenerateScene();
// The run's own folder (removed at exit) for the log and the scene file.
const TemporaryFolder& RunFolder();
// The file holding the scene, written into the run's folder on first use.
const std::string& ScenePath();

} // namespace bench
