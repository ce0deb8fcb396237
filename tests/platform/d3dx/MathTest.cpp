// Vector, matrix and quaternion functions against results worked out by hand with the row-vector,
// left-handed conventions (p' = p x M, A x B applies A first).
#include "platform/d3dx/D3DXMath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-5f;
const float kHalfSqrt2 = std::sqrt(0.5f);

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float eps = kEps) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectQuat(const D3DXQUATERNION& q, float x, float y, float z, float w, float eps = kEps) {
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
    EXPECT_NEAR(q.w, w, eps);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps = kEps) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r << "," << c;
}

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 p) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

D3DXMATRIX FromQuat(const D3DXQUATERNION& q) {
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    return m;
}

} // namespace

TEST(D3DXMatrix, ElementsAliasRowsAndColumns) {
    D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m.m[1][2], 7.0f);
    EXPECT_EQ(m._23, 7.0f);
    EXPECT_EQ(m(3, 0), 13.0f);
    EXPECT_EQ(sizeof(D3DXMATRIX), 64u);
    EXPECT_EQ(sizeof(D3DXQUATERNION), 16u);
    EXPECT_EQ(sizeof(D3DXVECTOR3), 12u);
}

TEST(D3DXMatrix, MultiplyAppliesLeftOperandFirst) {
    D3DXMATRIX t, s, ts, st;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    D3DXMatrixScaling(&s, 2, 2, 2);
    D3DXMatrixMultiply(&ts, &t, &s);
    D3DXMatrixMultiply(&st, &s, &t);
    // Translate then scale: (1,0,0) -> (2,2,3) -> (4,4,6).
    ExpectVec(Apply(ts, {1, 0, 0}), 4, 4, 6);
    EXPECT_EQ(ts._41, 2.0f);
    EXPECT_EQ(ts._43, 6.0f);
    // Scale then translate: (1,0,0) -> (2,0,0) -> (3,2,3).
    ExpectVec(Apply(st, {1, 0, 0}), 3, 2, 3);
    // The operator and in-place use agree with the function.
    D3DXMATRIX op = t * s;
    ExpectMatrixNear(op, ts);
    D3DXMATRIX inPlace = t;
    D3DXMatrixMultiply(&inPlace, &inPlace, &s);
    ExpectMatrixNear(inPlace, ts);
    D3DXMATRIX inPlace2 = s;
    D3DXMatrixMultiply(&inPlace2, &t, &inPlace2);
    ExpectMatrixNear(inPlace2, ts);
}

TEST(D3DXMatrix, InverseAndDeterminant) {
    D3DXMATRIX m(2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1);
    D3DXMATRIX inv;
    float det = 0;
    ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &m), &inv);
    EXPECT_FLOAT_EQ(det, 64.0f);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&m), 64.0f);
    ExpectMatrixNear(inv,
                     D3DXMATRIX(0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0, -0.5f, -0.5f, -0.375f, 1));

    // A general matrix: M x inverse(M) is the identity.
    D3DXMATRIX g(1, 2, 0, 1, 0, 1, 3, 0, 2, 0, 1, 1, 1, 1, 1, 2), gi, prod, id;
    ASSERT_NE(D3DXMatrixInverse(&gi, &det, &g), nullptr);
    EXPECT_NEAR(det, D3DXMatrixDeterminant(&g), 1e-4f);
    D3DXMatrixMultiply(&prod, &g, &gi);
    ExpectMatrixNear(prod, *D3DXMatrixIdentity(&id), 1e-5f);
    // Swapping two rows flips the sign of the determinant.
    D3DXMATRIX swapped(0, 1, 3, 0, 1, 2, 0, 1, 2, 0, 1, 1, 1, 1, 1, 2);
    EXPECT_NEAR(D3DXMatrixDeterminant(&swapped), -det, 1e-4f);
}

TEST(D3DXMatrix, SingularInverseReturnsNullAndLeavesOutput) {
    D3DXMATRIX sing(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1);
    D3DXMATRIX out, before;
    D3DXMatrixIdentity(&out);
    before = out;
    float det = 5;
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &sing), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(out, before);
    // The determinant pointer is optional.
    D3DXMATRIX s;
    D3DXMatrixScaling(&s, 2, 2, 2);
    EXPECT_NE(D3DXMatrixInverse(&out, nullptr, &s), nullptr);
    EXPECT_FLOAT_EQ(out._11, 0.5f);
}

TEST(D3DXMatrix, AxisRotationsAreLeftHandedRowForm) {
    const float a = D3DX_PI / 2;
    D3DXMATRIX rx, ry, rz;
    D3DXMatrixRotationX(&rx, a);
    D3DXMatrixRotationY(&ry, a);
    D3DXMatrixRotationZ(&rz, a);
    ExpectVec(Apply(rx, {0, 1, 0}), 0, 0, 1);
    ExpectVec(Apply(ry, {0, 0, 1}), 1, 0, 0);
    ExpectVec(Apply(ry, {1, 0, 0}), 0, 0, -1);
    ExpectVec(Apply(rz, {1, 0, 0}), 0, 1, 0);
    // The sine sits at _12 for Z, _23 for X, _31 for Y.
    EXPECT_NEAR(rz._12, 1.0f, kEps);
    EXPECT_NEAR(rx._23, 1.0f, kEps);
    EXPECT_NEAR(ry._31, 1.0f, kEps);
}

TEST(D3DXMatrix, RotationAxisNormalisesAndZeroAxisIsIdentity) {
    D3DXVECTOR3 longZ(0, 0, 5), zero(0, 0, 0), diag(1, 1, 1);
    D3DXMATRIX m, rz;
    D3DXMatrixRotationAxis(&m, &longZ, 0.7f);
    ExpectMatrixNear(m, *D3DXMatrixRotationZ(&rz, 0.7f));

    D3DXMatrixRotationAxis(&m, &zero, 1.3f);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&m));

    // 120 degrees about (1,1,1) cycles the axes: x -> y -> z.
    D3DXMatrixRotationAxis(&m, &diag, 2.0f * D3DX_PI / 3.0f);
    ExpectVec(Apply(m, {1, 0, 0}), 0, 1, 0);
    ExpectVec(Apply(m, {0, 1, 0}), 0, 0, 1);
}

TEST(D3DXMatrix, YawPitchRollAppliesRollPitchYaw) {
    D3DXMATRIX ypr, r, p, y, expect;
    D3DXMatrixRotationYawPitchRoll(&ypr, 0.3f, 0.5f, 0.7f);
    D3DXMatrixRotationZ(&r, 0.7f);
    D3DXMatrixRotationX(&p, 0.5f);
    D3DXMatrixRotationY(&y, 0.3f);
    expect = r * p * y;
    ExpectMatrixNear(ypr, expect);
    D3DXQUATERNION q;
    D3DXQuaternionRotationYawPitchRoll(&q, 0.3f, 0.5f, 0.7f);
    ExpectMatrixNear(FromQuat(q), expect);
}

TEST(D3DXMatrix, LookAtLHPlacesEyeAtOrigin) {
    D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX v;
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    ExpectMatrixNear(v, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1));

    // Looking along +X from (1,2,3): the target lies on the view's +Z axis, world +Z on its -X.
    D3DXVECTOR3 eye2(1, 2, 3), at2(11, 2, 3);
    D3DXMatrixLookAtLH(&v, &eye2, &at2, &up);
    ExpectVec(Apply(v, at2), 0, 0, 10);
    ExpectVec(Apply(v, {1, 2, 4}), -1, 0, 0);
    ExpectVec(Apply(v, {1, 3, 3}), 0, 1, 0);

    // The right-handed form looks down -Z.
    D3DXMatrixLookAtRH(&v, &eye, &at, &up);
    ExpectVec(Apply(v, at), 0, 0, -5);
}

TEST(D3DXMatrix, PerspectiveFovLH) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
    EXPECT_NEAR(p._11, 0.5f, kEps);
    EXPECT_NEAR(p._22, 1.0f, kEps);
    EXPECT_NEAR(p._33, 1.01f, kEps);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_NEAR(p._43, -1.01f, kEps);
    EXPECT_EQ(p._44, 0.0f);
    // Near and far planes map to depth 0 and 1.
    ExpectVec(Apply(p, {0, 0, 1}), 0, 0, 0);
    ExpectVec(Apply(p, {0, 0, 101}), 0, 0, 1);

    D3DXMatrixPerspectiveFovRH(&p, D3DX_PI / 2, 1.0f, 1.0f, 101.0f);
    EXPECT_EQ(p._34, -1.0f);
    ExpectVec(Apply(p, {0, 0, -1}), 0, 0, 0);
    ExpectVec(Apply(p, {0, 0, -101}), 0, 0, 1);
}

TEST(D3DXMatrix, OrthoProjections) {
    D3DXMATRIX o;
    D3DXMatrixOrthoLH(&o, 4, 2, 1, 11);
    ExpectVec(Apply(o, {2, 1, 1}), 1, 1, 0);
    ExpectVec(Apply(o, {-2, -1, 11}), -1, -1, 1);
    D3DXMatrixOrthoOffCenterLH(&o, 0, 640, 480, 0, 0, 1);
    ExpectVec(Apply(o, {0, 0, 0}), -1, 1, 0);
    ExpectVec(Apply(o, {640, 480, 1}), 1, -1, 1);
}

TEST(D3DXVector, CrossDotLengthNormalise) {
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), c;
    ExpectVec(*D3DXVec3Cross(&c, &x, &y), 0, 0, 1);
    ExpectVec(*D3DXVec3Cross(&c, &y, &x), 0, 0, -1);
    D3DXVECTOR3 v(3, 4, 12);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 13.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&v), 169.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&v, &x), 3.0f);
    D3DXVECTOR3 n;
    ExpectVec(*D3DXVec3Normalize(&n, &v), 3.0f / 13, 4.0f / 13, 12.0f / 13);
    // A zero vector stays zero instead of turning into NaN.
    D3DXVECTOR3 zero(0, 0, 0);
    ExpectVec(*D3DXVec3Normalize(&n, &zero), 0, 0, 0);
    // In place works.
    D3DXVec3Cross(&x, &x, &y);
    ExpectVec(x, 0, 0, 1);
}

TEST(D3DXVector, TransformCoordDividesByWAndNormalIgnoresTranslation) {
    D3DXMATRIX m(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 1, 10, 20, 30, 1);
    D3DXVECTOR3 p(1, 1, 1), out;
    D3DXVECTOR4 full;
    D3DXVec3Transform(&full, &p, &m);
    EXPECT_FLOAT_EQ(full.x, 12.0f);
    EXPECT_FLOAT_EQ(full.w, 2.0f);
    ExpectVec(*D3DXVec3TransformCoord(&out, &p, &m), 6, 11, 16);
    ExpectVec(*D3DXVec3TransformNormal(&out, &p, &m), 2, 2, 2);
    D3DXVECTOR4 v4(1, 1, 1, 0), r4;
    D3DXVec4Transform(&r4, &v4, &m);
    EXPECT_FLOAT_EQ(r4.z, 2.0f);
    EXPECT_FLOAT_EQ(r4.w, 1.0f);
    D3DXVECTOR2 p2(1, 1), o2;
    D3DXVec2TransformCoord(&o2, &p2, &m);
    EXPECT_FLOAT_EQ(o2.x, 12.0f);
}

TEST(D3DXVector, HermiteAndLerp) {
    D3DXVECTOR3 a(0, 0, 0), b(10, 20, 30), zero(0, 0, 0), out;
    D3DXVec3Hermite(&out, &a, &zero, &b, &zero, 0.25f);
    // With zero tangents the curve is the smoothstep 3s^2 - 2s^3 = 0.15625.
    ExpectVec(out, 1.5625f, 3.125f, 4.6875f);
    D3DXVec3Lerp(&out, &a, &b, 1.5f);
    ExpectVec(out, 15, 30, 45);
    D3DXVECTOR3 t1(1, 0, 0);
    D3DXVec3Hermite(&out, &a, &t1, &a, &zero, 0.5f);
    ExpectVec(out, 0.125f, 0, 0); // h3(0.5) = 0.125
}

TEST(D3DXQuaternion, AxisAngleMatchesMatrixRotation) {
    D3DXVECTOR3 z(0, 0, 3);
    D3DXQUATERNION q;
    D3DXQuaternionRotationAxis(&q, &z, D3DX_PI / 2);
    ExpectQuat(q, 0, 0, kHalfSqrt2, kHalfSqrt2);
    D3DXMATRIX rz;
    ExpectMatrixNear(FromQuat(q), *D3DXMatrixRotationZ(&rz, D3DX_PI / 2));

    D3DXVECTOR3 axis(1, -2, 0.5f);
    D3DXMATRIX ra;
    D3DXQuaternionRotationAxis(&q, &axis, 1.1f);
    ExpectMatrixNear(FromQuat(q), *D3DXMatrixRotationAxis(&ra, &axis, 1.1f));

    D3DXVECTOR3 zero(0, 0, 0);
    D3DXQuaternionRotationAxis(&q, &zero, 2.0f);
    ExpectQuat(q, 0, 0, 0, 1);
}

TEST(D3DXQuaternion, MultiplyIsFirstThenSecond) {
    D3DXVECTOR3 ax(1, 0, 0), az(0, 0, 1);
    D3DXQUATERNION qz, qx, q;
    D3DXQuaternionRotationAxis(&qz, &az, D3DX_PI / 2);
    D3DXQuaternionRotationAxis(&qx, &ax, D3DX_PI / 2);
    D3DXQuaternionMultiply(&q, &qz, &qx);
    // Z first: (1,0,0) -> (0,1,0); then X: (0,1,0) -> (0,0,1).
    ExpectVec(Apply(FromQuat(q), {1, 0, 0}), 0, 0, 1);
    D3DXMATRIX mz, mx;
    D3DXMatrixRotationZ(&mz, D3DX_PI / 2);
    D3DXMatrixRotationX(&mx, D3DX_PI / 2);
    ExpectMatrixNear(FromQuat(q), mz * mx);
    // The other order differs, and the operator agrees with the function.
    D3DXQUATERNION r;
    D3DXQuaternionMultiply(&r, &qx, &qz);
    ExpectVec(Apply(FromQuat(r), {1, 0, 0}), 0, 1, 0);
    ExpectQuat(qz * qx, q.x, q.y, q.z, q.w);
    // In place.
    D3DXQuaternionMultiply(&qz, &qz, &qx);
    ExpectQuat(qz, q.x, q.y, q.z, q.w);
}

TEST(D3DXQuaternion, SlerpInterpolatesAndExtrapolates) {
    D3DXVECTOR3 az(0, 0, 1);
    D3DXQUATERNION id(0, 0, 0, 1), q90, out;
    D3DXQuaternionRotationAxis(&q90, &az, D3DX_PI / 2);
    D3DXQuaternionSlerp(&out, &id, &q90, 0.5f);
    ExpectQuat(out, 0, 0, std::sin(D3DX_PI / 8), std::cos(D3DX_PI / 8));
    D3DXQuaternionSlerp(&out, &id, &q90, 2.0f);
    ExpectQuat(out, 0, 0, 1, 0);
    D3DXQuaternionSlerp(&out, &id, &q90, -1.0f / 3.0f);
    ExpectQuat(out, 0, 0, std::sin(-D3DX_PI / 12), std::cos(D3DX_PI / 12));
    D3DXQuaternionSlerp(&out, &id, &q90, 0.0f);
    ExpectQuat(out, 0, 0, 0, 1);
    D3DXQuaternionSlerp(&out, &id, &q90, 1.0f);
    ExpectQuat(out, q90.x, q90.y, q90.z, q90.w);
}

TEST(D3DXQuaternion, SlerpTakesShorterArcAndSurvivesEqualInputs) {
    D3DXVECTOR3 az(0, 0, 1);
    D3DXQUATERNION id(0, 0, 0, 1), q90, neg, a, b;
    D3DXQuaternionRotationAxis(&q90, &az, D3DX_PI / 2);
    neg = -q90; // same rotation, other hemisphere
    D3DXQuaternionSlerp(&a, &id, &q90, 0.3f);
    D3DXQuaternionSlerp(&b, &id, &neg, 0.3f);
    ExpectMatrixNear(FromQuat(a), FromQuat(b));
    D3DXQuaternionSlerp(&a, &q90, &q90, 0.4f);
    ExpectQuat(a, q90.x, q90.y, q90.z, q90.w);
    D3DXQUATERNION nearly(0, 0, 1e-7f, 1);
    D3DXQuaternionSlerp(&a, &id, &nearly, 0.5f);
    EXPECT_FALSE(std::isnan(a.w));
}

TEST(D3DXQuaternion, ToAxisAngleAndFromMatrix) {
    D3DXVECTOR3 ay(0, 1, 0), axis;
    D3DXQUATERNION q;
    float angle = 0;
    D3DXQuaternionRotationAxis(&q, &ay, 1.2f);
    D3DXQuaternionToAxisAngle(&q, &axis, &angle);
    EXPECT_NEAR(angle, 1.2f, kEps);
    ExpectVec(axis, 0, std::sin(0.6f), 0);

    // Matrix -> quaternion -> matrix for rotations that exercise each pivot (w, x, y, z largest).
    const D3DXVECTOR3 axes[] = {{0.2f, 0.3f, 0.9f}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    const float angles[] = {0.4f, 3.0f, 3.0f, 3.0f, 2.9f};
    for (int i = 0; i < 5; ++i) {
        D3DXMATRIX m;
        D3DXMatrixRotationAxis(&m, &axes[i], angles[i]);
        D3DXQuaternionRotationMatrix(&q, &m);
        EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-5f) << i;
        ExpectMatrixNear(FromQuat(q), m, 1e-5f);
    }
}

TEST(D3DXQuaternion, NormaliseInverseLnExp) {
    D3DXQUATERNION q(1, 2, 2, 4), n, inv, prod;
    D3DXQuaternionNormalize(&n, &q);
    ExpectQuat(n, 0.2f, 0.4f, 0.4f, 0.8f);
    D3DXQuaternionInverse(&inv, &q);
    D3DXQuaternionMultiply(&prod, &q, &inv);
    ExpectQuat(prod, 0, 0, 0, 1);
    D3DXQUATERNION zero(0, 0, 0, 0);
    D3DXQuaternionNormalize(&n, &zero);
    EXPECT_FALSE(std::isnan(n.w));

    D3DXVECTOR3 axis(0, 1, 0);
    D3DXQUATERNION r, ln, back;
    D3DXQuaternionRotationAxis(&r, &axis, 1.0f);
    D3DXQuaternionLn(&ln, &r);
    ExpectQuat(ln, 0, 0.5f, 0, 0);
    D3DXQuaternionExp(&back, &ln);
    ExpectQuat(back, r.x, r.y, r.z, r.w);
    D3DXQUATERNION id(0, 0, 0, 1);
    D3DXQuaternionLn(&ln, &id);
    ExpectQuat(ln, 0, 0, 0, 0);
}

TEST(D3DXPlane, FromPointsDotAndIntersect) {
    D3DXVECTOR3 a(0, 0, 2), b(1, 0, 2), c(0, 1, 2);
    D3DXPLANE p;
    D3DXPlaneFromPoints(&p, &a, &b, &c);
    EXPECT_NEAR(p.c, 1.0f, kEps);
    EXPECT_NEAR(p.d, -2.0f, kEps);
    D3DXVECTOR3 q(5, 5, 7);
    EXPECT_NEAR(D3DXPlaneDotCoord(&p, &q), 5.0f, kEps);
    D3DXVECTOR3 l1(0, 0, 0), l2(0, 0, 1), hit;
    ASSERT_NE(D3DXPlaneIntersectLine(&hit, &p, &l1, &l2), nullptr);
    ExpectVec(hit, 0, 0, 2);
    D3DXVECTOR3 par(1, 0, 0);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &p, &l1, &par), nullptr);
}

TEST(D3DXColor, WordConversion) {
    D3DXCOLOR c(0x80FF4000u);
    EXPECT_NEAR(c.a, 128.0f / 255.0f, 1e-6f);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_NEAR(c.g, 64.0f / 255.0f, 1e-6f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_EQ(static_cast<uint32_t>(c), 0x80FF4000u);
    // Out-of-range components clamp.
    EXPECT_EQ(static_cast<uint32_t>(D3DXCOLOR(2.0f, -1.0f, 0.5f, 1.0f)), 0xFFFF0080u);
}
