// The menu's commands against a window user interface that records what it is asked to show and
// lets the test answer the dialogs: "Open..." with its path rules, "Save binary..." with its
// name proposal and a failing save, the texture folder with the settings file written or not,
// Exit and Info. Also the frame loop's hold while a menu or dialog is up, and a failed load after
// "Open..." that brings the last scene back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ViewerRig.h"
#include "render/DXC_Gfx.h"
#include "support/LogCapture.h"
#include "viewer/MenuCommands.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

namespace fs = std::filesystem;

namespace {

// Keeps the last dialog's callbacks so that the test can choose or cancel.
class FakeUi : public WindowUi {
public:
    void SetMenu(const std::vector<MenuEntry>& e) override { entries = e; }
    int MenuBarHeight() const override { return 0; }
    void ShowFileDialog(const FileDialogRequest& r, std::function<void(const std::string&)> c,
                        std::function<void()> x) override {
        request = r;
        chosen = std::move(c);
        cancelled = std::move(x);
    }
    void ShowQuestion(const std::string&, const std::string&, std::function<void(bool)>) override {}
    void ShowMessage(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + ": " + text);
    }
    void ShowInfo(const InfoContent& c) override { info = c; }
    void SetBanner(const std::string&) override {}
    bool Busy() const override { return false; }

    std::vector<MenuEntry> entries;
    FileDialogRequest request;
    std::function<void(const std::string&)> chosen;
    std::function<void()> cancelled;
    std::vector<std::string> messages;
    InfoContent info;
};

std::string Sample(const char* name) {
    return std::string(KZV_SOURCE_DIR) + "/data/samples/" + name;
}

class MenuCommandsTest : public ViewerRigTest {
protected:
    void SetUp() override {
        ViewerRigTest::SetUp();
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        menu.reset();
        ViewerRigTest::TearDown();
    }
    void Start(const std::string& scene) {
        MakeLoop(scene);
        loop->LoadOrRecover();
        menu = std::make_unique<MenuCommands>(*loop, ui);
    }
    bool Step(double dt) {
        clock.now += dt;
        return loop->Frame();
    }

    FakeUi ui;
    std::unique_ptr<MenuCommands> menu;
};

TEST(MenuTableTest, FileAndHelpMenusCarryTheirCommandIds) {
    const std::vector<MenuEntry> entries = MainMenuEntries();
    ASSERT_EQ(entries.size(), 6u);
    const std::pair<const char*, int32_t> expected[] = {
        {"Open...", 32774}, {"Save binary...", 32773}, {"", 0}, {"Set default texture path...", 32771},
        {"Exit", 105},      {"Info...", 104}};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].label, expected[i].first);
        EXPECT_EQ(entries[i].command, expected[i].second);
        EXPECT_EQ(entries[i].menu, i < 5 ? "File" : "Help");
    }
    const std::string banner = LoadingBanner();
    EXPECT_EQ(banner.substr(banner.rfind('\n') + 1), "Loading...");
}

TEST(MenuTableTest, BinaryNameReplacesAKzvExtensionWhateverItsCase) {
    EXPECT_EQ(ProposedBinaryName("scene.KZV"), "scene.3sc");
    EXPECT_EQ(ProposedBinaryName("robot.kzv"), "robot.3sc");
    EXPECT_EQ(ProposedBinaryName("model.3sc"), "model.3sc");
    EXPECT_EQ(ProposedBinaryName("model"), "model");
    EXPECT_EQ(ProposedBinaryName(".kzv"), ".3sc");
    EXPECT_EQ(ProposedBinaryName("kzv"), "kzv");
    EXPECT_EQ(ProposedBinaryName("a.kzv.txt"), "a.kzv.txt");
}

TEST_F(MenuCommandsTest, OpenEmptiesThePathChoosingReloadsCancellingKeepsTheScene) {
    Start(Sample("showcase.kzv"));
    menu->Run(kCommandOpen);
    EXPECT_EQ(ui.request.kind, FileDialogKind::Open);
    EXPECT_TRUE(ui.request.fileMustExist);
    ASSERT_EQ(ui.request.filters.size(), 3u);
    EXPECT_EQ(ui.request.filters[0].label, "KZV/3SC files");
    EXPECT_EQ(ui.request.filters[1].label, "KZV file");
    EXPECT_EQ(ui.request.filters[2].label, "3SC file");
    EXPECT_STREQ(settings.sceneFile, "");
    if (ui.cancelled) ui.cancelled();
    EXPECT_STREQ(settings.sceneFile, "");
    EXPECT_EQ(loop->words.reloadRequest, 0);
    EXPECT_GT(loop->scene.GetMeshCount(), 0);

    menu->Run(kCommandOpen);
    ui.chosen(Sample("skinned.kzv"));
    EXPECT_EQ(loop->words.reloadRequest, 1);
    loop->LoadOrRecover();
    EXPECT_EQ(loop->words.sceneName, "skinned.kzv");

    menu->Run(kCommandOpen);
    ui.chosen("/" + std::string(300, 'x') + ".kzv"); // longer than the path buffer
    EXPECT_EQ(loop->words.reloadRequest, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
}

TEST_F(MenuCommandsTest, FailedLoadAfterOpenIsReportedAndTheLastSceneComesBack) {
    Start(Sample("skinned.kzv"));
    const int32_t meshes = loop->scene.GetMeshCount();
    std::ofstream(dir / "broken.kzv") << "*3DSMAX_KZVEXPORT 200\n*GEOMOBJECT {\n*MESH { *MESH_NUMVERTEX -5\n";
    std::ofstream(dir / "broken.kzv", std::ios::app) << std::string(64, '\x01');
    menu->OpenFile((dir / "broken.kzv").string());
    ASSERT_NO_THROW(loop->LoadOrRecover());
    EXPECT_EQ(std::string(settings.sceneFile), Sample("skinned.kzv"));
    EXPECT_EQ(loop->words.sceneName, "skinned.kzv");
    EXPECT_EQ(loop->scene.GetMeshCount(), meshes);
    EXPECT_TRUE(Step(0.1));
}

TEST_F(MenuCommandsTest, SaveBinaryOffersTheNameInTheStartFolderAndWritesAScene) {
    Start(Sample("showcase.kzv"));
    menu->Run(kCommandSaveBinary);
    EXPECT_EQ(ui.request.kind, FileDialogKind::Save);
    EXPECT_EQ(ui.request.name, "showcase.3sc");
    EXPECT_EQ(ui.request.directory, loop->words.startDirectory);
    EXPECT_TRUE(ui.request.askBeforeOverwrite);
    const std::string out = (dir / "saved.3sc").string();
    ui.chosen(out);
    std::ifstream in(out, std::ios::binary);
    char magic[3] = {};
    in.read(magic, 3);
    EXPECT_EQ(std::string(magic, 3), "3SC");
    EXPECT_TRUE(ui.messages.empty());

    // The saved file loads as a scene with the same meshes.
    const int32_t meshes = loop->scene.GetMeshCount();
    menu->OpenFile(out);
    loop->LoadOrRecover();
    EXPECT_EQ(loop->words.sceneName, "saved.3sc");
    EXPECT_EQ(loop->scene.GetMeshCount(), meshes);
}

TEST_F(MenuCommandsTest, SaveThatFailsIsReportedAndTheSceneStays) {
    Start(Sample("showcase.kzv"));
    const int32_t meshes = loop->scene.GetMeshCount();
    menu->Run(kCommandSaveBinary);
    ui.chosen((dir / "no-such-folder" / "x.3sc").string());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(loop->scene.GetMeshCount(), meshes);
    EXPECT_TRUE(Step(0.1));
}

TEST_F(MenuCommandsTest, TextureFolderIsUsedAndKeptOrTheSceneReloadsWhenTheSettingsCannotBeWritten) {
    Start(Sample("showcase.kzv"));
    menu->Run(kCommandSetTexturePath);
    EXPECT_EQ(ui.request.kind, FileDialogKind::Folder);
    EXPECT_EQ(ui.request.title, "Choose a default texture directory");
    const std::string maps = (dir / "maps").string();
    ui.chosen(maps);
    EXPECT_STREQ(settings.defaultTexturePath, maps.c_str());
    EXPECT_STREQ(owned->GetDefaultTexturePath(), maps.c_str());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Warning: You need to reload the file to apply the change");
    std::ifstream ini(dir / "config" / "Halvorn" / "KZVView.ini");
    std::string line;
    std::getline(ini, line);
    EXPECT_EQ(line, "DefaultTexturePath=" + maps);
    EXPECT_EQ(loop->words.reloadRequest, 0);

    // A settings folder that is a file: nothing written, no reminder, the scene reloads.
    setenv("XDG_CONFIG_HOME", (dir / "blocked").c_str(), 1);
    std::ofstream(dir / "blocked") << "a file, not a folder";
    menu->Run(kCommandSetTexturePath);
    ui.chosen(dir.string());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(loop->words.reloadRequest, 1);
    EXPECT_STREQ(settings.defaultTexturePath, dir.c_str());
}

TEST_F(MenuCommandsTest, ExitEndsTheLoopAndInfoShowsTheVersionAndTheSixKeyTexts) {
    Start(Sample("showcase.kzv"));
    menu->Run(kCommandInfo);
    EXPECT_EQ(ui.info.caption, "Info");
    ASSERT_GE(ui.info.lines.size(), 5u);
    EXPECT_EQ(ui.info.lines[0], "ViewKZV Version 2.04a");
    EXPECT_EQ(ui.info.lines[1], "Read ViewKZV.txt for more info");
    EXPECT_EQ(ui.info.lines[2], "Please report bugs");
    ASSERT_EQ(ui.info.keyTexts.size(), 6u);
    EXPECT_EQ(ui.info.keyTexts[0].substr(0, 12), "<ESC>\t\texit\n");
    EXPECT_TRUE(ui.info.keyTexts[5].ends_with("\n<X>\t\tmirror X-axis"));
    menu->Run(kCommandExit);
    EXPECT_FALSE(Step(0.1));
}

TEST_F(MenuCommandsTest, MenuHoldsTheAnimationAndTheFirstFrameAfterItCatchesUpTheWholeTime) {
    Start(Sample("showcase.kzv"));
    ASSERT_TRUE(Step(0.1));
    const double before = loop->view.animationTime;
    events.queue.push_back([](WindowEventSink& s) { s.OnMenuLoop(true); });
    ASSERT_TRUE(Step(0.1)); // the menu opens after this frame's time step
    const double at = loop->view.animationTime;
    EXPECT_NEAR(at, before + 0.1, 1e-9);
    ASSERT_TRUE(Step(0.25));
    ASSERT_TRUE(Step(0.25));
    EXPECT_EQ(loop->view.animationTime, at);
    events.queue.push_back([](WindowEventSink& s) { s.OnMenuLoop(false); });
    ASSERT_TRUE(Step(0.5)); // the menu closes in this frame's pump
    EXPECT_EQ(loop->view.animationTime, at);
    ASSERT_TRUE(Step(0.1));
    EXPECT_NEAR(loop->view.animationTime, at + 0.25 + 0.25 + 0.5 + 0.1, 1e-9);
}

TEST_F(MenuCommandsTest, MenuCommandsFromTheWindowReachTheHandlerInThePump) {
    std::vector<int32_t> commands;
    services.menuCommand = [&](int32_t c) { commands.push_back(c); };
    Start(Sample("showcase.kzv"));
    events.queue.push_back([](WindowEventSink& s) { s.OnMenuCommand(kCommandInfo); });
    ASSERT_TRUE(Step(0.1));
    EXPECT_EQ(commands, std::vector<int32_t>{kCommandInfo});
}

} // namespace
