#include "RegCtrl.h"

#include "Registry.h"

// The registry object lives on the stack, so it is freed (and its key closed)
// on every path, also when a read or write raises.

int ReadRegInteger(HKEY root, const char* keyPath, const char* valueName,
                   int defaultValue) {
    int result = defaultValue;
    try {
        TRegistry reg;
        reg.SetRootKey(root);
        // Reading must not create the key; a key we may not write is still readable.
        if ((reg.OpenKey(keyPath, false) || reg.OpenKeyReadOnly(keyPath)) &&
            reg.ValueExists(valueName))
            result = reg.ReadInteger(valueName);
    } catch (...) {
        // ERegistryException: keep the default.
    }
    return result;
}

bool WriteRegInteger(HKEY root, const char* keyPath, const char* valueName,
                     int value) {
    bool result = false;
    try {
        TRegistry reg;
        reg.SetRootKey(root);
        if (reg.OpenKey(keyPath, true)) {
            reg.WriteInteger(valueName, value);
            result = true;
        }
    } catch (...) {
    }
    return result;
}

bool RemoveRegValue(HKEY root, const char* keyPath, const char* valueName) {
    bool result = false;
    try {
        TRegistry reg;
        reg.SetRootKey(root);
        if (reg.OpenKey(keyPath, true) && reg.ValueExists(valueName))
            result = reg.DeleteValue(valueName);
    } catch (...) {
    }
    return result;
}
