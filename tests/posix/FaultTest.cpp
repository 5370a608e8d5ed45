// The real veskal binary and a real store, when things go wrong around them:
// killed in the middle of a change, a full disk, hostile files and folders,
// and names or values far from the usual. Each gets the program's
// documented answer and loses nothing.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>

#include "Child.h"
#include "RegStore.h"

namespace {

const std::string Explorer =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n";
const std::string Setting = "\"NoFavoritesMenu\"=dword:00000001\r\n";
const char* const ExplorerPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

const std::string QuestionMark = "Le menu Favoris est affich\xC3\xA9. Voulez-vous le supprimer ?";
const std::string ErrorMark = "Une erreur s'est produite durant l'op\xC3\xA9ration !!";
const std::string SuccessMark = "L'op\xC3\xA9ration s'est d\xC3\xA9roul\xC3\xA9" "e avec succ\xC3\xA9s.";

std::string BulkStore(int keys) {
    std::string text = "REGEDIT4\r\n\r\n";
    char line[160];
    for (int k = 0; k < keys; ++k) {
        std::snprintf(line, sizeof line,
                      "[HKEY_CURRENT_USER\\Software\\Bulk\\K%05d]\r\n\"v\"=dword:%08x\r\n"
                      "\"s\"=\"value %d\"\r\n\r\n",
                      k, static_cast<unsigned>(k * 2654435761u), k);
        text += line;
    }
    return text + Explorer + Setting;
}

// Everything in a store but the setting itself.
std::vector<regstore::KeyContents> Unrelated(const std::string& text) {
    regstore::Store store;
    EXPECT_TRUE(store.Parse(text, nullptr));
    auto keys = store.Contents();
    for (auto& key : keys)
        if (key.path == ExplorerPath) key.values.clear();
    return keys;
}

int Temporaries(const std::string& folder) {
    std::string listing = folder + "/../listing";
    std::string command = "ls -A '" + folder + "' | grep -c '^\\.' > '" + listing + "'";
    if (std::system(command.c_str()) < 0) return -1;
    return std::atoi(ReadFile(listing).c_str());
}

class FaultTest : public ::testing::Test {
protected:
    std::string StoreFolder() const { return folder_ / "store"; }
    std::string Store() const { return StoreFolder() + "/HKCU.reg"; }
    ChildResult Run(const std::string& answers, const ChildFate& fate = {}) {
        return RunChild(VESKAL_BINARY, answers,
                        {"VESKAL_REGISTRY=" + Store(), "LC_ALL=C.UTF-8"}, fate);
    }
    void SetUp() override { ASSERT_EQ(mkdir(StoreFolder().c_str(), 0700), 0); }

    TempFolder folder_;
};

TEST_F(FaultTest, KilledMidChangeLeavesOldOrNewStoreAndNoLitter) {
    const std::string original = BulkStore(20000);
    WriteFile(Store(), original);
    const auto unrelated = Unrelated(original);

    // How long one whole toggle takes, to aim the kills inside it.
    auto start = std::chrono::steady_clock::now();
    ChildResult whole = Run("o\nn\n");
    long span = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
    ASSERT_NE(whole.out.find(SuccessMark), std::string::npos);

    std::mt19937 random(20261211);
    int killedInTime = 0;
    for (int round = 0; round < 60; ++round) {
        regstore::Store before;
        ASSERT_TRUE(before.Parse(ReadFile(Store()), nullptr));
        bool wasSet = before.FindValue(ExplorerPath, "NoFavoritesMenu", nullptr, nullptr);

        ChildFate fate;
        fate.killAfterMicroseconds = std::uniform_int_distribution<long>(0, span * 6 / 5)(random);
        ChildResult result = Run("o\nn\n", fate);
        killedInTime += result.exitCode == -1;

        regstore::Store after;
        std::string text = ReadFile(Store());
        ASSERT_TRUE(after.Parse(text, nullptr)) << "round " << round;
        bool isSet = after.FindValue(ExplorerPath, "NoFavoritesMenu", nullptr, nullptr);
        if (result.exitCode == 0) {
            EXPECT_NE(isSet, wasSet) << "round " << round << ": a finished run switched";
        }
        auto now = Unrelated(text);
        ASSERT_EQ(now.size(), unrelated.size()) << "round " << round;
        for (std::size_t k = 0; k < now.size(); ++k) {
            ASSERT_EQ(now[k].path, unrelated[k].path);
            ASSERT_EQ(now[k].values.size(), unrelated[k].values.size()) << now[k].path;
            for (std::size_t v = 0; v < now[k].values.size(); ++v)
                ASSERT_EQ(now[k].values[v].data, unrelated[k].values[v].data) << now[k].path;
        }
        EXPECT_LE(Temporaries(StoreFolder()), 1) << "a kill leaves at most the one file it was writing";
    }
    EXPECT_GT(killedInTime, 10) << "the kills should mostly land inside a run";
    Run("o\nn\n");  // the next change clears what a killed one left
    EXPECT_EQ(Temporaries(StoreFolder()), 0);
}

// The change fails for want of room: the error box, and the old file whole.
void ExpectFailedChangeLosesNothing(const ChildResult& result, const std::string& store,
                                    const std::string& before) {
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find(QuestionMark), std::string::npos);
    EXPECT_NE(result.out.find(ErrorMark), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find(SuccessMark), std::string::npos);
    EXPECT_EQ(ReadFile(store), before);
}

TEST_F(FaultTest, WriteFailureShowsTheErrorBoxAndKeepsTheOldFile) {
    const std::string before = BulkStore(2000);
    WriteFile(Store(), before.substr(0, before.size() - Setting.size()));
    const std::string old = ReadFile(Store());
    ChildFate fate;
    fate.fileSizeLimit = static_cast<long>(old.size() / 2);  // the new file cannot be written
    ExpectFailedChangeLosesNothing(Run("o\n\n", fate), Store(), old);
    EXPECT_EQ(Temporaries(StoreFolder()), 0);
}

TEST_F(FaultTest, FullDiskShowsTheErrorBoxAndKeepsTheOldFile) {
    std::string disk = folder_ / "disk";
    ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
    if (mount("veskal-test", disk.c_str(), "tmpfs", 0, "size=256k,mode=0700") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here (" << std::strerror(errno)
                     << "); WriteFailureShowsTheErrorBoxAndKeepsTheOldFile covers the failure";
    std::string store = disk + "/HKCU.reg";
    std::string text = BulkStore(2600);  // a little over half the disk
    text.resize(text.size() - Setting.size());
    WriteFile(store, text);
    ChildResult result =
        RunChild(VESKAL_BINARY, "o\n\n", {"VESKAL_REGISTRY=" + store, "LC_ALL=C.UTF-8"});
    ExpectFailedChangeLosesNothing(result, store, text);
    EXPECT_EQ(Temporaries(disk), 0);
    umount2(disk.c_str(), MNT_DETACH);
}

TEST_F(FaultTest, HostileSurroundingsGetTheDocumentedAnswer) {
    // The folder that should hold the store is a file.
    std::string notFolder = folder_ / "file";
    WriteFile(notFolder, "not a folder");
    ChildResult result = RunChild(VESKAL_BINARY, "o\n\n",
                                  {"VESKAL_REGISTRY=" + notFolder + "/HKCU.reg", "LC_ALL=C.UTF-8"});
    ExpectFailedChangeLosesNothing(result, notFolder, "not a folder");

    // The store is a folder.
    std::string folderStore = folder_ / "folder.reg";
    ASSERT_EQ(mkdir(folderStore.c_str(), 0700), 0);
    WriteFile(folderStore + "/inside", "kept");
    result = RunChild(VESKAL_BINARY, "o\n\n", {"VESKAL_REGISTRY=" + folderStore, "LC_ALL=C.UTF-8"});
    ExpectFailedChangeLosesNothing(result, folderStore + "/inside", "kept");

    // Links planted where temporary files go must not lead a write elsewhere.
    std::string victim = folder_ / "victim";
    WriteFile(victim, "untouched");
    WriteFile(Store(), "REGEDIT4\r\n\r\n" + Explorer);
    for (const char* name : {".HKCU.reg.AAAAAA", ".HKCU.reg.XXXXXX", ".HKCU.reg.000000"})
        ASSERT_EQ(symlink(victim.c_str(), (StoreFolder() + "/" + name).c_str()), 0);
    result = Run("o\nn\n");
    EXPECT_NE(result.out.find(SuccessMark), std::string::npos);
    EXPECT_EQ(ReadFile(victim), "untouched");
    EXPECT_EQ(ReadFile(Store()), "REGEDIT4\r\n\r\n" + Explorer + Setting);
    EXPECT_EQ(Temporaries(StoreFolder()), 0) << "stale temporary names are cleared";
}

TEST_F(FaultTest, LongLinesAndEveryByteInNamesSurviveAToggle) {
    std::string keyName, quotedKeyName, valueName;
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b == '\\') continue;
        keyName += static_cast<char>(b);
        if (b == '"') quotedKeyName += '\\';
        quotedKeyName += static_cast<char>(b);
    }
    for (int b = 0x01; b <= 0xFF; ++b) {
        if (b == '\r' || b == '\n') continue;
        if (b == '"' || b == '\\') valueName += '\\';
        valueName += static_cast<char>(b);
    }
    std::string longHex = "\"Long\"=hex:";
    for (int i = 0; i < 400000; ++i) longHex += i ? ",5a" : "5a";
    std::string longText = "\"Text\"=\"" + std::string(300000, 'x') + "\"";
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + keyName + "]\r\n\"" +
                             valueName + "\"=\"" + quotedKeyName + "\"\r\n" + longHex + "\r\n" +
                             longText + "\r\n\r\n";
    WriteFile(Store(), head + Explorer);

    ChildResult result = Run("o\nn\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find(SuccessMark), std::string::npos);
    EXPECT_TRUE(ReadFile(Store()) == head + Explorer + Setting) << "everything else stays as it was";

    regstore::Store store;
    ASSERT_TRUE(store.Parse(ReadFile(Store()), nullptr));
    std::string plainName;
    for (int b = 0x01; b <= 0xFF; ++b)
        if (b != '\r' && b != '\n') plainName += static_cast<char>(b);
    std::string data;
    ASSERT_TRUE(store.FindValue(keyName, plainName, nullptr, &data));
    EXPECT_EQ(data, keyName + '\0');
}

}  // namespace
