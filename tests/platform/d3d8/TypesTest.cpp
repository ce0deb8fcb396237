// Values and layouts other code and files depend on, checked against Direct3D 8's documentation.
#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3d8/FvfLayout.h"
#include "platform/d3d8/PixelFormat.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

TEST(D3D8Types, LightAndMaterialRecordsKeepTheirByteLayout) {
    // The binary scene format stores the light record as 104 raw bytes.
    EXPECT_EQ(sizeof(D3DLIGHT8), 104u);
    EXPECT_EQ(offsetof(D3DLIGHT8, Diffuse), 4u);
    EXPECT_EQ(offsetof(D3DLIGHT8, Specular), 20u);
    EXPECT_EQ(offsetof(D3DLIGHT8, Ambient), 36u);
    EXPECT_EQ(offsetof(D3DLIGHT8, Direction), 64u);
    EXPECT_EQ(offsetof(D3DLIGHT8, Attenuation0), 84u);
    EXPECT_EQ(offsetof(D3DLIGHT8, Theta), 96u);
    EXPECT_EQ(sizeof(D3DMATERIAL8), 68u);
    EXPECT_EQ(offsetof(D3DMATERIAL8, Emissive), 48u);
    EXPECT_EQ(offsetof(D3DCAPS8, MaxVertexBlendMatrixIndex), 172u);
    EXPECT_EQ(offsetof(D3DCAPS8, MaxPointSize), 176u);
    EXPECT_EQ(offsetof(D3DCAPS8, VertexShaderVersion), 196u);
}

TEST(D3D8Types, MatrixElementsAliasTheRowMajorArray) {
    D3DMATRIX m{};
    m._43 = 5.0f;
    m._14 = 2.0f;
    EXPECT_EQ(m.m[3][2], 5.0f);
    EXPECT_EQ(m.m[0][3], 2.0f);
}

TEST(D3D8Types, ComputedConstantsMatchTheDocumentedValues) {
    EXPECT_EQ(static_cast<uint32_t>(D3DERR_INVALIDCALL), 0x8876086Cu);
    EXPECT_EQ(static_cast<uint32_t>(D3DERR_NOTAVAILABLE), 0x8876086Au);
    EXPECT_EQ(static_cast<uint32_t>(D3DERR_DEVICELOST), 0x88760868u);
    EXPECT_EQ(static_cast<uint32_t>(D3DERR_DEVICENOTRESET), 0x88760869u);
    EXPECT_EQ(static_cast<uint32_t>(D3DERR_OUTOFVIDEOMEMORY), 0x8876017Cu);
    EXPECT_EQ(static_cast<uint32_t>(D3DERR_WRONGTEXTUREFORMAT), 0x88760818u);
    EXPECT_EQ(static_cast<uint32_t>(D3DXERR_CANNOTATTRSORT), 0x88760B56u);
    EXPECT_EQ(static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), 0x80070002u);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY), E_OUTOFMEMORY);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), E_INVALIDARG);
    EXPECT_TRUE(FAILED(D3DERR_INVALIDCALL));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));

    EXPECT_EQ(D3DTS_WORLD, 256u);
    EXPECT_EQ(D3DTS_WORLDMATRIX(3), 259u);
    EXPECT_EQ(D3DFVF_TEXCOORDSIZE3(1), 0x40000u);
    EXPECT_EQ(D3DFVF_TEXCOORDSIZE1(0), 0x30000u);
    EXPECT_EQ(D3DFVF_TEXCOORDSIZE4(2), 0x200000u);
    EXPECT_EQ(static_cast<DWORD>(D3DFMT_DXT1), 0x31545844u);
    EXPECT_EQ(static_cast<DWORD>(D3DFMT_DXT5), 0x35545844u);
    EXPECT_EQ(D3DVS_VERSION(1, 1), 0xFFFE0101u);

    EXPECT_EQ(D3DCOLOR_ARGB(0x12, 0x34, 0x56, 0x78), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_RGBA(0x34, 0x56, 0x78, 0x12), 0x12345678u);
    EXPECT_EQ(D3DCOLOR_XRGB(1, 2, 3), 0xFF010203u);
    EXPECT_EQ(D3DCOLOR_COLORVALUE(1.0f, 0.5f, 0.0f, 1.0f), 0xFFFF7F00u); // truncated, as Direct3D's macro
    EXPECT_EQ(FloatToDWORD(1.0f), 0x3F800000u);
    EXPECT_EQ(DWORDToFloat(0x40000000u), 2.0f);
}

TEST(ErrorText, NamesDirect3DD3DXAndWin32Codes) {
    EXPECT_STREQ(ErrorText(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL");
    EXPECT_STREQ(ErrorText(D3DERR_DEVICELOST), "D3DERR_DEVICELOST");
    EXPECT_STREQ(ErrorText(D3DERR_OUTOFVIDEOMEMORY), "D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_STREQ(ErrorText(D3DXERR_INVALIDDATA), "D3DXERR_INVALIDDATA");
    EXPECT_STREQ(ErrorText(E_OUTOFMEMORY), "E_OUTOFMEMORY");
    EXPECT_STREQ(ErrorText(E_FAIL), "E_FAIL");
    EXPECT_STREQ(ErrorText(D3D_OK), "S_OK");
    EXPECT_STREQ(ErrorText(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), "ERROR_FILE_NOT_FOUND");
    EXPECT_STREQ(ErrorText(ERROR_FILE_NOT_FOUND), "ERROR_FILE_NOT_FOUND");
    EXPECT_STREQ(ErrorText(ERROR_PATH_NOT_FOUND), "ERROR_PATH_NOT_FOUND");
    // 1 is S_FALSE, not ERROR_INVALID_FUNCTION.
    EXPECT_STREQ(ErrorText(1), "S_FALSE");
}

TEST(ErrorText, CodesOutsideTheTableAreUnknown) {
    EXPECT_STREQ(ErrorText(static_cast<HRESULT>(0x88761234u)), "Unknown");
    EXPECT_STREQ(ErrorText(-1), "Unknown");
    EXPECT_STREQ(ErrorText(12345), "Unknown");
}

TEST(PixelFormat, RowPitchAndImageSizeCoverPartialBlocks) {
    EXPECT_EQ(FormatRowPitch(D3DFMT_A8R8G8B8, 10), 40u);
    EXPECT_EQ(FormatRowPitch(D3DFMT_R8G8B8, 3), 9u);
    EXPECT_EQ(FormatImageSize(D3DFMT_R5G6B5, 4, 3), 24u);
    // DXT: 4 x 4 blocks, partial blocks at the edge take a whole block.
    EXPECT_EQ(FormatRowPitch(D3DFMT_DXT1, 5), 16u);
    EXPECT_EQ(FormatImageSize(D3DFMT_DXT1, 5, 5), 32u);
    EXPECT_EQ(FormatImageSize(D3DFMT_DXT5, 1, 1), 16u);
    EXPECT_EQ(FormatImageSize(D3DFMT_DXT3, 8, 4), 32u);
    EXPECT_FALSE(IsKnownFormat(D3DFMT_UNKNOWN));
    EXPECT_FALSE(IsKnownFormat(static_cast<D3DFORMAT>(12345)));
}

TEST(PixelFormat, MipChainsHalveDownToOnePixel) {
    EXPECT_EQ(FullMipLevelCount(1, 1), 1u);
    EXPECT_EQ(FullMipLevelCount(256, 256), 9u);
    EXPECT_EQ(FullMipLevelCount(128, 32), 8u);
    EXPECT_EQ(FullMipLevelCount(100, 60), 7u);
    EXPECT_EQ(MipDimension(128, 7), 1u);
    EXPECT_EQ(MipDimension(32, 6), 1u); // the short side stays at 1
    EXPECT_EQ(MipDimension(100, 2), 25u);
}

TEST(PixelFormat, PixelsConvertWithFullRangeChannels) {
    BYTE p[4] = {};
    WritePixelARGB(D3DFMT_R5G6B5, p, 0xFFFFFFFF);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_R5G6B5, p), 0xFFFFFFFFu);
    WritePixelARGB(D3DFMT_R5G6B5, p, 0xFFFF0000);
    EXPECT_EQ(p[0] | (p[1] << 8), 0xF800);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_R5G6B5, p), 0xFFFF0000u);

    WritePixelARGB(D3DFMT_A4R4G4B4, p, 0x80FF8000);
    EXPECT_EQ(p[0] | (p[1] << 8), 0x8F80);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_A4R4G4B4, p), 0x88FF8800u);

    WritePixelARGB(D3DFMT_A1R5G5B5, p, 0x7F00FF00);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_A1R5G5B5, p), 0x0000FF00u);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_X1R5G5B5, p), 0xFF00FF00u);

    // Formats without alpha read as opaque whatever the memory holds.
    const BYTE x8[4] = {1, 2, 3, 0};
    EXPECT_EQ(ReadPixelARGB(D3DFMT_X8R8G8B8, x8), 0xFF030201u);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_A8R8G8B8, x8), 0x00030201u);
    EXPECT_EQ(ReadPixelARGB(D3DFMT_R8G8B8, x8), 0xFF030201u);
    EXPECT_FALSE(CanConvertPixels(D3DFMT_DXT1));
}

TEST(FvfLayout, ViewerVertexFormatsHaveTheirSizesAndOffsets) {
    FvfLayout l;
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, &l));
    EXPECT_EQ(l.size, 32u);
    EXPECT_TRUE(l.pretransformed);
    EXPECT_EQ(l.diffuseOffset, 16);
    EXPECT_EQ(l.texCoordOffset[0], 24);
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, &l));
    EXPECT_EQ(l.size, 28u);
    EXPECT_EQ(FvfVertexSize(D3DFVF_XYZ | D3DFVF_DIFFUSE), 16u);

    // Skinned mesh: 2 betas, the last holding 4 byte indices; then the normal.
    ASSERT_TRUE(DecodeFvf(0x1018, &l));
    EXPECT_EQ(l.weightCount, 1u);
    EXPECT_TRUE(l.indexedBlend);
    EXPECT_EQ(l.weightsOffset, 12);
    EXPECT_EQ(l.indicesOffset, 16);
    EXPECT_EQ(l.normalOffset, 20);
    EXPECT_EQ(l.size, 32u);
    ASSERT_TRUE(DecodeFvf(0x101C | D3DFVF_TEX1, &l));
    EXPECT_EQ(l.weightCount, 3u);
    EXPECT_EQ(l.indicesOffset, 24);
    EXPECT_EQ(l.texCoordOffset[0], 40);
    EXPECT_EQ(l.size, 48u);

    // A diffuse map and a bump map with three components in set 1.
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1), &l));
    EXPECT_EQ(l.texCoordSize[0], 2u);
    EXPECT_EQ(l.texCoordSize[1], 3u);
    EXPECT_EQ(l.texCoordOffset[1], 32);
    EXPECT_EQ(l.size, 44u);
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE1(0), &l));
    EXPECT_EQ(l.pointSizeOffset, 12);
    EXPECT_EQ(l.size, 20u);
}

TEST(FvfLayout, FormatsDirect3DRejectsAreInvalid) {
    FvfLayout l;
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | D3DFVF_RESERVED0, &l));
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | 0x900, &l)); // 9 coordinate sets
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4, &l));
    EXPECT_FALSE(DecodeFvf(D3DFVF_NORMAL, &l));                                      // no position
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(1), &l)); // size of an absent set
    EXPECT_EQ(l.size, 0u);
    EXPECT_EQ(FvfVertexSize(0xE000 | D3DFVF_XYZ), 0u);
}
