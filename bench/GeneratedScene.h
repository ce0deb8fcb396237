#pragma once

#include <string>

#include "platform/TemporaryFolder.h"

// The generated text scene of the load benchmarks: 200,704 faces in 8 wavy grid meshes with
// texture coordinates, smoothing groups, three sub-materials and 100 keys per track.
namespace generated {

constexpr int kMeshes = 8;
constexpr int kGrid = 112;                       // quads per side of each mesh
constexpr int kFacesPerMesh = 2 * kGrid * kGrid; // 25,088
constexpr int kFaces = kMeshes * kFacesPerMesh;  // 200,704
constexpr int kKeys = 100;                       // per track

std::string GenerateScene();
// The run's own temporary folder, removed when the program ends.
const TemporaryFolder& RunFolder();
// The scene written once per run into that folder.
const std::string& ScenePath();

} // namespace generated
