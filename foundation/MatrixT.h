#pragma once

#include <cstdint>

// A small dense float matrix with shared, reference-counted storage (copy on write) and a
// linear equation solver. The ray-triangle test of the picking code rests on it.
class matrixT {
public:
    matrixT(uint32_t rows, uint32_t columns);
    matrixT(const matrixT& other);
    matrixT& operator=(const matrixT& other);
    ~matrixT();

    // Element access. Writing access first gives this matrix its own copy of a shared block.
    // An index out of range is fatal: the program ends with exit code 1.
    float& operator()(uint32_t row, uint32_t column);
    float operator()(uint32_t row, uint32_t column) const;

    uint32_t Rows() const { return block->rows; }
    uint32_t Columns() const { return block->columns; }
    // True while another matrix shares this one's storage.
    bool IsShared() const { return block->refCount > 1; }

    friend matrixT Solve(const matrixT& a, const matrixT& b);

private:
    struct Block {
        uint32_t rows;
        uint32_t columns;
        float** rowData;
        int32_t refCount;
    };
    static Block* NewBlock(uint32_t rows, uint32_t columns);
    static void Release(Block* block);
    void MakeOwn();

    Block* block;
};

// Set by the last Solve when its matrix A was singular (single-threaded program state).
extern int32_t matrixSingular;

// X with A * X = B for A n x n and B n x m, by Gaussian elimination with partial pivoting.
// When A is singular, matrixSingular is set and the augmented matrix [A | B] as far as it
// was eliminated is returned instead. Inconsistent sizes are fatal (exit code 1).
matrixT Solve(const matrixT& a, const matrixT& b);

// Ray-triangle test: the ray origin + t * direction against the triangle p0, p1, p2 (three
// floats each). The hit's distance parameter t (not tested for sign), or -1 when the ray is
// parallel to the triangle's plane or passes outside it. Allocates nothing.
float RayTriangle(const float* p0, const float* p1, const float* p2, const float* origin,
                  const float* direction);
