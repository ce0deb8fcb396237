// The window's event pump with its user interface in between, on SDL's display-less driver: a
// click on the menu bar or while a dialog is up never reaches the viewer, clicks below the bar
// arrive in the scene's coordinates, keys pressed into a dialog stay out of the keyboard state,
// and dropped files arrive unless a dialog is up.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/KeyCodes.h"
#include "platform/SystemEvents.h"
#include "platform/ui/ImGuiHost.h"

namespace {

struct RecordingSink : WindowEventSink {
    void OnDestroy() override { log.push_back("destroy"); }
    void OnMinimised(bool) override {}
    void OnActivate(bool) override {}
    void OnSizeMove(bool) override {}
    void OnClientSize(int w, int h) override {
        log.push_back("size " + std::to_string(w) + "x" + std::to_string(h));
    }
    void OnMouseButton(int b, int x, int y) override {
        log.push_back("click " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void OnMenuLoop(bool entering) override { log.push_back(entering ? "menu loop in" : "menu loop out"); }
    void OnDropFile(const char* path) override { log.push_back(std::string("drop ") + path); }
    std::vector<std::string> log;
};

class WindowUiEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
            ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        }
        window = SDL_CreateWindow("ui", 0, 0, 320, 240, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        ui = std::make_unique<ImGuiHost>(window, true);
        events = CreateSystemEvents(window);
        events->Keyboard().Acquire();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        events.reset();
        ui.reset();
        if (window) SDL_DestroyWindow(window);
    }
    void Click(Uint8 button, int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.windowID = SDL_GetWindowID(window);
        e.button.button = button;
        e.button.state = SDL_PRESSED;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
    void Key(Uint32 type, SDL_Scancode code) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = SDL_GetWindowID(window);
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        SDL_PushEvent(&e);
    }
    void Drop(const char* path) {
        SDL_Event e{};
        e.type = SDL_DROPFILE;
        e.drop.windowID = SDL_GetWindowID(window);
        e.drop.file = SDL_strdup(path);
        SDL_PushEvent(&e);
    }
    std::vector<std::string> Pump() {
        RecordingSink sink;
        events->Pump(sink);
        return sink.log;
    }
    bool KeyDown(uint8_t code) {
        uint8_t state[256];
        EXPECT_TRUE(events->Keyboard().ReadState(state));
        return state[code] & 0x80;
    }

    SDL_Window* window = nullptr;
    std::unique_ptr<ImGuiHost> ui;
    std::unique_ptr<SystemEvents> events;
};

using Log = std::vector<std::string>;

TEST_F(WindowUiEventsTest, ClicksOnTheBarAreTheMenusAndClicksBelowArriveInSceneCoordinates) {
    const int bar = ui->MenuBarHeight();
    ASSERT_GT(bar, 10);
    Click(SDL_BUTTON_LEFT, 30, 2);
    Click(SDL_BUTTON_RIGHT, 30, bar - 1);
    Click(SDL_BUTTON_LEFT, 40, bar);
    Click(SDL_BUTTON_RIGHT, 50, bar + 100);
    EXPECT_EQ(Pump(), (Log{"click 0 40,0", "click 1 50,100"}));

    SDL_Event resize{};
    resize.type = SDL_WINDOWEVENT;
    resize.window.windowID = SDL_GetWindowID(window);
    resize.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resize.window.data1 = 400;
    resize.window.data2 = 300;
    SDL_PushEvent(&resize);
    EXPECT_EQ(Pump(), (Log{"size 400x" + std::to_string(300 - bar)}));
}

TEST_F(WindowUiEventsTest, WhileADialogIsUpClicksKeysAndDropsStayWithTheDialog) {
    Key(SDL_KEYDOWN, SDL_SCANCODE_S);
    EXPECT_TRUE(KeyDown(DIK_S)); // no dialog: the key reaches the keyboard
    Key(SDL_KEYUP, SDL_SCANCODE_S);
    EXPECT_FALSE(KeyDown(DIK_S));

    ui->ShowMessage("Warning", "text");
    EXPECT_TRUE(ui->Busy());
    EXPECT_EQ(Pump(), (Log{"menu loop in"}));
    Click(SDL_BUTTON_LEFT, 40, 200);
    Drop("/tmp/scene.kzv");
    EXPECT_EQ(Pump(), Log{});
    Key(SDL_KEYDOWN, SDL_SCANCODE_X);
    Key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    EXPECT_FALSE(KeyDown(DIK_X));
    EXPECT_FALSE(KeyDown(DIK_ESCAPE));
}

TEST_F(WindowUiEventsTest, DroppedFileArrivesWithItsPath) {
    Drop("/tmp/a scene.3sc");
    EXPECT_EQ(Pump(), (Log{"drop /tmp/a scene.3sc"}));
}

TEST_F(WindowUiEventsTest, WindowWithoutABarKeepsEveryRowForTheScene) {
    SDL_Window* other = SDL_CreateWindow("plain", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(other, nullptr);
    {
        ImGuiHost plain(other, false);
        EXPECT_EQ(plain.MenuBarHeight(), 0);
        EXPECT_EQ(ImGuiHost::Of(other), &plain);
    }
    EXPECT_EQ(ImGuiHost::Of(other), nullptr);
    SDL_DestroyWindow(other);
}

} // namespace
