// The Win32 subset VESKAL uses. On Windows it is the real API; elsewhere it
// is our own layer under the same names (platform/posix).
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "posix/Win32Api.h"
#endif
