#include "foundation/MatrixT.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

int32_t matrixSingular = 0;

namespace {

[[noreturn]] void Fatal(const char* text) {
    std::fputs(text, stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    std::exit(1);
}

// Forward elimination with partial pivoting on n rows of the augmented matrix (row pointers,
// each row width floats). Rows are exchanged by swapping the pointers. False when a pivot is
// 0 (the system is singular); the rows are then left as far as they were eliminated.
bool Eliminate(float** rows, uint32_t n, uint32_t width) {
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t best = i;
        float bestValue = std::fabs(rows[i][i]);
        for (uint32_t r = i + 1; r < n; ++r) {
            const float value = std::fabs(rows[r][i]);
            if (value > bestValue && value != 0.0f) {
                best = r;
                bestValue = value;
            }
        }
        if (bestValue == 0.0f) return false;
        float* swap = rows[i];
        rows[i] = rows[best];
        rows[best] = swap;

        float* pivotRow = rows[i];
        const float pivot = pivotRow[i];
        for (uint32_t c = i; c < width; ++c) pivotRow[c] /= pivot;
        for (uint32_t r = i + 1; r < n; ++r) {
            const float factor = rows[r][i];
            for (uint32_t c = i; c < width; ++c) rows[r][c] -= pivotRow[c] * factor;
        }
    }
    return true;
}

// Back substitution on the eliminated augmented matrix: x(k, c) for the column c of B.
template <class Store> void BackSubstitute(float* const* rows, uint32_t n, uint32_t m, Store x) {
    for (uint32_t c = 0; c < m; ++c) {
        for (uint32_t k = n; k-- > 0;) {
            float sum = rows[k][n + c];
            for (uint32_t j = k + 1; j < n; ++j) sum -= rows[k][j] * x(j, c);
            x(k, c) = sum;
        }
    }
}

} // namespace

matrixT::Block* matrixT::NewBlock(uint32_t rows, uint32_t columns) {
    Block* b = new Block{rows, columns, new float*[rows], 1};
    for (uint32_t r = 0; r < rows; ++r) b->rowData[r] = new float[columns]();
    return b;
}

void matrixT::Release(Block* b) {
    if (--b->refCount > 0) return;
    for (uint32_t r = 0; r < b->rows; ++r) delete[] b->rowData[r];
    delete[] b->rowData;
    delete b;
}

matrixT::matrixT(uint32_t rows, uint32_t columns) : block(NewBlock(rows, columns)) {}

matrixT::matrixT(const matrixT& other) : block(other.block) {
    ++block->refCount;
}

matrixT& matrixT::operator=(const matrixT& other) {
    ++other.block->refCount; // first, so that self-assignment keeps the block alive
    Release(block);
    block = other.block;
    return *this;
}

matrixT::~matrixT() {
    Release(block);
}

void matrixT::MakeOwn() {
    if (block->refCount <= 1) return;
    Block* own = NewBlock(block->rows, block->columns);
    for (uint32_t r = 0; r < block->rows; ++r)
        for (uint32_t c = 0; c < block->columns; ++c) own->rowData[r][c] = block->rowData[r][c];
    Release(block);
    block = own;
}

float& matrixT::operator()(uint32_t row, uint32_t column) {
    if (row >= block->rows || column >= block->columns) Fatal("matrixT::operator(): Index out of range!");
    MakeOwn();
    return block->rowData[row][column];
}

float matrixT::operator()(uint32_t row, uint32_t column) const {
    if (row >= block->rows || column >= block->columns) Fatal("matrixT::operator(): Index out of range!");
    return block->rowData[row][column];
}

matrixT Solve(const matrixT& a, const matrixT& b) {
    const uint32_t n = a.Rows();
    if (a.Columns() != n || b.Rows() != n) Fatal("matrixT::Solve():Inconsistent matrices!");
    const uint32_t m = b.Columns();
    matrixSingular = 0;

    matrixT c(n, n + m);
    float** rows = c.block->rowData;
    for (uint32_t r = 0; r < n; ++r) {
        for (uint32_t k = 0; k < n; ++k) rows[r][k] = a.block->rowData[r][k];
        for (uint32_t k = 0; k < m; ++k) rows[r][n + k] = b.block->rowData[r][k];
    }
    if (!Eliminate(rows, n, n + m)) {
        matrixSingular = 1;
        return c;
    }
    matrixT x(n, m);
    float** xRows = x.block->rowData;
    BackSubstitute(rows, n, m, [xRows](uint32_t r, uint32_t k) -> float& { return xRows[r][k]; });
    return x;
}

float RayTriangle(const float* p0, const float* p1, const float* p2, const float* origin,
                  const float* direction) {
    float e1[3], e2[3], rhs[3];
    for (int i = 0; i < 3; ++i) {
        e1[i] = p1[i] - p0[i];
        e2[i] = p2[i] - p0[i];
        rhs[i] = origin[i] - p0[i];
    }
    const float normal[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
    const float facing = direction[0] * normal[0] + direction[1] * normal[1] + direction[2] * normal[2];
    if (std::fabs(facing) < 1e-10) return -1.0f;

    // The 3 x 3 system with columns e1, e2, -direction and right-hand side origin - p0,
    // solved on the stack by the same elimination as Solve: picking runs every frame.
    float augmented[3][4];
    float* rows[3];
    for (int r = 0; r < 3; ++r) {
        augmented[r][0] = e1[r];
        augmented[r][1] = e2[r];
        augmented[r][2] = -direction[r];
        augmented[r][3] = rhs[r];
        rows[r] = augmented[r];
    }
    matrixSingular = 0;
    if (!Eliminate(rows, 3, 4)) {
        matrixSingular = 1;
        return -1.0f;
    }
    float uvt[3];
    BackSubstitute(rows, 3, 1, [&uvt](uint32_t r, uint32_t) -> float& { return uvt[r]; });
    const float u = uvt[0], v = uvt[1], t = uvt[2];
    // Written as the hit condition so that a NaN from degenerate input is no hit.
    const bool inside = u >= 0.0f && u <= 1.0f && v >= 0.0f && v <= 1.0f && u + v <= 1.0f;
    if (!inside) return -1.0f;
    return t;
}
