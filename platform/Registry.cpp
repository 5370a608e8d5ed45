#include "Registry.h"

namespace {

const char* RelativePath(const char* key) {
    return (key[0] == '\\') ? key + 1 : key;
}

}  // namespace

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const char* key, bool canCreate) {
    CloseKey();
    HKEY opened = nullptr;
    LONG rc;
    if (canCreate) {
        DWORD disposition = 0;
        rc = RegCreateKeyExA(root_, RelativePath(key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &opened, &disposition);
    } else {
        rc = RegOpenKeyExA(root_, RelativePath(key), 0, KEY_ALL_ACCESS, &opened);
    }
    if (rc != ERROR_SUCCESS) return false;
    current_ = opened;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const char* key) {
    CloseKey();
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root_, RelativePath(key), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    current_ = opened;
    return true;
}

void TRegistry::CloseKey() {
    if (current_ != nullptr) {
        RegCloseKey(current_);
        current_ = nullptr;
    }
}

bool TRegistry::ValueExists(const char* name) {
    DWORD type = 0, size = 0;
    return current_ != nullptr &&
           RegQueryValueExA(current_, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

int TRegistry::ReadInteger(const char* name) {
    BYTE data[4] = {0, 0, 0, 0};
    DWORD type = REG_NONE, size = sizeof data;
    if (current_ == nullptr ||
        RegQueryValueExA(current_, name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        throw ERegistryException("Invalid data read");
    if (type != REG_DWORD) throw ERegistryException("Invalid data type");
    // Little-endian, as Windows stores a DWORD.
    DWORD value = DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 |
                  DWORD(data[3]) << 24;
    return static_cast<int>(value);
}

void TRegistry::WriteInteger(const char* name, int value) {
    DWORD bits = static_cast<DWORD>(value);
    const BYTE data[4] = {BYTE(bits), BYTE(bits >> 8), BYTE(bits >> 16), BYTE(bits >> 24)};
    if (current_ == nullptr ||
        RegSetValueExA(current_, name, 0, REG_DWORD, data, sizeof data) != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data");
}

bool TRegistry::DeleteValue(const char* name) {
    return current_ != nullptr && RegDeleteValueA(current_, name) == ERROR_SUCCESS;
}
