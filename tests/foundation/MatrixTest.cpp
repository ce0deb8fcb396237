#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "foundation/MatrixT.h"

namespace {

matrixT Make(uint32_t rows, uint32_t columns, std::initializer_list<float> values) {
    matrixT m(rows, columns);
    auto it = values.begin();
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c) m(r, c) = *it++;
    return m;
}

const float P0[3] = {0, 0, 0}, P1[3] = {1, 0, 0}, P2[3] = {0, 1, 0};

} // namespace

TEST(MatrixTest, CopiesShareUntilWritten) {
    matrixT a = Make(2, 2, {1, 2, 3, 4});
    matrixT b = a;
    EXPECT_TRUE(a.IsShared());
    const matrixT& readOnly = b;
    EXPECT_EQ(readOnly(1, 0), 3.0f);
    EXPECT_TRUE(a.IsShared());
    b(1, 0) = 30;
    EXPECT_FALSE(a.IsShared());
    EXPECT_FALSE(b.IsShared());
    EXPECT_EQ(a(1, 0), 3.0f);
    EXPECT_EQ(b(1, 0), 30.0f);
    EXPECT_EQ(b(0, 1), 2.0f);
    const matrixT& alias = a;
    a = alias;
    EXPECT_EQ(a(1, 1), 4.0f);
    a = b;
    EXPECT_TRUE(b.IsShared());
}

TEST(MatrixTest, SolvesWithPivoting) {
    // The first pivot is 0, so rows must be exchanged.
    matrixT a = Make(3, 3, {0, 2, 1, 1, 1, 1, 2, 1, 3});
    matrixT b = Make(3, 2, {5, 1, 4, 2, 7, 3});
    matrixT x = Solve(a, b);
    EXPECT_EQ(matrixSingular, 0);
    ASSERT_EQ(x.Rows(), 3u);
    ASSERT_EQ(x.Columns(), 2u);
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t r = 0; r < 3; ++r) {
            float sum = 0;
            for (uint32_t k = 0; k < 3; ++k) sum += a(r, k) * x(k, c);
            EXPECT_NEAR(sum, b(r, c), 1e-5f);
        }
    EXPECT_NEAR(x(0, 0), 1.0f, 1e-5f);
    EXPECT_NEAR(x(1, 0), 2.0f, 1e-5f);
    EXPECT_NEAR(x(2, 0), 1.0f, 1e-5f);
}

TEST(MatrixTest, SingularSystemSetsTheFlag) {
    matrixT a = Make(2, 2, {1, 2, 2, 4});
    matrixT b = Make(2, 1, {1, 1});
    matrixT c = Solve(a, b);
    EXPECT_EQ(matrixSingular, 1);
    EXPECT_EQ(c.Columns(), 3u); // the augmented matrix comes back
    Solve(Make(1, 1, {2}), Make(1, 1, {4}));
    EXPECT_EQ(matrixSingular, 0);
}

TEST(MatrixDeathTest, SizeFaultsEndTheProgram) {
    EXPECT_EXIT(Solve(matrixT(3, 3), matrixT(2, 1)), ::testing::ExitedWithCode(1),
                "matrixT::Solve\\(\\):Inconsistent matrices!");
    EXPECT_EXIT(Solve(matrixT(3, 2), matrixT(3, 1)), ::testing::ExitedWithCode(1), "Inconsistent");
    matrixT m(2, 2);
    EXPECT_EXIT(m(2, 0) = 1, ::testing::ExitedWithCode(1), "matrixT::operator\\(\\): Index out of range!");
    const matrixT& cm = m;
    EXPECT_EXIT((void)cm(0, 2), ::testing::ExitedWithCode(1), "Index out of range!");
}

TEST(RayTriangleTest, HitsMissesAndParallelRays) {
    const float down[3] = {0, 0, -1};
    const float from[3] = {0.25f, 0.25f, 5};
    EXPECT_NEAR(RayTriangle(P0, P1, P2, from, down), 5.0f, 1e-6f);
    const float twice[3] = {0, 0, -2};
    EXPECT_NEAR(RayTriangle(P0, P1, P2, from, twice), 2.5f, 1e-6f);
    const float behind[3] = {0.25f, 0.25f, -3};
    EXPECT_NEAR(RayTriangle(P0, P1, P2, behind, down), -3.0f, 1e-6f); // t is not checked here

    const float along[3] = {1, 0, 0};
    matrixSingular = 7;
    EXPECT_EQ(RayTriangle(P0, P1, P2, from, along), -1.0f);
    EXPECT_EQ(matrixSingular, 7); // rejected before solving

    const float outside[3] = {0.505f, 0.505f, 5}; // u + v = 1.01
    EXPECT_EQ(RayTriangle(P0, P1, P2, outside, down), -1.0f);
    const float edge[3] = {0.5f, 0.5f, 5};
    EXPECT_NEAR(RayTriangle(P0, P1, P2, edge, down), 5.0f, 1e-6f);
    const float negative[3] = {-0.01f, 0.5f, 5};
    EXPECT_EQ(RayTriangle(P0, P1, P2, negative, down), -1.0f);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float bad[3] = {nan, 0, 0};
    EXPECT_EQ(RayTriangle(bad, P1, P2, from, down), -1.0f);
}

// Rays built to cross each triangle at a chosen point: origin = p0 + u e1 + v e2 - t dir, so
// the ray meets the plane at t, inside exactly when u, v >= 0 and u + v <= 1. Points chosen
// clearly inside or outside (margin 0.05) so rounding cannot flip the answer.
TEST(RayTriangleTest, FindsTheDistanceOfAChosenCrossing) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> coord(-2, 2), uv(-0.5f, 1.5f), dist(-3, 6);
    int hits = 0, misses = 0;
    for (int n = 0; n < 400; ++n) {
        float p[3][3], dir[3], origin[3], e1[3], e2[3];
        for (auto& v : p)
            for (float& x : v) x = coord(rng);
        for (float& x : dir) x = coord(rng);
        for (int i = 0; i < 3; ++i) {
            e1[i] = p[1][i] - p[0][i];
            e2[i] = p[2][i] - p[0][i];
        }
        // Skip rays nearly parallel to thin triangles: their crossing is ill-conditioned.
        const float nx = e1[1] * e2[2] - e1[2] * e2[1], ny = e1[2] * e2[0] - e1[0] * e2[2],
                    nz = e1[0] * e2[1] - e1[1] * e2[0];
        const float cosine = std::fabs(nx * dir[0] + ny * dir[1] + nz * dir[2]) /
                             (std::sqrt(nx * nx + ny * ny + nz * nz) *
                              std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]));
        if (!(cosine > 0.2f)) continue;
        const float u = uv(rng), v = uv(rng), t = dist(rng);
        const float w = 1 - u - v;
        const bool inside = u > 0.05f && v > 0.05f && w > 0.05f;
        const bool outside = u < -0.05f || v < -0.05f || w < -0.05f;
        if (!inside && !outside) continue;
        for (int i = 0; i < 3; ++i) origin[i] = p[0][i] + u * e1[i] + v * e2[i] - t * dir[i];
        const float got = RayTriangle(p[0], p[1], p[2], origin, dir);
        if (inside) {
            EXPECT_NEAR(got, t, 1e-3f * (1 + std::fabs(t))) << n;
            ++hits;
        } else {
            EXPECT_EQ(got, -1.0f) << n << " u " << u << " v " << v;
            ++misses;
        }
    }
    EXPECT_GT(hits, 20); // both kinds really were tried
    EXPECT_GT(misses, 20);
}
