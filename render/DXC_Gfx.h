#pragma once

#include <cstdint>
#include <memory>

#include "foundation/ErrorReport.h"
#include "foundation/ResourceManager.h"
#include "platform/d3d8/D3D8.h"
#include "platform/d3dx/D3DXMath.h"
#include "render/DXC_RenderState.h"
#include "render/DXC_Vertex.h"
#include "render/DXC_VertexList.h"

class DXC_Texture;
class DXC_Surface;
class DXC_Font;
class DXC_Light;
class DXC_PrintfContainer;
class DXC_VertexShader;
class DXC_MultiVertexShader;
struct ID3DXMesh;
struct D3DXIMAGE_INFO;

// The one graphics object: the Direct3D interface and device, display mode and present
// parameters, the cached render and texture-stage state, transforms, the resource lists of
// textures, surfaces and vertex lists, the immediate-drawing vertex lists and the text queue.
//
// Every device state goes through this object. Cached setters remember the last value sent
// and skip a repeated one; after a device reset the cache is invalidated and every remembered
// setting is sent again (RestoreStates). Failures of the device are fatal (DXC_Error) unless
// an operation says otherwise.
class DXC_Gfx : public DXC_Base {
public:
    static constexpr int32_t Stages = 8;
    static constexpr int32_t WorldMatrices = 256;
    static constexpr int32_t LightSlots = 9; // light indices 0..8 are enabled through the cache
    static constexpr int32_t ScratchSize = 65536;
    static constexpr int32_t VideoSources = 16;

    // The Direct3D object of the OpenGL device. Fatal "At least DirectX 8.1 required!" when
    // the GL layer cannot give the version it needs, "Direct3DCreate8 failed!" otherwise.
    DXC_Gfx();
    // Takes over a Direct3D object made by the caller (the recording device of tests and tools).
    explicit DXC_Gfx(IDirect3D8* direct3D);
    ~DXC_Gfx() override;
    DXC_Gfx(const DXC_Gfx&) = delete;
    DXC_Gfx& operator=(const DXC_Gfx&) = delete;

    // ---- Device and display modes ------------------------------------------------------------
    void SelectAdapter(int32_t adapter);
    // 1 when the adapter lists the mode (a refresh rate of 0 is replaced by the highest one).
    int32_t CheckDisplayMode(D3DDISPLAYMODE* mode);
    // window null in windowed mode renders off-screen at the mode's size (headless).
    int32_t InitDevice(HWND window, int32_t windowed, const D3DDISPLAYMODE* mode, int32_t zDepth,
                       int32_t vsync, int32_t hardwareVertexProcessing, int32_t referenceRasteriser);
    // Mode 3 checks render-target use, 5 depth-stencil use, others plain texture use.
    int32_t CheckTextureFormat(D3DFORMAT format, int32_t mode);
    void AcquireRenderTargets();
    void Clear(D3DCOLOR color, float z = 1.0f, DWORD rectCount = 0, const D3DRECT* rects = nullptr);
    int32_t ClearZBuffer(float z = 1.0f, DWORD rectCount = 0, const D3DRECT* rects = nullptr);
    void BeginScene();
    void EndScene();
    // 1 when shown; 0 when the device was reset instead (resized window or lost device).
    int32_t Present();
    // 1 when the device was not lost, 0 when it had been.
    int32_t ResetDevice(const D3DDISPLAYMODE* newMode = nullptr);
    int32_t SetViewPort(int32_t left, int32_t top, int32_t right, int32_t bottom, float minZ = 0.0f,
                        float maxZ = 1.0f);
    void SetProjection(float nearPlane, float farPlane, float fov, float aspect = -1.0f);
    void SetViewMatrix(const D3DXMATRIX& matrix);

    IDirect3D8* GetDirect3D() const { return direct3D.get(); }
    IDirect3DDevice8* GetDevice() const { return device.get(); }
    const D3DCAPS8& GetCaps() const { return caps; }
    const D3DDISPLAYMODE& GetDisplayMode() const { return displayMode; }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return presentParameters; }
    D3DFORMAT GetAlphaFormat() const { return alphaFormat; }     // display format with alpha
    D3DFORMAT GetDisplayFormat() const { return displayFormat; } // display format without alpha
    int32_t GetAdapter() const { return adapter; }
    D3DDEVTYPE GetDeviceType() const { return deviceType; }
    int32_t IsWindowed() const { return windowed; }
    int32_t GetZDepth() const { return zDepth; }
    int32_t UsesHardwareVertexProcessing() const { return hardwareVertexProcessing; }
    int32_t GetInScene() const { return inScene; }
    const RECT& GetWindowRect() const { return windowRect; }
    const D3DVIEWPORT8& GetViewport() const { return viewport; }
    const D3DXMATRIX& GetViewMatrix() const { return viewMatrix; }
    const D3DXMATRIX& GetProjectionMatrix() const { return projectionMatrix; }
    float GetNearPlane() const { return nearPlane; }
    float GetFarPlane() const { return farPlane; }
    int32_t IsFrustumDirty() const { return frustumDirty; }
    void SetFrustumDirty(int32_t dirty) { frustumDirty = dirty; }
    const D3DMATERIAL8& GetDefaultMaterial() const { return defaultMaterial; }

    // ---- Resource lists -----------------------------------------------------------------------
    // Every Direct3D texture and surface is counted in these lists under its file name; the
    // holder whose Unacquire returns 1 releases the Direct3D object.
    ResourceManager& GetTextureList() { return textureList; }
    ResourceManager& GetSurfaceList() { return surfaceList; }
    ResourceManager& GetVertexListList() { return vertexListList; }
    ResourceManager& GetVertexShaderList() { return vertexShaderList; }
    ResourceManager& GetPixelShaderList() { return pixelShaderList; }

    // ---- Render-state wrappers (fatal on failure) ----------------------------------------------
    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    // Sends only when the value differs from the cached one.
    void SetRenderStateCached(D3DRENDERSTATETYPE state, DWORD value);
    void SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    void SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix);
    void SetMaterial(const D3DMATERIAL8& material);

    // ---- Simple setters ----------------------------------------------------------------------
    void SetClipping(int32_t flag);
    void SetEdgeAntialias(int32_t flag);
    void SetZWrite(int32_t flag);
    void SetIndexedVertexBlend(int32_t flag);
    void SetVertexBlend(DWORD blend);
    void SetNormalizeNormals(int32_t flag);
    void SetSpecular(int32_t flag);
    void SetAmbient(D3DCOLOR color);
    void SetTextureFactor(D3DCOLOR color);
    void SetFogEnable(int32_t flag);
    // Sent only on a device with hardware vertex processing.
    void SetSoftwareVertexProcessing(int32_t flag);
    void SetColorOp(DWORD stage, DWORD op);
    void SetColorArg1(DWORD stage, DWORD arg);
    void SetColorArg2(DWORD stage, DWORD arg);
    void SetAlphaOp(DWORD stage, DWORD op);
    void SetAlphaArg1(DWORD stage, DWORD arg);
    void SetTexCoordIndex(DWORD stage, DWORD index);
    void SetTextureTransformFlags(DWORD stage, DWORD flags);
    // A failure is a warning with result 0.
    int32_t SetAddressU(DWORD stage, DWORD mode);
    int32_t SetAddressV(DWORD stage, DWORD mode);
    void SetAddressMode(DWORD mode, DWORD stage);
    // Binds a texture to a stage when it is not the one bound already (null unbinds).
    void SetTexture(DWORD stage, IDirect3DBaseTexture8* texture);

    // ---- Composite settings ------------------------------------------------------------------
    void SetLighting(int32_t flag, const D3DCOLOR* unlitColor = nullptr);
    void SetZBufferMode(int32_t mode);
    void SuspendZBuffer();
    void ResumeZBuffer();
    void SetAlphaTest(int32_t mode, DWORD reference);
    void SetCullMode(int32_t mode);
    void SetFillMode(int32_t mode, const PointParameters* parameters = nullptr);
    int32_t SetMipmapMode(int32_t mode, float bias, DWORD stage);
    void SetFog(const FogParameters& parameters);
    void SetTextureTransform(const D3DXMATRIX* matrix, int32_t stage);
    void SetWorldMatrix(int32_t index, const D3DXMATRIX& matrix);
    void SetRenderSource(int32_t source, int32_t stage, D3DCOLOR color = 0xFFFFFFFF);
    int32_t SetTextureFilter(int32_t preset, DWORD stage);
    void SetBlendMode(int32_t mode, int32_t alpha = 255);
    // Puts back a blend mode and blend alpha read earlier (GetBlendMode, GetBlendAlpha), both
    // as remembered settings, after a temporary change.
    void RestoreBlendMode(int32_t mode, int32_t alpha);
    // Sends the point states of a record; the size maximum is clamped to the hardware limit
    // or to the software limit (the larger of 64 and the device's), with a warning.
    void ApplyPointParameters(PointParameters& parameters, int32_t hardwareLimit);

    void InvalidateStateCache();
    void RestoreStates();

    // Remembered settings (what RestoreStates sends again).
    int32_t GetBlendMode() const { return blendMode; }
    int32_t GetBlendAlpha() const { return blendAlpha; }
    D3DCOLOR GetUnlitColor() const { return unlitColor; }
    int32_t GetLighting() const { return lighting; }
    int32_t GetSpecular() const { return specular; }
    int32_t GetCullMode() const { return cullMode; }
    int32_t GetFillMode() const { return fillMode; }
    int32_t GetZWrite() const { return zWrite; }
    int32_t GetZBufferMode() const { return zBufferMode; }
    int32_t GetZBufferSuspendCount() const { return zSuspendCount; }
    int32_t GetFogEnable() const { return fogEnable; }
    const FogParameters& GetFog() const { return fog; }
    PointParameters& GetPointParameters() { return pointParameters; }
    DWORD GetAddressU(DWORD stage) const { return stageCache[stage & 7].addressU; }
    DWORD GetAddressV(DWORD stage) const { return stageCache[stage & 7].addressV; }
    int32_t GetRenderSource(DWORD stage) const { return rememberedRenderSource[stage & 7]; }
    const D3DXMATRIX& GetTextureMatrix(int32_t stage) const { return textureMatrix[stage & 7]; }
    const D3DXMATRIX& GetWorldMatrix(int32_t index) const { return worldMatrix[index & 255]; }

    // ---- Vertex lists and immediate drawing ----------------------------------------------------
    // usage -1: points for a point list, none otherwise. Managed pool unless systemMemory.
    void CreateVertexList(DXC_VertexList* list, int32_t count, int32_t usage = -1, int32_t systemMemory = 0);
    // count 0 draws nothing, -1 the whole list.
    void DrawVertexList(DXC_VertexList* list, int32_t first = 0, int32_t count = -1);
    // The texture bound last by the stage set-up; DrawTexture/DrawTextureRect/DrawLastTexture
    // draw its screen quad.
    void SetLastTexture(DXC_Texture* texture) { lastTexture = texture; }
    DXC_Texture* GetLastTexture() const { return lastTexture; }
    void DrawLastTexture();
    void DrawTexture(float x, float y, D3DCOLOR color = 0xFFFFFFFF, float angle = 0.0f, float scaleX = 1.0f,
                     float scaleY = 1.0f, float z = 0.0f, float rhw = 1.0f, float uScale = 1.0f,
                     float vScale = 1.0f);
    void DrawTextureRect(const RECT& rect, D3DCOLOR color = 0xFFFFFFFF, float z0 = 0.0f, float z1 = 0.0f,
                         float z2 = 0.0f, float z3 = 0.0f);
    // Draws faceCount faces of a D3DX mesh from faceStart as an indexed triangle list (the
    // range of one attribute); 0 and nothing drawn for no faces.
    int32_t DrawIndexedSubset(ID3DXMesh* mesh, int32_t faceStart, int32_t faceCount, int32_t hardware);
    void SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride, const char* message);
    void SetIndices(IDirect3DIndexBuffer8* indices, const char* message);
    // Fixed-function vertex format or shader handle, sent when it changes.
    void SetVertexFormat(DWORD fvf);
    DWORD GetVertexFormat() const { return currentFormat; }
    // The vertex processing for a draw of this format: the current texture's shader, else
    // the active multi shader's variant, else the format itself.
    void SelectVertexProcessing(DWORD fvf);
    // Immediate lists built by InitDevice.
    DXC_VertexListTemp<DXC_TLVertex>* GetTLList() { return tlList.get(); }
    DXC_VertexListTemp<DXC_LVertex>* GetLList() { return lList.get(); }
    DXC_VertexListTemp<DXC_LVertex>* GetImmediateQuad() { return immediateQuad.get(); }
    DXC_VertexListTemp<DXC_PointVertex>* GetPointList() { return pointList.get(); }
    int32_t depth2D = 0; // 2D quads keep depth testing on

    // ---- Vertex shaders and skinning -----------------------------------------------------------
    int32_t CanProcessInHardware(const VertexFormat& format, int32_t matrixCount, int32_t forceSoftware);
    void SetBoneConstants(int32_t matrixCount, int32_t firstRegister);
    void SelectVertexShader(DXC_MultiVertexShader* multi, DWORD fvf);
    void SetVertexShaderObject(DXC_VertexShader* shader);
    DXC_VertexShader* GetActiveVertexShader() const { return activeShader; }
    DXC_MultiVertexShader* GetActiveMultiShader() const { return activeMultiShader; }
    int32_t hardwareSkinning = 0; // the /hwskin option
    int32_t boneLimit = -1;       // -1: none

    // ---- Lights, screenshots, text -----------------------------------------------------------
    // A light whose unset flag is 1 has no type and is not set (result 0). An index above 8
    // is skipped with one warning per run.
    int32_t SetLight(int32_t index, const D3DLIGHT8& light, int32_t unset = 0);
    // Brings the scene light's record up to date and sets it.
    int32_t SetLight(int32_t index, DXC_Light* light);
    int32_t EnableLight(int32_t index, int32_t flag);
    // Writes prefix + counter + ".bmp" from the presented frame; the counter rises on every call.
    void ScreenShot(const char* prefix = "ScreenShot", int32_t imageFormat = 0, const RECT* rect = nullptr);
    int32_t GetScreenShotCounter() const { return screenShotCounter; }
    void BuildDefaultFont(DXC_Font* font, D3DCOLOR first, D3DCOLOR second);
    void SetFontLayout(DXC_Font* font, float sizeFactor, D3DCOLOR color, float extraAdvance,
                       float extraLineSpacing, float baselineFactor);
    void SetFont(DXC_Font* font);
    // Takes ownership of the start-up font (deleted before the graphics object, or when another
    // is adopted) and makes it current.
    void AdoptFont(std::unique_ptr<DXC_Font> font);
    DXC_Font* GetFont() const { return currentFont; }
    DXC_PrintfContainer* GetPrintfContainer() const { return printfContainer.get(); }
    // Formats into the scratch buffer and draws at (x, y). The Style form draws with the
    // container's default style and restores the previous style afterwards.
    void Printf(float x, float y, const char* format, ...) __attribute__((format(printf, 4, 5)));
    void PrintfDefaultStyle(float x, float y, const char* format, ...) __attribute__((format(printf, 4, 5)));

    // ---- Textures (defined with texture loading, render/DXC_GfxTexture.cpp) ----------------------
    // Texture list entries hold IDirect3DTexture8*, surface list entries IDirect3DSurface8*;
    // ResetDevice walks both and releases the default-pool ones.
    struct VideoSource {
        void (*update)(DXC_Surface* surface) = nullptr;
        D3DFORMAT format = D3DFMT_UNKNOWN;
        IDirect3DTexture8* texture = nullptr;
        int32_t width = 0;
        int32_t height = 0;
    };
    int32_t CreateTexture(DXC_Texture* texture, int32_t width, int32_t height, int32_t type, D3DFORMAT format,
                          int32_t mipLevels);
    int32_t LoadTexture(DXC_Texture* texture, const char* name, D3DCOLOR colorKey, int32_t type,
                        D3DFORMAT format, int32_t mipLevels);
    void UpdateVideoSource(int32_t source);
    // The folder of textures that are not found where a scene names them.
    void SetDefaultTexturePath(const char* path) { defaultTexturePath = path; }
    const char* GetDefaultTexturePath() const { return defaultTexturePath.Text(); }
    // 1 when name does not name a file and its folder was replaced by the default path.
    int32_t ResolveTexturePath(String& name);
    VideoSource& GetVideoSource(int32_t source) { return videoSources[source & 15]; }
    DXC_Texture* GetDefaultTexture() const { return defaultTexture.get(); }
    DXC_Surface* GetBackBuffer() const { return backBuffer.get(); }
    IDirect3DSurface8* GetRenderTarget() const { return renderTarget; }
    IDirect3DSurface8* GetDepthSurface() const { return depthSurface; }
    char* GetScratch() { return scratch.get(); }

    // ---- Settings read by textures and the render pass -----------------------------------------
    D3DCOLOR addColor = 0;      // added colour of diffuse maps (0 = off)
    int32_t modulateSwitch = 0; // map type 3 modulates with diffuse
    D3DFORMAT alternateTextureFormat = D3DFMT_UNKNOWN;
    int32_t immediateListSize = 32;
    float pixelAspect = 1.0f;

private:
    struct StageCache {
        DWORD colorOp, colorArg1, colorArg2, addressU, addressV, texCoordIndex, transformFlags;
        int32_t renderSource;
        IDirect3DBaseTexture8* texture;
        int32_t textureKnown; // 0 until a texture (or none) was bound since the last reset
    };

    // What the type of LoadTexture asks for, its flags taken off.
    struct TextureLoad {
        int32_t type = 0;     // without flags
        int32_t keep = 0;     // append: keep the slots and sequence
        int32_t noFilter = 0; // copy the image unscaled
        D3DPOOL pool = D3DPOOL_MANAGED;
        DWORD usage = 0;
    };
    // The three paths of LoadTexture: a video source, an image file list (".ifl") as a frame
    // sequence, an image file.
    int32_t LoadVideoSource(DXC_Texture* texture, const char* name, int32_t number);
    int32_t LoadImageList(DXC_Texture* texture, const char* name, D3DCOLOR colorKey, const TextureLoad& load,
                          D3DFORMAT format, int32_t mipLevels);
    int32_t LoadImageFile(DXC_Texture* texture, const char* name, D3DCOLOR colorKey, const TextureLoad& load,
                          D3DFORMAT format, int32_t mipLevels);
    TextureLoad ReadLoadType(DXC_Texture* texture, int32_t type);
    D3DFORMAT ImageFormat(const D3DXIMAGE_INFO& info) const;
    void FitTextureSize(int32_t& width, int32_t& height) const;

    void Construct(IDirect3D8* created);
    void SetInitialState();
    void BuildPresentParameters();
    void BuildImmediateLists();
    void ReleaseRenderTargets();
    void ReleaseDefaultPoolResources();
    void SendBlendStates(int32_t mode, int32_t alpha);
    void ApplySamplerDefaults();
    void ReadClientRect(RECT* rect) const;

    // Releases a Direct3D object when its owner goes.
    struct ReleaseInterface {
        void operator()(IUnknown* object) const { object->Release(); }
    };

    // Members go in reverse order of declaration, and that order matters here: the Direct3D
    // object and its device are declared first, so they go last, after every object below
    // that holds resources made on the device; the resource lists are declared before the
    // objects whose textures, surfaces and vertex lists they count (the default texture, the
    // back buffer, the immediate lists, the built-in font), so those leave their lists first.

    // Device
    std::unique_ptr<IDirect3D8, ReleaseInterface> direct3D;
    std::unique_ptr<IDirect3DDevice8, ReleaseInterface> device;
    int32_t adapter = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    D3DDISPLAYMODE displayMode = {};
    D3DCAPS8 caps = {};
    D3DFORMAT alphaFormat = D3DFMT_UNKNOWN;
    D3DFORMAT displayFormat = D3DFMT_UNKNOWN;
    HWND window = nullptr;
    int32_t windowed = 1;
    int32_t zDepth = 0;
    int32_t vsync = 0;
    int32_t hardwareVertexProcessing = 0;
    int32_t hasZBuffer = 1;
    UINT headlessWidth = 0; // windowed without window: the off-screen frame size
    UINT headlessHeight = 0;
    D3DPRESENT_PARAMETERS presentParameters = {};
    RECT windowRect = {};
    D3DVIEWPORT8 viewport = {};
    D3DXMATRIX viewMatrix;
    D3DXMATRIX projectionMatrix;
    D3DXMATRIX textureMatrix[Stages];
    D3DXMATRIX worldMatrix[WorldMatrices];
    float nearPlane = 1.0f;
    float farPlane = 10000.0f;
    int32_t frustumDirty = 1;
    D3DMATERIAL8 defaultMaterial = {};
    int32_t inScene = -1;

    // Surfaces and resources (the render-target surfaces are released by the destructor)
    IDirect3DSurface8* backBufferSurface = nullptr;
    IDirect3DSurface8* renderTarget = nullptr;
    IDirect3DSurface8* depthSurface = nullptr;
    ResourceManager textureList;
    ResourceManager surfaceList;
    ResourceManager vertexListList;
    ResourceManager vertexShaderList;
    ResourceManager pixelShaderList;
    VideoSource videoSources[VideoSources];
    String defaultTexturePath;
    DXC_Texture* lastTexture = nullptr;
    std::unique_ptr<DXC_Texture> defaultTexture; // counted in textureList
    std::unique_ptr<DXC_Surface> backBuffer;     // counted in surfaceList

    // Immediate lists and text
    std::unique_ptr<DXC_VertexListTemp<DXC_TLVertex>> tlList;
    std::unique_ptr<DXC_VertexListTemp<DXC_LVertex>> lList;
    std::unique_ptr<DXC_VertexListTemp<DXC_LVertex>> immediateQuad;
    std::unique_ptr<DXC_VertexListTemp<DXC_PointVertex>> pointList;
    std::unique_ptr<DXC_PrintfContainer> printfContainer;
    DXC_Font* currentFont = nullptr;
    std::unique_ptr<DXC_Font> builtInFont; // its texture is counted in textureList
    std::unique_ptr<char[]> scratch;
    int32_t screenShotCounter = 0;
    int32_t lightIndexWarned = 0;

    // State cache (what the device has received since creation or reset)
    DWORD renderStateCache[D3DRS_MAX];
    StageCache stageCache[Stages];
    int32_t lightEnableCache[LightSlots];
    int32_t cullModeCache = 999;
    int32_t blendModeCache = -1;
    int32_t blendAlphaCache = -1;
    int32_t alphaTestCache = -1;
    DWORD alphaRefCache = 0xFFFFFFFF;
    DWORD currentFormat = 0xFFFFFFFF;
    DWORD currentShader = 0;
    IDirect3DVertexBuffer8* streamBuffer[Stages] = {};
    UINT streamStride[Stages] = {};
    IDirect3DIndexBuffer8* indexBuffer = nullptr;

    // Remembered settings
    int32_t blendMode = 1;
    int32_t blendAlpha = 255;
    D3DCOLOR unlitColor = 0xFFFFFFFF;
    int32_t lighting = 1;
    int32_t specular = 0;
    int32_t cullMode = -1;
    FogParameters fog;
    int32_t fogEnable = 0;
    int32_t clipping = 1;
    int32_t alphaTestMode = 0;
    DWORD alphaRef = 0;
    int32_t edgeAntialias = 0;
    int32_t mipMode = 0;
    float mipBias = 0.0f;
    int32_t fillMode = D3DFILL_SOLID;
    PointParameters pointParameters;
    int32_t zWrite = 1;
    int32_t zBufferMode = 0;
    int32_t zSuspendCount = 0;
    DWORD rememberedAddressU = D3DTADDRESS_WRAP; // stage 0
    DWORD rememberedAddressV = D3DTADDRESS_WRAP;
    int32_t rememberedRenderSource[Stages] = {-1, -1, -1, -1, -1, -1, -1, -1};

    // Skinning
    DXC_VertexShader* activeShader = nullptr;
    DXC_MultiVertexShader* activeMultiShader = nullptr;
};

// The graphics object of the program (null until InitGraphics has made it).
extern DXC_Gfx* g_Gfx;

// The start-up of the graphics: the graphics object (kept in g_Gfx) with its device in the
// window, or off-screen at the requested size when window is null (headless), then the built-in
// font made current at size 4. The entry fills the options from its settings record.
struct GraphicsOptions {
    int32_t windowed = 1;
    int32_t width = 640;
    int32_t height = 480;
    int32_t refreshRate = 0;
    int32_t bitsPerPixel = 16;
    int32_t adapter = 0;
    int32_t vsync = 0;
    int32_t hardwareVertexProcessing = 0;
    int32_t referenceRasteriser = 0;
    int32_t hardwareSkinning = 0;
};
void InitGraphics(HWND window, const GraphicsOptions& options);
// The display mode the options ask for: their size and refresh rate, A8R8G8B8 for 32 bits per
// pixel and R5G6B5 for any other value.
D3DDISPLAYMODE RequestedDisplayMode(const GraphicsOptions& options);
// Deletes the font and the graphics object (in that order), each when it exists.
void ShutdownGraphics();

// A graphics object on the recording device, for the tools, tests and benchmarks that load
// scenes without a window or GL: windowed and off-screen at 640 x 480 with a 16-bit depth
// buffer, as the viewer's start-up makes it. With record 0 the device keeps no list of its
// calls (long loads would fill it).
std::unique_ptr<DXC_Gfx> CreateRecordingGfx(int32_t hardwareVertexProcessing = 0, int32_t record = 1);
