// The windowed path: a virtual X server (Xvfb) started by the test, an SDL window made for
// OpenGL, a windowed GL device on it, and frames that reach the window. The test fails when
// the server, the window or the device cannot be had: a machine that runs the tests has Xvfb.

#include "GlTestDevice.h"

#include "platform/Window.h"
#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/GlDevice.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

// A private X server for this process. Xvfb picks a free display number itself and writes it
// to a pipe once it accepts connections, so parallel test processes never collide. The
// server lives until the process ends: the window system keeps its connection open.
class VirtualDisplay {
public:
    static VirtualDisplay& Instance() {
        static VirtualDisplay display;
        return display;
    }
    bool Running() const { return pid_ > 0 && !name_.empty(); }
    const std::string& Name() const { return name_; }
    const std::string& Error() const { return error_; }

    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

private:
    VirtualDisplay() { Start(); }

    void Start() {
        int fds[2];
        if (pipe(fds) != 0) {
            error_ = "pipe failed";
            return;
        }
        pid_ = fork();
        if (pid_ < 0) {
            error_ = "fork failed";
            return;
        }
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number arrives as text ending in a newline once the server is ready.
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1) break; // the server ended without a display
            if (c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            error_ = "Xvfb did not report a display (is the xvfb package installed?)";
            return;
        }
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
    }

    pid_t pid_ = -1;
    std::string name_;
    std::string error_;
};

class GlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        VirtualDisplay& display = VirtualDisplay::Instance();
        ASSERT_TRUE(display.Running()) << display.Error();
        ASSERT_TRUE(DisplayAvailable()) << "no window system on " << display.Name();
        WindowOptions options;
        options.title = "GlWindowTest";
        options.width = 96;
        options.height = 72;
        options.menu = false;
        options.resizable = false;
        std::string error;
        window_ = PlatformWindow::Create(options, &error);
        ASSERT_NE(window_, nullptr) << "no window: " << error;
        d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
    }
    void TearDown() override {
        SafeRelease(device_);
        SafeRelease(d3d_);
        window_.reset();
    }

    // A windowed device on the window; the back buffer takes the window's client size.
    void CreateWindowedDevice() {
        D3DDISPLAYMODE desktop{};
        ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferFormat = desktop.Format;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_FLIP;
        p.Windowed = TRUE;
        p.hDeviceWindow = static_cast<HWND>(window_->Handle());
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.hDeviceWindow,
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device_),
                  D3D_OK)
            << "no windowed GL device";
        EXPECT_EQ(p.BackBufferWidth, 96u);
        EXPECT_EQ(p.BackBufferHeight, 72u);
    }

    std::unique_ptr<PlatformWindow> window_;
    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;
};

TEST_F(GlWindowTest, AdapterIsTheDisplayWithItsDesktopMode) {
    ASSERT_GE(d3d_->GetAdapterCount(), 1u);
    D3DDISPLAYMODE desktop{};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
    EXPECT_EQ(desktop.Width, 800u);
    EXPECT_EQ(desktop.Height, 600u);
    EXPECT_EQ(desktop.Format, D3DFMT_X8R8G8B8);
    // The desktop size is offered in both display formats.
    bool found32 = false, found16 = false;
    for (UINT i = 0; i < d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT); ++i) {
        D3DDISPLAYMODE m{};
        ASSERT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &m), D3D_OK);
        if (m.Width != 800 || m.Height != 600) continue;
        found32 |= m.Format == D3DFMT_X8R8G8B8;
        found16 |= m.Format == D3DFMT_R5G6B5;
    }
    EXPECT_TRUE(found32);
    EXPECT_TRUE(found16);
}

TEST_F(GlWindowTest, PresentedFrameReachesTheWindowAndTheFrontBuffer) {
    CreateWindowedDevice();
    ASSERT_NE(device_, nullptr);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    // A white block in the top-left corner tells top from bottom.
    const TLVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                              {16, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                              {0, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                              {16, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}};
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    ASSERT_EQ(device_->SetVertexShader(kTLVertexFvf), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TLVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // The window's own surface got the frame, the right way up (GL counts rows from the bottom).
    auto* gl = dynamic_cast<GlDevice*>(device_);
    ASSERT_NE(gl, nullptr);
    ASSERT_TRUE(gl->Context().HasWindow());
    ASSERT_TRUE(gl->MakeContextCurrent());
    int width = 0, height = 0;
    gl->Context().GetDrawableSize(&width, &height);
    ASSERT_EQ(width, 96);
    ASSERT_EQ(height, 72);
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    unsigned char topLeft[4] = {}, bottomRight[4] = {};
    glReadPixels(2, height - 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, topLeft);
    glReadPixels(width - 3, 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bottomRight);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(topLeft[0], 0xFF);
    EXPECT_EQ(topLeft[1], 0xFF);
    EXPECT_EQ(topLeft[2], 0xFF);
    EXPECT_EQ(bottomRight[0], 0x20);
    EXPECT_EQ(bottomRight[1], 0x40);
    EXPECT_EQ(bottomRight[2], 0x60);

    // The front buffer copy is of the desktop's size, the frame at its top left.
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(device_->GetDisplayMode(&mode), D3D_OK);
    EXPECT_EQ(mode.Width, 800u);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &surface), D3D_OK);
    ASSERT_EQ(device_->GetFrontBuffer(surface), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return reinterpret_cast<const D3DCOLOR*>(static_cast<const BYTE*>(locked.pBits) +
                                                 y * locked.Pitch)[x];
    };
    EXPECT_EQ(at(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(at(93, 69), 0xFF204060u);
    EXPECT_EQ(at(96, 0), 0xFF000000u);
    surface->UnlockRect();
    surface->Release();
}

TEST_F(GlWindowTest, ResetFollowsANewWindowSize) {
    CreateWindowedDevice();
    ASSERT_NE(device_, nullptr);
    D3DPRESENT_PARAMETERS p{};
    D3DDISPLAYMODE desktop{};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
    p.BackBufferWidth = 48;
    p.BackBufferHeight = 40;
    p.BackBufferFormat = desktop.Format;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_FLIP;
    p.Windowed = TRUE;
    p.hDeviceWindow = static_cast<HWND>(window_->Handle());
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 48u);
    EXPECT_EQ(desc.Height, 40u);
    back->Release();
}

// Full screen on the display's only mode. Vertical-blank waits of 2 to 4 blanks act as 1;
// IMMEDIATE shows at once.
TEST_F(GlWindowTest, FullScreenPresentationIntervals) {
    WindowOptions options;
    options.title = "GlWindowTest full screen";
    options.width = 800;
    options.height = 600;
    options.fullScreen = true;
    std::string error;
    window_.reset();
    window_ = PlatformWindow::Create(options, &error);
    ASSERT_NE(window_, nullptr) << "no full-screen window: " << error;
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 800;
    p.BackBufferHeight = 600;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_FLIP;
    p.Windowed = FALSE;
    p.hDeviceWindow = static_cast<HWND>(window_->Handle());
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_TWO;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.hDeviceWindow,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_),
              D3D_OK);
    auto* gl = dynamic_cast<GlDevice*>(device_);
    ASSERT_NE(gl, nullptr);
    ASSERT_TRUE(gl->MakeContextCurrent());
    EXPECT_EQ(gl->Context().SwapInterval(), 1);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    const struct {
        UINT interval;
        int swap;
    } cases[] = {{D3DPRESENT_INTERVAL_IMMEDIATE, 0},
                 {D3DPRESENT_INTERVAL_FOUR, 1},
                 {D3DPRESENT_INTERVAL_DEFAULT, 1},
                 {D3DPRESENT_INTERVAL_THREE, 1}};
    for (const auto& c : cases) {
        p.FullScreen_PresentationInterval = c.interval;
        ASSERT_EQ(device_->Reset(&p), D3D_OK);
        EXPECT_EQ(gl->Context().SwapInterval(), c.swap) << "interval " << c.interval;
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
}

} // namespace
