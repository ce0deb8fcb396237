// The file and folder dialogs' logic without drawing: what a folder lists under each filter,
// going into folders and up, and what OK makes of the name field in each kind of dialog.
#include "platform/ui/FileDialogModel.h"
#include "platform/ui/ImGuiPanels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/TemporaryFolder.h"

namespace fs = std::filesystem;

namespace {

using List = std::vector<std::string>;

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.Path().empty());
        dir = fs::canonical(folder.Path()).string();
        for (const char* name : {"b.3sc", "a.KZV", "notes.txt", "D.kzv", ".hidden.kzv", "sub/inner.kzv"}) {
            fs::create_directories(fs::path(dir + "/" + name).parent_path());
            std::ofstream(dir + "/" + name) << "x";
        }
        fs::create_directory(dir + "/Maps");
    }
    FileDialogRequest Open() const {
        FileDialogRequest r;
        r.kind = FileDialogKind::Open;
        r.directory = dir;
        r.filters = {{"KZV/3SC files", {"*.KZV", "*.3SC"}}, {"KZV file", {"*.KZV"}}, {"3SC file", {"*.3SC"}}};
        r.fileMustExist = true;
        return r;
    }
    static std::vector<std::string> Names(const FileDialogModel& m) {
        std::vector<std::string> names;
        for (const DirectoryEntry& e : m.Entries()) names.push_back(e.folder ? "[" + e.name + "]" : e.name);
        return names;
    }

    TemporaryFolder folder{"kzv_dialog_"};
    std::string dir;
};

TEST_F(FileDialogTest, ListingShowsFoldersThenTheFilesOfTheFilterWithoutRegardToCase) {
    FileDialogModel m(Open());
    EXPECT_EQ(m.Directory(), dir);
    EXPECT_EQ(Names(m), (List{"[..]", "[Maps]", "[sub]", "a.KZV", "b.3sc", "D.kzv"}));
    m.SelectFilter(1);
    EXPECT_EQ(Names(m), (List{"[..]", "[Maps]", "[sub]", "a.KZV", "D.kzv"}));
    m.SelectFilter(2);
    EXPECT_EQ(Names(m), (List{"[..]", "[Maps]", "[sub]", "b.3sc"}));
    m.SelectFilter(7); // no such filter: unchanged
    EXPECT_EQ(m.FilterIndex(), 2);

    FileDialogRequest folders = Open();
    folders.kind = FileDialogKind::Folder;
    EXPECT_EQ(Names(FileDialogModel(folders)), (List{"[..]", "[Maps]", "[sub]"}));
}

TEST_F(FileDialogTest, FoldersAreEnteredAndLeftAndAMissingStartFolderFallsBackToTheWorkingOne) {
    FileDialogModel m(Open());
    m.Pick({"sub", true});
    EXPECT_EQ(m.Directory(), dir + "/sub");
    EXPECT_EQ(Names(m), (List{"[..]", "inner.kzv"}));
    m.Pick({"inner.kzv", false});
    EXPECT_EQ(m.name, "inner.kzv");
    EXPECT_TRUE(m.EnterFolder(".."));
    EXPECT_EQ(m.Directory(), dir);
    EXPECT_FALSE(m.EnterFolder("nothing-here"));
    EXPECT_EQ(m.Directory(), dir);

    ASSERT_TRUE(m.SetDirectory("/"));
    EXPECT_FALSE(m.GoUp());
    EXPECT_TRUE(Names(m).empty() || Names(m)[0] != "[..]");

    FileDialogRequest missing = Open();
    missing.directory = dir + "/gone";
    EXPECT_EQ(FileDialogModel(missing).Directory(), fs::current_path().string());
}

TEST_F(FileDialogTest, OpenAcceptsOnlyAnExistingFileAndEntersANamedFolder) {
    FileDialogModel m(Open());
    std::string path, problem;
    EXPECT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Stay); // empty name
    m.name = "missing.kzv";
    EXPECT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Stay);
    EXPECT_NE(problem.find("File not found"), std::string::npos);
    m.name = "sub";
    EXPECT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Stay);
    EXPECT_EQ(m.Directory(), dir + "/sub");
    EXPECT_EQ(m.name, "");
    m.name = dir + "/a.kzv"; // a typed path whose case differs from the file's
    ASSERT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Chosen);
    EXPECT_EQ(path, dir + "/a.KZV");
    m.name = "inner.kzv";
    ASSERT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Chosen);
    EXPECT_EQ(path, dir + "/sub/inner.kzv");
}

TEST_F(FileDialogTest, SaveAsksBeforeReplacingAndRefusesAMissingFolder) {
    FileDialogRequest r = Open();
    r.kind = FileDialogKind::Save;
    r.fileMustExist = false;
    r.askBeforeOverwrite = true;
    FileDialogModel m(r);
    std::string path, problem;
    m.name = "b.3sc";
    EXPECT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::AskOverwrite);
    EXPECT_EQ(path, dir + "/b.3sc");
    m.name = "new.3sc";
    EXPECT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Chosen);
    EXPECT_EQ(path, dir + "/new.3sc");
    m.name = "nowhere/new.3sc";
    EXPECT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Stay);
    EXPECT_FALSE(problem.empty());

    r.askBeforeOverwrite = false;
    FileDialogModel quiet(r);
    quiet.name = "b.3sc";
    EXPECT_EQ(quiet.Accept(&path, &problem), FileDialogModel::Outcome::Chosen);
}

TEST_F(FileDialogTest, FolderDialogChoosesTheFolderShownOrTheOneNamed) {
    FileDialogRequest r = Open();
    r.kind = FileDialogKind::Folder;
    FileDialogModel m(r);
    std::string path, problem;
    ASSERT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Chosen);
    EXPECT_EQ(path, dir);
    m.name = "Maps";
    ASSERT_EQ(m.Accept(&path, &problem), FileDialogModel::Outcome::Chosen);
    EXPECT_EQ(path, dir + "/Maps");
}

TEST(FileFilterTest, PatternsMatchWholeNamesWithoutRegardToCase) {
    const FileFilter scenes{"KZV/3SC files", {"*.KZV", "*.3SC"}};
    EXPECT_TRUE(FilterMatches(scenes, "robot.kzv"));
    EXPECT_TRUE(FilterMatches(scenes, "ROBOT.3Sc"));
    EXPECT_FALSE(FilterMatches(scenes, "robot.kzv.bak"));
    EXPECT_FALSE(FilterMatches(scenes, "robotkzv"));
    EXPECT_TRUE(FilterMatches(FileFilter{"All", {}}, "anything"));
}

TEST(InfoKeyColumnsTest, KeyNamesMakeTheFirstColumnWhateverBlanksOrTabsFollowThem) {
    using Columns = std::vector<std::string>;
    EXPECT_EQ(SplitKeyColumns("<ESC>\t\texit"), (Columns{"<ESC>", "exit"}));
    EXPECT_EQ(SplitKeyColumns("<LEFT>                turn left"), (Columns{"<LEFT>", "turn left"}));
    EXPECT_EQ(SplitKeyColumns("<SHIFT>+<PGUP>  move up"), (Columns{"<SHIFT>+<PGUP>", "move up"}));
    EXPECT_EQ(SplitKeyColumns("<S>             toggle shading mode (solid, wire, point)"),
              (Columns{"<S>", "toggle shading mode (solid, wire, point)"}));
    EXPECT_EQ(SplitKeyColumns("<BREAK>\tstops animation"), (Columns{"<BREAK>", "stops animation"}));
    EXPECT_EQ(SplitKeyColumns("<SHIFT>+<PGDWN> move down"), (Columns{"<SHIFT>+<PGDWN>", "move down"}));
    EXPECT_EQ(SplitKeyColumns("<CTRL>+<RIGHT> rotate world around Z-Axis"),
              (Columns{"<CTRL>+<RIGHT>", "rotate world around Z-Axis"}));
    EXPECT_EQ(SplitKeyColumns("<+>\t\tmove forward in time"), (Columns{"<+>", "move forward in time"}));
    EXPECT_EQ(SplitKeyColumns("plain  text\tcolumns"), (Columns{"plain", "text", "columns"}));
}

} // namespace
