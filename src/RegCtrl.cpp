#include "RegCtrl.h"

#include "Registry.h"

// The registry object lives on the stack, so it is freed (and its key closed)
// on every path, also when a read or write raises.

int ReadRegInteger(HKEY root, const std::string& keyPath, const std::string& valueName,
                   int defaultValue) {
    int result = defaultValue;
    try {
        TRegistry reg;
        reg.SetRootKey(root);
        // Reading must not create the key; a key we may not write is still readable.
        if ((reg.OpenKey(keyPath.c_str(), false) || reg.OpenKeyReadOnly(keyPath.c_str())) &&
            reg.ValueExists(valueName.c_str()))
            result = reg.ReadInteger(valueName.c_str());
    } catch (...) {
        // ERegistryException, or no memory for the strings: keep the default.
    }
    return result;
}

bool WriteRegInteger(HKEY root, const std::string& keyPath, const std::string& valueName,
                     int value) {
    bool result = false;
    try {
        TRegistry reg;
        reg.SetRootKey(root);
        if (reg.OpenKey(keyPath.c_str(), true)) {
            reg.WriteInteger(valueName.c_str(), value);
            result = true;
        }
    } catch (...) {
    }
    return result;
}

bool RemoveRegValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    bool result = false;
    try {
        TRegistry reg;
        reg.SetRootKey(root);
        if (reg.OpenKey(keyPath.c_str(), true) && reg.ValueExists(valueName.c_str()))
            result = reg.DeleteValue(valueName.c_str());
    } catch (...) {
    }
    return result;
}
