#pragma once

#include <string>

class DXC_Mesh;

// What WriteMeshDataFiles did.
enum class MeshDataFilesResult {
    Written,    // both files hold the mesh
    NoGeometry, // the mesh has no drawable data: nothing was created
    NotCreated, // a file could not be created (the face file may be left empty)
};

// Writes the faces and vertex positions of a mesh as plain text for other tools:
// "FaceData.txt" gets the three vertex numbers of each triangle ("%i  %i  %i"), and
// "VertexData.txt" the stored position of each vertex ("%f  %f  %f"), one line each with a
// single line feed, in the folder (the working directory when empty). A write that fails is
// the file's error, reported after both files are flushed at the latest, so the caller never
// announces files that did not reach the disk.
MeshDataFilesResult WriteMeshDataFiles(DXC_Mesh* mesh, const std::string& folder = std::string());
