// Three self-contained operations on one registry value. Each opens and
// closes its own key and never lets an error escape: a read that fails gives
// the caller's default, a write or removal that fails gives false.
#pragma once

#include "Win32.h"

int ReadRegInteger(HKEY root, const char* keyPath, const char* valueName, int defaultValue);
bool WriteRegInteger(HKEY root, const char* keyPath, const char* valueName,
                     int value);
bool RemoveRegValue(HKEY root, const char* keyPath, const char* valueName);
