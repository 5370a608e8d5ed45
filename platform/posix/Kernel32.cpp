// GetVersion as Windows 98 reports it, or as $VESKAL_WINDOWS_VERSION says.

#include <cstdio>
#include <cstdlib>

#include "Win32Api.h"

namespace {

// "MAJOR.MINOR", each 0 to 255.
bool ParseVersion(const char* text, unsigned* major, unsigned* minor) {
    unsigned parts[2] = {0, 0};
    int part = 0, digits = 0;
    for (const char* p = text;; ++p) {
        if (*p >= '0' && *p <= '9' && digits < 3) {
            parts[part] = parts[part] * 10 + static_cast<unsigned>(*p - '0');
            ++digits;
        } else if (*p == '.' && part == 0 && digits > 0) {
            part = 1;
            digits = 0;
        } else if (*p == '\0' && part == 1 && digits > 0) {
            break;
        } else {
            return false;
        }
    }
    if (parts[0] > 255 || parts[1] > 255) return false;
    *major = parts[0];
    *minor = parts[1];
    return true;
}

}  // namespace

DWORD WINAPI GetVersion() {
    unsigned major = 4, minor = 10;
    const char* wanted = std::getenv("VESKAL_WINDOWS_VERSION");
    if (wanted != nullptr && !ParseVersion(wanted, &major, &minor)) {
        std::fprintf(stderr,
                     "veskal: VESKAL_WINDOWS_VERSION=\"%s\" is not MAJOR.MINOR; using 4.10\n",
                     wanted);
        major = 4;
        minor = 10;
    }
    // Low byte major, next byte minor; the high bit marks Windows 9x (4.10,
    // 4.90) and Win32s on Windows 3.1x, NT has it clear.
    bool nonNt = (major == 4 && minor > 0) || (major == 3 && minor < 50);
    return (nonNt ? 0xC0000000u : 0u) | (minor << 8) | major;
}

HANDLE WINAPI GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

BOOL WINAPI CloseHandle(HANDLE) { return TRUE; }
