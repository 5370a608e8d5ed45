// The veskal binary run as a person runs it: answers on standard input, a
// store file of its own, and afterwards the exact boxes, the store and the
// exit code.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "Child.h"

namespace {

const std::string About =
    "VESKAL v1.0 Win98 © 2026 Les auteurs de VESKAL\r\n"
    "\r\n"
    "Fonction : Option suppression [menu Favoris] de Démarrer.\r\n"
    "Note       : Option réversible en relançant le programme\r\n"
    "\r\n";
const std::string QuestionShown = "Le menu Favoris est affiché. Voulez-vous le supprimer ?";
const std::string QuestionHidden = "Le menu Favoris n'est pas affiché. Voulez-vous l'afficher ?";
const std::string OperationError =
    "Une erreur s'est produite durant l'opération !!\r\n"
    "Veuillez redémarrer et recommencer ensuite.";
const std::string Win3Error = "Ce programme ne peut pas être utilisé sous Windows 3.x !";

std::string Success(const std::string& resultLine) {
    return "L'opération s'est déroulée avec succés.\r\n" + resultLine +
           "\r\n"
           "\r\n"
           "Votre ordinateur doit redémarrer pour prendre en\r\n"
           "compte les modifications apportées. Voulez-vous\r\n"
           "redémarrer maintenant ?";
}
const std::string Hidden = Success("Le menu Favoris a été supprimé.");
const std::string Restored = Success("Le menu Favoris a été restauré.");

// A box as the terminal shows it; `answer` is the line read, or nullptr for
// the end of input.
std::string Question(const std::string& text, const char* answer) {
    return "---- (?) VESKAL pour Windows 98 ----\n" + text + "\n[O]ui / [N]on ? " +
           (answer ? std::string(answer) : "") + "\n";
}
std::string ErrorBox(const std::string& text) {
    return "---- (X) VESKAL pour Windows 98 ----\n" + text + "\n[OK] \n";
}

const std::string Header = "REGEDIT4\r\n\r\n";
const std::string Before =
    "[HKEY_CURRENT_USER\\Software\\Autre]\r\n"
    "\"Garder\"=\"Donnée intacte\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\r\n"
    "\"NoDriveTypeAutoRun\"=dword:00000095\r\n";
const std::string After =
    "\r\n"
    "; a comment of the user's\r\n"
    "[HKEY_CURRENT_USER\\Software\\Zzz]\r\n"
    "\"Bin\"=hex:01,02,\\\r\n"
    "  03\r\n";
// The store around one line for the setting ("" for none).
std::string StoreWith(const std::string& settingLine) {
    return Header + Before + settingLine + After;
}

const std::string RestartLine = "ExitWindowsEx(flags 0x3";

struct Row {
    const char* what;
    const char* settingBefore;
    const char* answers;
    const char* version;  // VESKAL_WINDOWS_VERSION, or nullptr
    std::string out;
    const char* settingAfter;
    bool restart;
};

const Row Rows[] = {
    {"DWORD 0 counts as shown; Yes writes the DWORD 1",
     "\"NoFavoritesMenu\"=dword:00000000\r\n", "o\nn\n", nullptr,
     Question(About + QuestionShown, "o") + Question(Hidden, "n"),
     "\"NoFavoritesMenu\"=dword:00000001\r\n", false},
    {"REG_SZ \"1\" counts as shown; Yes replaces it with the DWORD 1",
     "\"NoFavoritesMenu\"=\"1\"\r\n", "o\nn\n", nullptr,
     Question(About + QuestionShown, "o") + Question(Hidden, "n"),
     "\"NoFavoritesMenu\"=dword:00000001\r\n", false},
    {"a 4-byte REG_BINARY counts as shown", "\"NoFavoritesMenu\"=hex:01,00,00,00\r\n", "n\n",
     nullptr, Question(About + QuestionShown, "n"), "\"NoFavoritesMenu\"=hex:01,00,00,00\r\n",
     false},
    {"DWORD 2, name in another case, counts as hidden; Yes deletes it",
     "\"nofavoritesmenu\"=dword:00000002\r\n", "oui\nnon\n", nullptr,
     Question(About + QuestionHidden, "oui") + Question(Restored, "non"), "", false},
    {"a negative DWORD counts as hidden", "\"NoFavoritesMenu\"=dword:ffffffff\r\n", "n\n",
     nullptr, Question(About + QuestionHidden, "n"), "\"NoFavoritesMenu\"=dword:ffffffff\r\n",
     false},
    {"No at the question writes nothing and shows one box", "", "non\n", nullptr,
     Question(About + QuestionShown, "non"), "", false},
    {"end of input counts as No", "", "", nullptr, Question(About + QuestionShown, nullptr), "",
     false},
    {"Yes at the restart question asks for a restart",
     "\"NoFavoritesMenu\"=dword:00000001\r\n", "y\nyes\n", nullptr,
     Question(About + QuestionHidden, "y") + Question(Restored, "yes"), "", true},
    {"answers in any case; anything else asks again", "", "peut-être\nOUI\n  Non \n", nullptr,
     "---- (?) VESKAL pour Windows 98 ----\n" + About + QuestionShown +
         "\n[O]ui / [N]on ? peut-être\n[O]ui / [N]on ? oui\n" + Question(Hidden, "non"),
     "\"NoFavoritesMenu\"=dword:00000001\r\n", false},
    {"Windows 3.1 is refused with one box, the registry untouched",
     "\"NoFavoritesMenu\"=dword:00000002\r\n", "\n", "3.10", ErrorBox(Win3Error),
     "\"NoFavoritesMenu\"=dword:00000002\r\n", false},
    {"Windows NT 3.51 is refused like 3.1", "", "\n", "3.51", ErrorBox(Win3Error), "", false},
    {"Windows XP runs as 98 does", "", "o\no\n", "5.01",
     Question(About + QuestionShown, "o") + Question(Hidden, "o"),
     "\"NoFavoritesMenu\"=dword:00000001\r\n", true},
};

class ProgramTest : public ::testing::Test {
protected:
    ChildResult Run(const std::string& answers, std::vector<std::string> environment = {}) {
        environment.push_back("VESKAL_REGISTRY=" + Store());
        environment.push_back("LC_ALL=C.UTF-8");
        return RunChild(VESKAL_BINARY, answers, environment);
    }
    std::string Store() const { return folder_ / "HKCU.reg"; }

    TempFolder folder_;
};

TEST_F(ProgramTest, Toggles) {
    for (const Row& row : Rows) {
        SCOPED_TRACE(row.what);
        WriteFile(Store(), StoreWith(row.settingBefore));
        std::vector<std::string> environment;
        if (row.version) environment.push_back(std::string("VESKAL_WINDOWS_VERSION=") + row.version);
        ChildResult result = Run(row.answers, environment);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, row.out);
        EXPECT_EQ(ReadFile(Store()), StoreWith(row.settingAfter));
        EXPECT_EQ(result.err.find(RestartLine) != std::string::npos, row.restart) << result.err;
    }
}

TEST_F(ProgramTest, FirstRunCreatesThePrivateStoreAndASecondRunUndoesIt) {
    std::string config = folder_ / "config";
    std::vector<std::string> environment = {"VESKAL_REGISTRY=", "XDG_CONFIG_HOME=" + config,
                                            "LC_ALL=C.UTF-8"};
    std::string store = config + "/veskal/HKEY_CURRENT_USER.reg";

    ChildResult declined = RunChild(VESKAL_BINARY, "n\n", environment);
    EXPECT_EQ(declined.out, Question(About + QuestionShown, "n"));
    EXPECT_FALSE(FileExists(config)) << "a read must create nothing";

    ChildResult first = RunChild(VESKAL_BINARY, "o\nn\n", environment);
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, Question(About + QuestionShown, "o") + Question(Hidden, "n"));
    const std::string keys =
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]"
        "\r\n";
    EXPECT_EQ(ReadFile(store), keys + "\"NoFavoritesMenu\"=dword:00000001\r\n\r\n");
    struct stat info;
    ASSERT_EQ(stat((config + "/veskal").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(store.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ChildResult second = RunChild(VESKAL_BINARY, "o\nn\n", environment);
    EXPECT_EQ(second.out, Question(About + QuestionHidden, "o") + Question(Restored, "n"));
    EXPECT_EQ(ReadFile(store), keys + "\r\n") << "the value goes, the key it needed stays";
}

TEST_F(ProgramTest, CorruptStoreCountsAsShownAndYesGivesTheErrorBoxLosingNothing) {
    const std::string corrupt = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\nnot regedit\r\n";
    WriteFile(Store(), corrupt);
    ChildResult result = Run("o\n\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, Question(About + QuestionShown, "o") + ErrorBox(OperationError));
    EXPECT_EQ(ReadFile(Store()), corrupt);
    EXPECT_EQ(std::system(("test \"$(ls -A '" + folder_.path() + "')\" = HKCU.reg").c_str()), 0)
        << "no temporary file is left behind";
}

TEST_F(ProgramTest, MalformedVersionWarnsAndRunsAsWindows98) {
    ChildResult result = Run("n\n", {"VESKAL_WINDOWS_VERSION=4.x"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, Question(About + QuestionShown, "n"));
    EXPECT_NE(result.err.find("VESKAL_WINDOWS_VERSION"), std::string::npos);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
}

TEST_F(ProgramTest, AlteredNoticeEndsTheProgramSilently) {
    std::string binary = ReadFile(VESKAL_BINARY);
    std::size_t at = binary.find("Les auteurs de VESKAL");
    ASSERT_NE(at, std::string::npos);
    binary[at] = 'D';
    std::string patched = folder_ / "veskal-patched";
    WriteFile(patched, binary);
    ASSERT_EQ(chmod(patched.c_str(), 0700), 0);
    WriteFile(Store(), StoreWith("\"NoFavoritesMenu\"=dword:00000001\r\n"));

    ChildResult result = RunChild(patched, "o\no\n", {"VESKAL_REGISTRY=" + Store()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(ReadFile(Store()), StoreWith("\"NoFavoritesMenu\"=dword:00000001\r\n"));

    ChildResult original = Run("n\n");  // the unaltered binary still runs
    EXPECT_EQ(original.out, Question(About + QuestionHidden, "n"));
}

TEST(ProgramBinary, HoldsNoReadableSettingName) {
    std::string binary = ReadFile(VESKAL_BINARY);
    for (const char* name : {"NoFavoritesMenu", "Policies", "CurrentVersion", "Microsoft"})
        EXPECT_EQ(binary.find(name), std::string::npos) << name;
}

}  // namespace
