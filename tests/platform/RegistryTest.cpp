// Writing the settings file: the whole file is replaced at once, what else it holds is kept,
// and a write that fails leaves the old file exactly as it was.
#include "platform/Registry.h"
#include "platform/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "Software\\Halvorn\\KZVView";
constexpr const char* kOld = "# kept by hand\r\nDefaultTexturePath=/old/maps\r\nWindow=800x600\r\n";

class RegistryWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.Path().empty());
        // Open to every user: a test below runs part of its work as an unprivileged one.
        ::chmod(folder.Path().c_str(), 0755);
        setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
        dir = fs::path(folder.Path()) / "Halvorn";
        ini = dir / "KZVView.ini";
        fs::create_directories(dir);
        std::ofstream(ini, std::ios::binary) << kOld;
    }
    void TearDown() override {
        ::chmod(dir.c_str(), 0755);
        unsetenv("XDG_CONFIG_HOME");
    }
    static std::string Contents(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Everything in the folder besides the ini file: a failed or finished write leaves nothing.
    int StrayFiles() const {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path() != ini) ++n;
        return n;
    }
    // Runs the check in a child process without root's right to write anywhere; its exit code.
    static int AsUnprivilegedUser(const std::function<int()>& check) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(100);
            ::_exit(check());
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
    }

    TemporaryFolder folder{"kzv_registry_"};
    fs::path dir, ini;
};

} // namespace

TEST_F(RegistryWriteTest, ReplacingAValueKeepsEveryOtherLineThePermissionsAndALinkedFile) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(kKey));
    ::chmod(ini.c_str(), 0640);
    EXPECT_EQ(key.SetValue("DefaultTexturePath", "/new/maps"), 0);
    EXPECT_EQ(key.SetValue("Added", "a=b"), 0);
    EXPECT_EQ(Contents(ini), "# kept by hand\nDefaultTexturePath=/new/maps\nWindow=800x600\nAdded=a=b\n");
    struct stat st;
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(StrayFiles(), 0);

    // A settings file kept elsewhere and linked into place, as dotfile managers do, stays linked.
    const fs::path real = fs::path(folder.Path()) / "dotfiles.ini";
    fs::rename(ini, real);
    fs::create_symlink(real, ini);
    EXPECT_EQ(key.SetValue("Window", "1024x768"), 0);
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(Contents(real), "# kept by hand\nDefaultTexturePath=/new/maps\nWindow=1024x768\nAdded=a=b\n");

    EXPECT_EQ(key.SetValue("Bad", "two\nlines"), EINVAL);
    EXPECT_EQ(key.SetValue("A=B", "x"), EINVAL);
    EXPECT_EQ(Contents(real), "# kept by hand\nDefaultTexturePath=/new/maps\nWindow=1024x768\nAdded=a=b\n");
}

TEST_F(RegistryWriteTest, AFullDiskLeavesTheOldFileByteForByte) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(kKey));
    // A file size limit below the new contents fails the write as a full disk would, for root too.
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = key.SetValue("DefaultTexturePath", "/a/much/longer/folder/than/before");
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(code, EFBIG);
    EXPECT_EQ(Contents(ini), kOld);
    EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(RegistryWriteTest, AReadOnlyFolderOrAnUnreadableFileIsAnErrorAndChangesNothing) {
    ::chmod(ini.c_str(), 0644);
    ::chmod(dir.c_str(), 0555);
    // 1: the file is readable (so the refusal below is the folder's), 2: the write was not refused.
    const int readOnlyFolder = AsUnprivilegedUser([] {
        RegistryKey key;
        std::string value;
        if (!key.Open(kKey) || key.QueryValue("Window", value, 64) != 0 || value != "800x600") return 1;
        return key.SetValue("DefaultTexturePath", "/new/maps") == EACCES ? 0 : 2;
    });
    EXPECT_EQ(readOnlyFolder, 0);
    EXPECT_EQ(Contents(ini), kOld);
    EXPECT_EQ(StrayFiles(), 0);

    // A file that cannot be read would lose its other values if it were written anew.
    ::chmod(dir.c_str(), 0777);
    ::chmod(ini.c_str(), 0222);
    const int unreadable = AsUnprivilegedUser([] {
        RegistryKey key;
        std::string value;
        if (!key.Open(kKey) || key.QueryValue("Window", value, 64) != EACCES) return 1;
        return key.SetValue("DefaultTexturePath", "/new/maps") == EACCES ? 0 : 2;
    });
    EXPECT_EQ(unreadable, 0);
    ::chmod(ini.c_str(), 0644);
    EXPECT_EQ(Contents(ini), kOld);
    EXPECT_EQ(StrayFiles(), 0);
}
