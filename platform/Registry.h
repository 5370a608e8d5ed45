// TRegistry: one open key under one root, over the Reg* calls. Failures of a
// typed read or write raise ERegistryException; opening and deleting answer
// with a Boolean.
#pragma once

#include "Win32.h"

class ERegistryException {
public:
    explicit ERegistryException(const char* message) : message_(message) {}
    const char* Message() const { return message_; }

private:
    const char* message_;
};

class TRegistry {
public:
    TRegistry() = default;
    ~TRegistry() { CloseKey(); }
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    void SetRootKey(HKEY root);

    // Paths are always taken from the root; one leading backslash is dropped.
    bool OpenKey(const char* key, bool canCreate);  // KEY_ALL_ACCESS
    bool OpenKeyReadOnly(const char* key);          // KEY_READ, never creates
    void CloseKey();                                // closes, never flushes

    bool ValueExists(const char* name);
    int ReadInteger(const char* name);              // raises unless a REG_DWORD is read
    void WriteInteger(const char* name, int value); // raises when not written
    bool DeleteValue(const char* name);

private:
    HKEY root_ = HKEY_CURRENT_USER;
    HKEY current_ = nullptr;
};
