#include "platform/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// Sets TMPDIR for one test (unset with nullopt) and puts the caller's value back.
class TmpDirSetting {
public:
    explicit TmpDirSetting(const std::optional<std::string>& value) {
        if (const char* old = std::getenv("TMPDIR")) saved = old;
        if (value)
            setenv("TMPDIR", value->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    ~TmpDirSetting() {
        if (saved)
            setenv("TMPDIR", saved->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> saved;
};

} // namespace

TEST(TemporaryFolderTest, SystemFolderIsTmpdirWhenItNamesAFolderElseTmp) {
    TemporaryFolder own("kzv_tmpdir_");
    ASSERT_FALSE(own.Path().empty());
    {
        TmpDirSetting setting(own.Path());
        EXPECT_EQ(SystemTemporaryFolder(), own.Path());
    }
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>(own.Path() + "/missing")}) {
        TmpDirSetting setting(value);
        EXPECT_EQ(SystemTemporaryFolder(), "/tmp") << value.value_or("(unset)");
    }
}

TEST(TemporaryFolderTest, EachFolderIsNewAndGoesWithEverythingInIt) {
    TemporaryFolder parent("kzv_parent_");
    ASSERT_FALSE(parent.Path().empty());
    TmpDirSetting setting(parent.Path());
    std::string kept;
    {
        TemporaryFolder a("kzv_a_");
        TemporaryFolder b("kzv_a_");
        ASSERT_FALSE(a.Path().empty());
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_EQ(fs::path(a.Path()).parent_path(), fs::path(parent.Path()));
        EXPECT_EQ(fs::path(a.Path()).filename().string().rfind("kzv_a_", 0), 0u);
        fs::create_directories(fs::path(a.Path()) / "sub" / "deeper");
        std::ofstream(fs::path(a.Path()) / "sub" / "deeper" / "file.txt") << "x";
        kept = a.Path();
    }
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_TRUE(fs::is_empty(parent.Path()));
}
