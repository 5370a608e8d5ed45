// VESKAL: shows or hides the Favorites menu of the Start menu for the
// current user, through the Explorer policy value under HKEY_CURRENT_USER.
//
// This file is compiled with the execution character set CP1252, so every
// text below reaches MessageBoxA as Windows ANSI bytes (é is 0xE9).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "RegCtrl.h"
#include "SettingNames.h"
#include "Win32.h"

namespace {

constexpr char AppCaption[] = "VESKAL pour Windows 98";

// The ownership notice is the first line; the start-up check guards it.
constexpr char AboutText[] =
    "VESKAL v1.0 Win98 © 2026 Les auteurs de VESKAL\r\n"
    "\r\n"
    "Fonction : Option suppression [menu Favoris] de Démarrer.\r\n"
    "Note       : Option réversible en relançant le programme\r\n"
    "\r\n";

constexpr char QuestionWhenShown[] = "Le menu Favoris est affiché. Voulez-vous le supprimer ?";
constexpr char QuestionWhenHidden[] =
    "Le menu Favoris n'est pas affiché. Voulez-vous l'afficher ?";
constexpr char ResultAfterHiding[] = "Le menu Favoris a été supprimé.\r\n";
constexpr char ResultAfterShowing[] = "Le menu Favoris a été restauré.\r\n";

constexpr char SuccessHead[] = "L'opération s'est déroulée avec succés.\r\n";
constexpr char SuccessTail[] =
    "\r\n"
    "Votre ordinateur doit redémarrer pour prendre en\r\n"
    "compte les modifications apportées. Voulez-vous\r\n"
    "redémarrer maintenant ?";

constexpr std::size_t Length(std::string_view text) { return text.size(); }
constexpr std::size_t FirstLineLength(std::string_view text) { return text.find('\r'); }

// Composed texts go to the message box through this buffer, NUL included.
constexpr std::size_t TextBufferSize = 256;
static_assert(FirstLineLength(AboutText) <= 73, "the about text's first line is too long");
static_assert(Length(AboutText) - FirstLineLength(AboutText) == 123,
              "the about text is not the agreed block (is this file compiled as CP1252?)");
static_assert(Length(AboutText) + Length(QuestionWhenShown) < TextBufferSize &&
                  Length(AboutText) + Length(QuestionWhenHidden) < TextBufferSize,
              "a question does not fit the message buffer");
static_assert(Length(SuccessHead) + Length(ResultAfterHiding) + Length(SuccessTail) <
                      TextBufferSize &&
                  Length(SuccessHead) + Length(ResultAfterShowing) + Length(SuccessTail) <
                      TextBufferSize,
              "the success report does not fit the message buffer");

struct TextBuffer {
    char text[TextBufferSize];
    std::size_t length;
};

// Appends what fits; the checks above make sure everything does.
void AppendText(TextBuffer& buffer, std::string_view part) {
    std::size_t room = TextBufferSize - 1 - buffer.length;
    std::size_t count = part.size() < room ? part.size() : room;
    std::memcpy(buffer.text + buffer.length, part.data(), count);
    buffer.length += count;
    buffer.text[buffer.length] = '\0';
}

constexpr std::uint32_t Checksum(std::string_view text) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// Fixed when the program is built; compared with what the executable holds.
constexpr std::uint32_t NoticeChecksum = Checksum({AboutText, FirstLineLength(AboutText)});

// Reads the notice through volatile loads so that the sum is taken over the
// bytes in the executable at run time, not folded by the compiler.
bool IsNoticeIntact() {
    const volatile char* notice = AboutText;
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < FirstLineLength(AboutText); ++i)
        hash = (hash ^ static_cast<unsigned char>(notice[i])) * 16777619u;
    return hash == NoticeChecksum;
}

bool IsWindows3() {
    return (GetVersion() & 0xFF) == 3;
}

void ShowWin3Error() {
    MessageBoxA(nullptr, "Ce programme ne peut pas être utilisé sous Windows 3.x !", AppCaption,
                MB_ICONERROR | MB_OK);
}

void ShowOperationError() {
    MessageBoxA(nullptr,
                "Une erreur s'est produite durant l'opération !!\r\n"
                "Veuillez redémarrer et recommencer ensuite.",
                AppCaption, MB_ICONERROR | MB_OK);
}

bool ConfirmAction(std::string_view question) {
    TextBuffer buffer{{}, 0};
    AppendText(buffer, AboutText);
    AppendText(buffer, question);
    return MessageBoxA(nullptr, buffer.text, AppCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// NT-family Windows refuses ExitWindowsEx unless the caller has enabled its
// shutdown privilege; Windows 9x (high bit of GetVersion set) has none.
void EnableShutdownPrivilege() {
    if (GetVersion() & 0x80000000u) return;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

void OfferRestart(std::string_view resultLine) {
    TextBuffer buffer{{}, 0};
    AppendText(buffer, SuccessHead);
    AppendText(buffer, resultLine);
    AppendText(buffer, SuccessTail);
    if (MessageBoxA(nullptr, buffer.text, AppCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        EnableShutdownPrivilege();
        ExitWindowsEx(EWX_SHUTDOWN | EWX_REBOOT, 0);  // a refusal is not reported
    }
}

void UnscrambleNames(PlainString& keyPath, PlainString& valueName) {
    UnscrambleString(ScrambledValueName, valueName);
    UnscrambleString(ScrambledKeyPath, keyPath);
}

void Toggle() {
    if (IsWindows3()) {
        ShowWin3Error();
        return;
    }
    PlainString keyPath, valueName;
    UnscrambleNames(keyPath, valueName);
    if (ReadRegInteger(HKEY_CURRENT_USER, keyPath, valueName, 0) == 0) {
        if (!ConfirmAction(QuestionWhenShown)) return;
        UnscrambleNames(keyPath, valueName);
        if (WriteRegInteger(HKEY_CURRENT_USER, keyPath, valueName, 1))
            OfferRestart(ResultAfterHiding);
        else
            ShowOperationError();
    } else {
        if (!ConfirmAction(QuestionWhenHidden)) return;
        UnscrambleNames(keyPath, valueName);
        if (RemoveRegValue(HKEY_CURRENT_USER, keyPath, valueName))
            OfferRestart(ResultAfterShowing);
        else
            ShowOperationError();
    }
}

}  // namespace

int main() {
    if (IsNoticeIntact()) Toggle();  // an altered copy leaves without a word
    return 0;
}
