// A D3DX mesh on the GL device: its managed buffers reach GL, and after an attribute sort each
// subset draws exactly its own faces (index offsets into the shared buffers).

#include "GlTestDevice.h"

#include "platform/d3dx/D3DXMesh.h"

namespace {

class GlMeshTest : public GlDeviceTest {};

TEST_F(GlMeshTest, SortedSubsetsDrawTheirOwnFaces) {
    // Three screen squares of two faces each; their faces are interleaved in the buffers with
    // attributes 2, 0, 1, 2, 0, 1 and sorted by attribute before drawing.
    struct Square {
        float x0, y0, x1, y1;
        D3DCOLOR colour;
        DWORD attribute;
    } squares[3] = {
        {2, 2, 18, 18, 0xFFFF0000, 2}, {22, 2, 38, 18, 0xFF00FF00, 0}, {42, 2, 58, 18, 0xFF0000FF, 1}};
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(6, 12, D3DXMESH_MANAGED, kTLVertexFvf, Device(), &mesh), D3D_OK);
    TLVertex* v = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(0, reinterpret_cast<BYTE**>(&v)), D3D_OK);
    for (int s = 0; s < 3; ++s) {
        const Square& q = squares[s];
        v[4 * s + 0] = {q.x0, q.y0, 0.5f, 1, q.colour, 0, 0, 0};
        v[4 * s + 1] = {q.x1, q.y0, 0.5f, 1, q.colour, 0, 0, 0};
        v[4 * s + 2] = {q.x0, q.y1, 0.5f, 1, q.colour, 0, 0, 0};
        v[4 * s + 3] = {q.x1, q.y1, 0.5f, 1, q.colour, 0, 0, 0};
    }
    mesh->UnlockVertexBuffer();
    WORD* indices = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<BYTE**>(&indices)), D3D_OK);
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), D3D_OK);
    for (int half = 0; half < 2; ++half)
        for (int s = 0; s < 3; ++s) {
            const int face = 3 * half + s;
            const WORD base = static_cast<WORD>(4 * s);
            const WORD corners[2][3] = {{0, 1, 2}, {2, 1, 3}}; // clockwise on the screen
            for (int k = 0; k < 3; ++k) indices[3 * face + k] = static_cast<WORD>(base + corners[half][k]);
            attributes[face] = squares[s].attribute;
        }
    mesh->UnlockAttributeBuffer();
    mesh->UnlockIndexBuffer();
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);

    for (int s = 0; s < 3; ++s) {
        Begin();
        ASSERT_EQ(mesh->DrawSubset(squares[s].attribute), D3D_OK);
        End();
        const std::vector<D3DCOLOR> p = Pixels();
        for (int other = 0; other < 3; ++other) {
            const Square& q = squares[other];
            // Both faces of the square: one pixel near each of two opposite corners.
            for (const auto& [x, y] : {std::pair{q.x0 + 2, q.y1 - 4}, std::pair{q.x1 - 2, q.y0 + 4}}) {
                const D3DCOLOR pixel = p[static_cast<int>(y) * kFrameWidth + static_cast<int>(x)];
                EXPECT_EQ(pixel, other == s ? q.colour : 0xFF000000u)
                    << "subset " << squares[s].attribute << ", square " << other;
            }
        }
    }
    EXPECT_EQ(mesh->Release(), 0u);
}

} // namespace
