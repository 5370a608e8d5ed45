// Message boxes on the terminal, and a restart that only says it was asked.

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Win32Api.h"

namespace {

// Code page 1252 to the character set of the user's locale.
std::string ToTerminal(const char* text) {
    std::string out;
    const char* charset = "UTF-8";
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale != static_cast<locale_t>(0)) charset = nl_langinfo_l(CODESET, locale);
    std::string target = std::string(charset) + "//TRANSLIT";
    if (locale != static_cast<locale_t>(0)) freelocale(locale);
    iconv_t convert = iconv_open(target.c_str(), "CP1252");
    if (convert == reinterpret_cast<iconv_t>(-1)) return text;
    std::size_t left = std::strlen(text);
    char* in = const_cast<char*>(text);
    char buffer[1024];
    while (left > 0) {
        char* outPtr = buffer;
        std::size_t room = sizeof buffer;
        std::size_t rc = iconv(convert, &in, &left, &outPtr, &room);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?';  // a byte the terminal cannot show
            ++in;
            --left;
        }
    }
    iconv_close(convert);
    return out;
}

const char* IconMark(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR: return "(X) ";
        case MB_ICONQUESTION: return "(?) ";
        case MB_ICONWARNING: return "(!) ";
        case MB_ICONINFORMATION: return "(i) ";
        default: return "";
    }
}

// One answer line, lower-cased and trimmed; false at end of input.
bool ReadAnswer(std::string* answer) {
    answer->clear();
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        answer->push_back(static_cast<char>(c));
    }
    if (c == EOF && answer->empty()) return false;
    std::size_t first = answer->find_first_not_of(" \t\r");
    std::size_t last = answer->find_last_not_of(" \t\r");
    *answer = first == std::string::npos ? "" : answer->substr(first, last - first + 1);
    return true;
}

}  // namespace

int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    UINT buttons = uType & MB_TYPEMASK;
    if (buttons != MB_OK && buttons != MB_YESNO) return 0;  // not offered here
    std::string caption = ToTerminal(lpCaption != nullptr ? lpCaption : "Erreur");
    std::string text = ToTerminal(lpText != nullptr ? lpText : "");
    std::printf("---- %s%s ----\n%s\n", IconMark(uType), caption.c_str(), text.c_str());
    const char* prompt = buttons == MB_YESNO ? "[O]ui / [N]on ? " : "[OK] ";
    for (;;) {
        std::fputs(prompt, stdout);
        std::fflush(stdout);
        std::string answer;
        bool answered = ReadAnswer(&answer);
        // Typed answers echo on a terminal; piped ones are shown for the record.
        if (answered && !isatty(STDIN_FILENO)) std::printf("%s\n", answer.c_str());
        if (!answered) {
            std::fputs("\n", stdout);
            std::fflush(stdout);
            return 0;  // end of input: the box failed, which counts as No
        }
        if (buttons == MB_OK) return IDOK;
        if (answer == "o" || answer == "oui" || answer == "y" || answer == "yes") return IDYES;
        if (answer == "n" || answer == "non" || answer == "no") return IDNO;
    }
}

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
    std::fprintf(stderr,
                 "veskal: ExitWindowsEx(flags 0x%X, reason 0x%X): restart requested; "
                 "this Linux host is not restarted\n",
                 uFlags, static_cast<unsigned>(dwReason));
    return FALSE;
}
