// The store file under the registry calls: where it lives, what a change
// leaves on disk, and that nothing is lost, to a bad file or to another
// process.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "Child.h"
#include "StoreFile.h"
#include "Win32Api.h"

namespace {

class StoreFileTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VESKAL_REGISTRY", Store().c_str(), 1); }
    void TearDown() override { unsetenv("VESKAL_REGISTRY"); }
    std::string Store() const { return folder_ / "store/HKCU.reg"; }

    static LONG SetDword(const char* key, const char* name, DWORD value) {
        HKEY h;
        LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &h, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        rc = RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        RegCloseKey(h);
        return rc;
    }
    std::string Listing() const {
        std::string names;
        std::string command = "ls -A '" + folder_.path() + "/store' > '" + folder_.path() + "/ls'";
        if (std::system(command.c_str()) == 0) names = ReadFile(folder_ / "ls");
        return names;
    }

    TempFolder folder_;
};

TEST_F(StoreFileTest, WritesCodePage1252NamesAndEveryTypeAsRegeditText) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Cl\xE9", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const BYTE text[] = "\xC9t\xE9";
    const BYTE multi[] = {'a', 0, 'b', 0, 0};
    const BYTE dword[] = {1, 0, 0, 0};
    EXPECT_EQ(RegSetValueExA(h, "Cha\xEEne", 0, REG_SZ, text, sizeof text), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, nullptr, 0, REG_EXPAND_SZ, text, sizeof text), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, "M", 0, REG_MULTI_SZ, multi, sizeof multi), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, "D", 0, REG_DWORD, dword, sizeof dword), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, "N", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(ReadFile(Store()),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Cl\xE9]\r\n"
              "\"Cha\xEEne\"=\"\xC9t\xE9\"\r\n"
              "@=hex(2):c9,74,e9,00\r\n"
              "\"M\"=hex(7):61,00,62,00,00\r\n"
              "\"D\"=dword:00000001\r\n"
              "\"N\"=hex(0):\r\n"
              "\r\n");
    EXPECT_EQ(Listing(), "HKCU.reg\n") << "no temporary file is left";
}

TEST_F(StoreFileTest, CorruptFileIsNeverWrittenAndEveryCallFails) {
    ASSERT_EQ(SetDword("K", "v", 1), ERROR_SUCCESS);
    const std::string corrupt = ReadFile(Store()) + "garbage\r\n";
    WriteFile(Store(), corrupt);

    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &h), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &h, nullptr),
              ERROR_REGISTRY_CORRUPT);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "x", nullptr, nullptr, nullptr, &size),
              ERROR_REGISTRY_CORRUPT);
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "x", 0, REG_DWORD, one, 4), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "x"), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(ReadFile(Store()), corrupt);
    EXPECT_EQ(Listing(), "HKCU.reg\n");
}

TEST_F(StoreFileTest, FilesAreCreatedPrivateOnlyByChangesAndKeepTheirMode) {
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS) << "opening the root changes nothing";
    RegCloseKey(h);
    EXPECT_FALSE(FileExists(folder_ / "store")) << "nothing is created without a change";

    ASSERT_EQ(SetDword("K", "v", 1), ERROR_SUCCESS);
    struct stat info;
    ASSERT_EQ(stat((folder_ / "store").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(Store().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ASSERT_EQ(chmod(Store().c_str(), 0640), 0);
    ASSERT_EQ(SetDword("K", "v", 2), ERROR_SUCCESS);
    ASSERT_EQ(stat(Store().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "a mode the user chose stays";
}

TEST_F(StoreFileTest, LinkedStoreIsChangedBehindItsLink) {
    ASSERT_EQ(SetDword("K", "v", 1), ERROR_SUCCESS);
    std::string link = folder_ / "link.reg";
    ASSERT_EQ(symlink(Store().c_str(), link.c_str()), 0);
    setenv("VESKAL_REGISTRY", link.c_str(), 1);
    ASSERT_EQ(SetDword("K", "w", 2), ERROR_SUCCESS);
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_NE(ReadFile(Store()).find("\"w\"=dword:00000002"), std::string::npos);
}

TEST_F(StoreFileTest, ConcurrentProcessesLoseNoChange) {
    constexpr int Processes = 4, ChangesEach = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < Processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < ChangesEach; ++i) {
                std::string name = "p" + std::to_string(p) + "v" + std::to_string(i);
                failures += SetDword(i % 2 ? "Shared" : "Shared\\Deeper", name.c_str(), DWORD(i)) !=
                            ERROR_SUCCESS;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    regstore::Store store;
    ASSERT_TRUE(store.Parse(ReadFile(Store()), nullptr));
    for (int p = 0; p < Processes; ++p)
        for (int i = 0; i < ChangesEach; ++i) {
            std::string name = "p" + std::to_string(p) + "v" + std::to_string(i);
            EXPECT_TRUE(store.FindValue(i % 2 ? "Shared" : "Shared\\Deeper", name, nullptr, nullptr))
                << name;
        }
    EXPECT_EQ(Listing(), "HKCU.reg\n");
}

TEST(StorePath, ExplicitThenXdgThenHome) {
    struct Env {
        const char* registry;
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/x/y.reg", "/cfg", "/home/u", "/x/y.reg"},
        {nullptr, "/cfg", "/home/u", "/cfg/veskal/HKEY_CURRENT_USER.reg"},
        {"", "relative", "/home/u", "/home/u/.config/veskal/HKEY_CURRENT_USER.reg"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/veskal/HKEY_CURRENT_USER.reg"},
    };
    auto set = [](const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    };
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const Env& e : cases) {
        set("VESKAL_REGISTRY", e.registry);
        set("XDG_CONFIG_HOME", e.xdg);
        set("HOME", e.home);
        EXPECT_EQ(regstore::StorePath(), e.expected);
    }
    unsetenv("VESKAL_REGISTRY");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.c_str(), 1);
}

}  // namespace
