#include "platform/d3dx/D3DXMath.h"

#include <algorithm>
#include <cmath>

namespace {

// Angles whose cosine lies this close to 1 interpolate linearly: sin(theta) would lose all precision.
constexpr float kSlerpLinearLimit = 1e-5f;

float Clamp01(float f) {
    return std::min(1.0f, std::max(0.0f, f));
}

uint32_t ColourByte(float f) {
    return static_cast<uint32_t>(Clamp01(f) * 255.0f + 0.5f);
}

} // namespace

// ---- types ----

D3DXMATRIX::D3DXMATRIX(const float* f) {
    for (int i = 0; i < 16; ++i) (&_11)[i] = f[i];
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat) {
    D3DXMatrixMultiply(this, this, &mat);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat) {
    for (int i = 0; i < 16; ++i) (&_11)[i] += (&mat._11)[i];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat) {
    for (int i = 0; i < 16; ++i) (&_11)[i] -= (&mat._11)[i];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(float f) {
    for (int i = 0; i < 16; ++i) (&_11)[i] *= f;
    return *this;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& mat) const {
    D3DXMATRIX out;
    D3DXMatrixMultiply(&out, this, &mat);
    return out;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const {
    for (int i = 0; i < 16; ++i)
        if ((&_11)[i] != (&mat._11)[i]) return false;
    return true;
}

D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q) {
    D3DXQuaternionMultiply(this, this, &q);
    return *this;
}

D3DXCOLOR::D3DXCOLOR(uint32_t argb) {
    constexpr float f = 1.0f / 255.0f;
    a = f * static_cast<float>((argb >> 24) & 0xFF);
    r = f * static_cast<float>((argb >> 16) & 0xFF);
    g = f * static_cast<float>((argb >> 8) & 0xFF);
    b = f * static_cast<float>(argb & 0xFF);
}

D3DXCOLOR::operator uint32_t() const {
    return (ColourByte(a) << 24) | (ColourByte(r) << 16) | (ColourByte(g) << 8) | ColourByte(b);
}

// ---- 2D vectors ----

float D3DXVec2Length(const D3DXVECTOR2* v) {
    return std::sqrt(D3DXVec2LengthSq(v));
}
float D3DXVec2LengthSq(const D3DXVECTOR2* v) {
    return v->x * v->x + v->y * v->y;
}
float D3DXVec2Dot(const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) {
    return v1->x * v2->x + v1->y * v2->y;
}
float D3DXVec2CCW(const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) {
    return v1->x * v2->y - v1->y * v2->x;
}

D3DXVECTOR2* D3DXVec2Add(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) {
    *out = D3DXVECTOR2(v1->x + v2->x, v1->y + v2->y);
    return out;
}

D3DXVECTOR2* D3DXVec2Subtract(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) {
    *out = D3DXVECTOR2(v1->x - v2->x, v1->y - v2->y);
    return out;
}

D3DXVECTOR2* D3DXVec2Minimize(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) {
    *out = D3DXVECTOR2(std::min(v1->x, v2->x), std::min(v1->y, v2->y));
    return out;
}

D3DXVECTOR2* D3DXVec2Maximize(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2) {
    *out = D3DXVECTOR2(std::max(v1->x, v2->x), std::max(v1->y, v2->y));
    return out;
}

D3DXVECTOR2* D3DXVec2Scale(D3DXVECTOR2* out, const D3DXVECTOR2* v, float s) {
    *out = D3DXVECTOR2(v->x * s, v->y * s);
    return out;
}

D3DXVECTOR2* D3DXVec2Lerp(D3DXVECTOR2* out, const D3DXVECTOR2* v1, const D3DXVECTOR2* v2, float s) {
    *out = D3DXVECTOR2(v1->x + s * (v2->x - v1->x), v1->y + s * (v2->y - v1->y));
    return out;
}

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v) {
    float len = D3DXVec2Length(v);
    *out = len > 0.0f ? D3DXVECTOR2(v->x / len, v->y / len) : D3DXVECTOR2(0.0f, 0.0f);
    return out;
}

D3DXVECTOR4* D3DXVec2Transform(D3DXVECTOR4* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    for (int c = 0; c < 4; ++c) (&r.x)[c] = v->x * m->m[0][c] + v->y * m->m[1][c] + m->m[3][c];
    *out = r;
    return out;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    D3DXVec2Transform(&r, v, m);
    *out = D3DXVECTOR2(r.x / r.w, r.y / r.w);
    return out;
}

D3DXVECTOR2* D3DXVec2TransformNormal(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
    *out = D3DXVECTOR2(v->x * m->_11 + v->y * m->_21, v->x * m->_12 + v->y * m->_22);
    return out;
}

// ---- 3D vectors ----

float D3DXVec3Length(const D3DXVECTOR3* v) {
    return std::sqrt(D3DXVec3LengthSq(v));
}
float D3DXVec3LengthSq(const D3DXVECTOR3* v) {
    return v->x * v->x + v->y * v->y + v->z * v->z;
}

float D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = D3DXVECTOR3(v1->y * v2->z - v1->z * v2->y, v1->z * v2->x - v1->x * v2->z,
                       v1->x * v2->y - v1->y * v2->x);
    return out;
}

D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = *v1 + *v2;
    return out;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = *v1 - *v2;
    return out;
}

D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = D3DXVECTOR3(std::min(v1->x, v2->x), std::min(v1->y, v2->y), std::min(v1->z, v2->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = D3DXVECTOR3(std::max(v1->x, v2->x), std::max(v1->y, v2->y), std::max(v1->z, v2->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3* v, float s) {
    *out = *v * s;
    return out;
}

D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2, float s) {
    *out = D3DXVECTOR3(v1->x + s * (v2->x - v1->x), v1->y + s * (v2->y - v1->y), v1->z + s * (v2->z - v1->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    float len = D3DXVec3Length(v);
    *out = len > 0.0f ? *v / len : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    return out;
}

D3DXVECTOR3* D3DXVec3Hermite(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* t1,
                             const D3DXVECTOR3* v2, const D3DXVECTOR3* t2, float s) {
    float s2 = s * s, s3 = s2 * s;
    float h1 = 2.0f * s3 - 3.0f * s2 + 1.0f;
    float h2 = 3.0f * s2 - 2.0f * s3;
    float h3 = s3 - 2.0f * s2 + s;
    float h4 = s3 - s2;
    *out = *v1 * h1 + *v2 * h2 + *t1 * h3 + *t2 * h4;
    return out;
}

D3DXVECTOR3* D3DXVec3CatmullRom(D3DXVECTOR3* out, const D3DXVECTOR3* v0, const D3DXVECTOR3* v1,
                                const D3DXVECTOR3* v2, const D3DXVECTOR3* v3, float s) {
    float s2 = s * s, s3 = s2 * s;
    *out = (*v0 * (-s3 + 2.0f * s2 - s) + *v1 * (3.0f * s3 - 5.0f * s2 + 2.0f) +
            *v2 * (-3.0f * s3 + 4.0f * s2 + s) + *v3 * (s3 - s2)) *
           0.5f;
    return out;
}

D3DXVECTOR3* D3DXVec3BaryCentric(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2,
                                 const D3DXVECTOR3* v3, float f, float g) {
    *out = *v1 + (*v2 - *v1) * f + (*v3 - *v1) * g;
    return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    for (int c = 0; c < 4; ++c)
        (&r.x)[c] = v->x * m->m[0][c] + v->y * m->m[1][c] + v->z * m->m[2][c] + m->m[3][c];
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, v, m);
    *out = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR3 r;
    for (int c = 0; c < 3; ++c) (&r.x)[c] = v->x * m->m[0][c] + v->y * m->m[1][c] + v->z * m->m[2][c];
    *out = r;
    return out;
}

// ---- 4D vectors ----

float D3DXVec4Length(const D3DXVECTOR4* v) {
    return std::sqrt(D3DXVec4LengthSq(v));
}
float D3DXVec4LengthSq(const D3DXVECTOR4* v) {
    return D3DXVec4Dot(v, v);
}

float D3DXVec4Dot(const D3DXVECTOR4* v1, const D3DXVECTOR4* v2) {
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z + v1->w * v2->w;
}

D3DXVECTOR4* D3DXVec4Add(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2) {
    *out = *v1 + *v2;
    return out;
}

D3DXVECTOR4* D3DXVec4Subtract(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2) {
    *out = *v1 - *v2;
    return out;
}

D3DXVECTOR4* D3DXVec4Minimize(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2) {
    *out = D3DXVECTOR4(std::min(v1->x, v2->x), std::min(v1->y, v2->y), std::min(v1->z, v2->z),
                       std::min(v1->w, v2->w));
    return out;
}

D3DXVECTOR4* D3DXVec4Maximize(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2) {
    *out = D3DXVECTOR4(std::max(v1->x, v2->x), std::max(v1->y, v2->y), std::max(v1->z, v2->z),
                       std::max(v1->w, v2->w));
    return out;
}

D3DXVECTOR4* D3DXVec4Scale(D3DXVECTOR4* out, const D3DXVECTOR4* v, float s) {
    *out = *v * s;
    return out;
}

D3DXVECTOR4* D3DXVec4Lerp(D3DXVECTOR4* out, const D3DXVECTOR4* v1, const D3DXVECTOR4* v2, float s) {
    *out = *v1 + (*v2 - *v1) * s;
    return out;
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v) {
    float len = D3DXVec4Length(v);
    *out = len > 0.0f ? *v / len : D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    for (int c = 0; c < 4; ++c)
        (&r.x)[c] = v->x * m->m[0][c] + v->y * m->m[1][c] + v->z * m->m[2][c] + v->w * m->m[3][c];
    *out = r;
    return out;
}

// ---- matrices ----

bool D3DXMatrixIsIdentity(const D3DXMATRIX* m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m->m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    return true;
}

namespace {

// The sixteen cofactors of m, laid out as the transposed cofactor matrix (the adjugate), and the
// determinant from them. Pairs of 2 x 2 minors of the lower and upper halves are shared.
float Adjugate(const D3DXMATRIX& a, float adj[4][4]) {
    const float(*m)[4] = a.m;
    float s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
    float s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
    float s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
    float s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
    float s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
    float s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];
    float c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
    float c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
    float c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
    float c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
    float c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
    float c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];

    adj[0][0] = m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3;
    adj[0][1] = -m[0][1] * c5 + m[0][2] * c4 - m[0][3] * c3;
    adj[0][2] = m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3;
    adj[0][3] = -m[2][1] * s5 + m[2][2] * s4 - m[2][3] * s3;
    adj[1][0] = -m[1][0] * c5 + m[1][2] * c2 - m[1][3] * c1;
    adj[1][1] = m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1;
    adj[1][2] = -m[3][0] * s5 + m[3][2] * s2 - m[3][3] * s1;
    adj[1][3] = m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1;
    adj[2][0] = m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0;
    adj[2][1] = -m[0][0] * c4 + m[0][1] * c2 - m[0][3] * c0;
    adj[2][2] = m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0;
    adj[2][3] = -m[2][0] * s4 + m[2][1] * s2 - m[2][3] * s0;
    adj[3][0] = -m[1][0] * c3 + m[1][1] * c1 - m[1][2] * c0;
    adj[3][1] = m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0;
    adj[3][2] = -m[3][0] * s3 + m[3][1] * s1 - m[3][2] * s0;
    adj[3][3] = m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0;

    return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
}

} // namespace

float D3DXMatrixDeterminant(const D3DXMATRIX* m) {
    float adj[4][4];
    return Adjugate(*m, adj);
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    D3DXMATRIX t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t.m[r][c] = m->m[c][r];
    *out = t;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i) {
        float a0 = m1->m[i][0], a1 = m1->m[i][1], a2 = m1->m[i][2], a3 = m1->m[i][3];
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a0 * m2->m[0][j] + a1 * m2->m[1][j] + a2 * m2->m[2][j] + a3 * m2->m[3][j];
    }
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiplyTranspose(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, m1, m2);
    return D3DXMatrixTranspose(out, &r);
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m) {
    float adj[4][4];
    float det = Adjugate(*m, adj);
    if (determinant) *determinant = det;
    if (det == 0.0f || !std::isfinite(det)) return nullptr;
    float inv = 1.0f / det;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out->m[r][c] = adj[r][c] * inv;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) return D3DXMatrixIdentity(out);
    float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    *out = D3DXMATRIX(t * n.x * n.x + c, t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0,
                      t * n.x * n.y - s * n.z, t * n.y * n.y + c, t * n.y * n.z + s * n.x, 0,
                      t * n.x * n.z + s * n.y, t * n.y * n.z - s * n.x, t * n.z * n.z + c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll) {
    D3DXMATRIX r, p, y;
    D3DXMatrixRotationZ(&r, roll);
    D3DXMatrixRotationX(&p, pitch);
    D3DXMatrixRotationY(&y, yaw);
    D3DXMatrixMultiply(out, &r, &p);
    return D3DXMatrixMultiply(out, out, &y);
}

namespace {

// View matrix from the three camera axes and the eye point.
D3DXMATRIX* ViewFromAxes(D3DXMATRIX* out, const D3DXVECTOR3& xa, const D3DXVECTOR3& ya, const D3DXVECTOR3& za,
                         const D3DXVECTOR3& eye) {
    *out = D3DXMATRIX(xa.x, ya.x, za.x, 0, xa.y, ya.y, za.y, 0, xa.z, ya.z, za.z, 0, -D3DXVec3Dot(&xa, &eye),
                      -D3DXVec3Dot(&ya, &eye), -D3DXVec3Dot(&za, &eye), 1);
    return out;
}

D3DXMATRIX* LookAlong(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3& forward,
                      const D3DXVECTOR3* up) {
    D3DXVECTOR3 za, xa, ya;
    D3DXVec3Normalize(&za, &forward);
    D3DXVec3Cross(&xa, up, &za);
    D3DXVec3Normalize(&xa, &xa);
    D3DXVec3Cross(&ya, &za, &xa);
    return ViewFromAxes(out, xa, ya, za, *eye);
}

} // namespace

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    return LookAlong(out, eye, *at - *eye, up);
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    return LookAlong(out, eye, *eye - *at, up);
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
    float ys = 1.0f / std::tan(fovy * 0.5f);
    float q = zf / (zf - zn);
    *out = D3DXMATRIX(ys / aspect, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
    float ys = 1.0f / std::tan(fovy * 0.5f);
    float q = zf / (zn - zf);
    *out = D3DXMATRIX(ys / aspect, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, -1, 0, 0, zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* out, float w, float h, float zn, float zf) {
    float q = zf / (zf - zn);
    *out = D3DXMATRIX(2.0f * zn / w, 0, 0, 0, 0, 2.0f * zn / h, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf) {
    *out =
        D3DXMATRIX(2.0f / w, 0, 0, 0, 0, 2.0f / h, 0, 0, 0, 0, 1.0f / (zf - zn), 0, 0, 0, zn / (zn - zf), 1);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float l, float r, float b, float t, float zn,
                                       float zf) {
    *out = D3DXMATRIX(2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, 1.0f / (zf - zn), 0,
                      (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    return out;
}

// ---- quaternions ----

float D3DXQuaternionLength(const D3DXQUATERNION* q) {
    return std::sqrt(D3DXQuaternionLengthSq(q));
}
float D3DXQuaternionLengthSq(const D3DXQUATERNION* q) {
    return D3DXQuaternionDot(q, q);
}

float D3DXQuaternionDot(const D3DXQUATERNION* q1, const D3DXQUATERNION* q2) {
    return q1->x * q2->x + q1->y * q2->y + q1->z * q2->z + q1->w * q2->w;
}

D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out) {
    *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return out;
}

bool D3DXQuaternionIsIdentity(const D3DXQUATERNION* q) {
    return q->x == 0.0f && q->y == 0.0f && q->z == 0.0f && q->w == 1.0f;
}

D3DXQUATERNION* D3DXQuaternionConjugate(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    *out = D3DXQUATERNION(-q->x, -q->y, -q->z, q->w);
    return out;
}

void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* q, D3DXVECTOR3* axis, float* angle) {
    if (axis) *axis = D3DXVECTOR3(q->x, q->y, q->z);
    if (angle) *angle = 2.0f * std::acos(std::min(1.0f, std::max(-1.0f, q->w)));
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m) {
    // Pick the largest of w, x, y, z to divide by, so that the division is well conditioned.
    float trace = m->_11 + m->_22 + m->_33;
    D3DXQUATERNION q;
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f; // 4 w
        q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s);
    } else if (m->_11 > m->_22 && m->_11 > m->_33) {
        float s = std::sqrt(1.0f + m->_11 - m->_22 - m->_33) * 2.0f; // 4 x
        q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s);
    } else if (m->_22 > m->_33) {
        float s = std::sqrt(1.0f + m->_22 - m->_11 - m->_33) * 2.0f; // 4 y
        q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s);
    } else {
        float s = std::sqrt(1.0f + m->_33 - m->_11 - m->_22) * 2.0f; // 4 z
        q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s);
    }
    *out = q;
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, float angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) return D3DXQuaternionIdentity(out);
    float s = std::sin(angle * 0.5f);
    *out = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* out, float yaw, float pitch, float roll) {
    D3DXQUATERNION r, p, y;
    D3DXVECTOR3 ax(1, 0, 0), ay(0, 1, 0), az(0, 0, 1);
    D3DXQuaternionRotationAxis(&r, &az, roll);
    D3DXQuaternionRotationAxis(&p, &ax, pitch);
    D3DXQuaternionRotationAxis(&y, &ay, yaw);
    D3DXQuaternionMultiply(out, &r, &p);
    return D3DXQuaternionMultiply(out, out, &y);
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1,
                                       const D3DXQUATERNION* q2) {
    // Hamilton product a b with a = q2, b = q1.
    const D3DXQUATERNION& a = *q2;
    const D3DXQUATERNION& b = *q1;
    *out = D3DXQUATERNION(
        a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
        a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    return out;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    float len = D3DXQuaternionLength(q);
    *out = len > 0.0f ? *q / len : D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXQUATERNION* D3DXQuaternionInverse(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    float lsq = D3DXQuaternionLengthSq(q);
    D3DXQUATERNION c;
    D3DXQuaternionConjugate(&c, q);
    *out = lsq > 0.0f ? c / lsq : D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    return out;
}

D3DXQUATERNION* D3DXQuaternionLn(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    float w = std::min(1.0f, std::max(-1.0f, q->w));
    float a = std::acos(w);
    float s = std::sin(a);
    float k = s > kSlerpLinearLimit ? a / s : 1.0f;
    *out = D3DXQUATERNION(q->x * k, q->y * k, q->z * k, 0.0f);
    return out;
}

D3DXQUATERNION* D3DXQuaternionExp(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    float a = std::sqrt(q->x * q->x + q->y * q->y + q->z * q->z);
    float k = a > kSlerpLinearLimit ? std::sin(a) / a : 1.0f;
    *out = D3DXQUATERNION(q->x * k, q->y * k, q->z * k, std::cos(a));
    return out;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2,
                                    float t) {
    float cosom = D3DXQuaternionDot(q1, q2);
    float sign = 1.0f;
    if (cosom < 0.0f) {
        cosom = -cosom;
        sign = -1.0f;
    }
    float k1, k2;
    if (1.0f - cosom > kSlerpLinearLimit) {
        float omega = std::acos(std::min(1.0f, cosom));
        float inv = 1.0f / std::sin(omega);
        k1 = std::sin((1.0f - t) * omega) * inv;
        k2 = std::sin(t * omega) * inv;
    } else {
        k1 = 1.0f - t;
        k2 = t;
    }
    k2 *= sign;
    *out = D3DXQUATERNION(k1 * q1->x + k2 * q2->x, k1 * q1->y + k2 * q2->y, k1 * q1->z + k2 * q2->z,
                          k1 * q1->w + k2 * q2->w);
    return out;
}

D3DXQUATERNION* D3DXQuaternionSquad(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* a,
                                    const D3DXQUATERNION* b, const D3DXQUATERNION* c, float t) {
    D3DXQUATERNION s1, s2;
    D3DXQuaternionSlerp(&s1, q1, c, t);
    D3DXQuaternionSlerp(&s2, a, b, t);
    return D3DXQuaternionSlerp(out, &s1, &s2, 2.0f * t * (1.0f - t));
}

// ---- planes ----

float D3DXPlaneDot(const D3DXPLANE* p, const D3DXVECTOR4* v) {
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d * v->w;
}

float D3DXPlaneDotCoord(const D3DXPLANE* p, const D3DXVECTOR3* v) {
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d;
}

float D3DXPlaneDotNormal(const D3DXPLANE* p, const D3DXVECTOR3* v) {
    return p->a * v->x + p->b * v->y + p->c * v->z;
}

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p) {
    float len = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
    float k = len > 0.0f ? 1.0f / len : 0.0f;
    *out = D3DXPLANE(p->a * k, p->b * k, p->c * k, p->d * k);
    return out;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal) {
    *out = D3DXPLANE(normal->x, normal->y, normal->z, -D3DXVec3Dot(point, normal));
    return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2,
                               const D3DXVECTOR3* v3) {
    D3DXVECTOR3 e1 = *v2 - *v1, e2 = *v3 - *v1, n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    return D3DXPlaneFromPointNormal(out, v1, &n);
}

D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* v1,
                                    const D3DXVECTOR3* v2) {
    D3DXVECTOR3 dir = *v2 - *v1;
    float denom = D3DXPlaneDotNormal(p, &dir);
    if (denom == 0.0f) return nullptr;
    float t = -D3DXPlaneDotCoord(p, v1) / denom;
    *out = *v1 + dir * t;
    return out;
}

D3DXPLANE* D3DXPlaneTransform(D3DXPLANE* out, const D3DXPLANE* p, const D3DXMATRIX* m) {
    D3DXVECTOR4 v(p->a, p->b, p->c, p->d), r;
    D3DXVec4Transform(&r, &v, m);
    *out = D3DXPLANE(r.x, r.y, r.z, r.w);
    return out;
}

// ---- colours ----

D3DXCOLOR* D3DXColorNegative(D3DXCOLOR* out, const D3DXCOLOR* c) {
    *out = D3DXCOLOR(1.0f - c->r, 1.0f - c->g, 1.0f - c->b, c->a);
    return out;
}

D3DXCOLOR* D3DXColorAdd(D3DXCOLOR* out, const D3DXCOLOR* c1, const D3DXCOLOR* c2) {
    *out = *c1 + *c2;
    return out;
}

D3DXCOLOR* D3DXColorSubtract(D3DXCOLOR* out, const D3DXCOLOR* c1, const D3DXCOLOR* c2) {
    *out = *c1 - *c2;
    return out;
}

D3DXCOLOR* D3DXColorScale(D3DXCOLOR* out, const D3DXCOLOR* c, float s) {
    *out = *c * s;
    return out;
}

D3DXCOLOR* D3DXColorModulate(D3DXCOLOR* out, const D3DXCOLOR* c1, const D3DXCOLOR* c2) {
    *out = D3DXCOLOR(c1->r * c2->r, c1->g * c2->g, c1->b * c2->b, c1->a * c2->a);
    return out;
}

D3DXCOLOR* D3DXColorLerp(D3DXCOLOR* out, const D3DXCOLOR* c1, const D3DXCOLOR* c2, float s) {
    *out = *c1 + (*c2 - *c1) * s;
    return out;
}
