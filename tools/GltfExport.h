#pragma once

#include <map>
#include <string>
#include <vector>

#include "GltfDocument.h"
#include "platform/d3dx/D3DXMath.h"

class DXC_3dObject;
class DXC_3dScene;
class DXC_Mesh;
class DXC_Target3dObject;

// What the export is asked for.
struct GltfExportOptions {
    bool binary = false;   // one .glb with the images inside
    float fps = 0.0f;      // samples per second; 0: the scene's frame rate
    bool bake = false;     // every animated node sampled
    std::string output;    // .gltf or .glb
    std::string sceneFile; // the scene's path, for its maps
    float firstTime = 0.0f, lastTime = 0.0f, frameRate = 30.0f; // the scene's timing, seconds
};

// The scene on its way into the asset: the document, and which node stands for which object.
struct GltfExport {
    GltfDocument doc;
    GltfExportOptions options;
    DXC_3dScene* scene = nullptr;
    int rootNode = -1;                             // turns the Z-up scene into glTF's Y-up frame
    std::map<const DXC_3dObject*, int> nodeOf;     // the node of each scene object
    std::vector<const DXC_3dObject*> objects;      // scene objects in node order (after the root)
    std::map<const DXC_3dObject*, int> viewNodeOf; // camera and light looking nodes
    std::map<std::string, int> imageOf;            // one image per map file
    std::vector<std::string> notes;                // what could not be carried over, for the user
};

// The name the root node carries; readers skip it to reach the scene's own frame.
constexpr const char* GltfRootName = "KZV Z-up to Y-up";

// Nodes: the root, one node per mesh, helper, camera and light, parents as in the scene, and
// for cameras and lights a child node that looks where they look. Transforms are those of the
// scene at its first frame.
void ExportNodes(GltfExport& out);
// Meshes with their materials and skins, attached to the mesh nodes.
void ExportMeshes(GltfExport& out);
// The glTF material of subset i of mesh (its index).
int ExportMaterial(GltfExport& out, DXC_Mesh& mesh, int32_t subset);
// Cameras and lights on their looking nodes.
void ExportCamerasAndLights(GltfExport& out);
// The animation: every node whose transform changes, sampled from the scene's own evaluation.
void ExportAnimation(GltfExport& out);

// Row-vector matrix (D3DX) helpers shared by the parts.
// The local matrix of object: its world matrix relative to its parent's.
D3DXMATRIX LocalMatrix(const DXC_3dObject& object);
// The matrix a camera or light looks along: -Z towards its direction, +Y its up, at its position.
D3DXMATRIX LookingMatrix(const DXC_Target3dObject& object);
// Splits a matrix into translation, rotation (x, y, z, w) and scale as glTF nodes carry them.
void Decompose(const D3DXMATRIX& m, float translation[3], float rotation[4], float scale[3]);
