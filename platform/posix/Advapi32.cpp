// The registry calls of advapi32, served from the store file. An open key is
// its path and the access it was opened with; every call looks the path up
// in the store afresh, so other processes' changes are seen at once.

#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "StoreFile.h"
#include "Win32Api.h"

namespace {

struct KeyHandle {
    std::string path;
    REGSAM access;
};

std::unordered_set<const void*>& LiveHandles() {
    static std::unordered_set<const void*> handles;
    return handles;
}

bool Resolve(HKEY key, std::string* path, REGSAM* access) {
    if (key == HKEY_CURRENT_USER) {
        path->clear();
        *access = KEY_ALL_ACCESS;
        return true;
    }
    if (LiveHandles().count(key) == 0) return false;
    const KeyHandle* handle = reinterpret_cast<const KeyHandle*>(key);
    *path = handle->path;
    *access = handle->access;
    return true;
}

// Windows refuses a subkey that starts with a backslash; one trailing
// backslash is harmless.
LONG SubPath(const std::string& base, LPCSTR subKey, std::string* out) {
    std::string sub = subKey != nullptr ? subKey : "";
    if (!sub.empty() && sub[0] == '\\') return ERROR_BAD_PATHNAME;
    if (!sub.empty() && sub.back() == '\\') sub.pop_back();
    if (!regstore::IsValidKeyPath(sub)) return ERROR_BAD_PATHNAME;
    *out = base.empty() || sub.empty() ? base + sub : base + "\\" + sub;
    return ERROR_SUCCESS;
}

HKEY NewHandle(const std::string& path, REGSAM access) {
    KeyHandle* handle = new KeyHandle{path, access};
    LiveHandles().insert(handle);
    return reinterpret_cast<HKEY>(handle);
}

// The path of an open key whose access includes `needed`.
LONG KeyWith(HKEY key, REGSAM needed, std::string* path) {
    REGSAM access;
    if (!Resolve(key, path, &access)) return ERROR_INVALID_HANDLE;
    return (access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string ValueName(LPCSTR name) { return name != nullptr ? name : ""; }

// No C++ exception may cross into the caller, which sees a Win32 API.
template <typename Call>
LONG Guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return Guarded([&]() -> LONG {
        if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        std::string base, path;
        REGSAM access;
        if (!Resolve(hKey, &base, &access)) return ERROR_INVALID_HANDLE;
        LONG rc = SubPath(base, lpSubKey, &path);
        if (rc != ERROR_SUCCESS) return rc;
        rc = regstore::ReadStore([&](const regstore::Store& store) {
            return store.KeyExists(path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
        if (rc != ERROR_SUCCESS) return rc;
        *phkResult = NewHandle(path, samDesired);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions,
                            REGSAM samDesired, const SECURITY_ATTRIBUTES*, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    return Guarded([&]() -> LONG {
        if (phkResult == nullptr || lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_NOT_SUPPORTED;
        std::string base, path;
        REGSAM access;
        if (!Resolve(hKey, &base, &access)) return ERROR_INVALID_HANDLE;
        LONG rc = SubPath(base, lpSubKey, &path);
        if (rc != ERROR_SUCCESS) return rc;
        bool created = false;
        rc = regstore::ChangeStore([&](regstore::Store& store, bool& changed) {
            created = changed = store.CreateKey(path);
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS) return rc;
        if (lpdwDisposition != nullptr)
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        *phkResult = NewHandle(path, samDesired);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    return Guarded([&]() -> LONG {
        if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        std::string path;
        LONG opened = KeyWith(hKey, KEY_QUERY_VALUE, &path);
        if (opened != ERROR_SUCCESS) return opened;
        std::uint32_t type = 0;
        std::string data;
        LONG rc = regstore::ReadStore([&](const regstore::Store& store) -> LONG {
            if (!store.KeyExists(path)) return ERROR_KEY_DELETED;
            return store.FindValue(path, ValueName(lpValueName), &type, &data)
                       ? ERROR_SUCCESS
                       : ERROR_FILE_NOT_FOUND;
        });
        if (rc != ERROR_SUCCESS) return rc;
        if (lpType != nullptr) *lpType = type;
        if (lpcbData == nullptr) return ERROR_SUCCESS;
        DWORD room = *lpcbData;
        *lpcbData = static_cast<DWORD>(data.size());
        if (lpData == nullptr) return ERROR_SUCCESS;
        if (room < data.size()) return ERROR_MORE_DATA;
        std::memcpy(lpData, data.data(), data.size());
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
    return Guarded([&]() -> LONG {
        std::string path;
        LONG opened = KeyWith(hKey, KEY_SET_VALUE, &path);
        if (opened != ERROR_SUCCESS) return opened;
        std::string name = ValueName(lpValueName);
        if ((lpData == nullptr && cbData != 0) || !regstore::IsValidName(name))
            return ERROR_INVALID_PARAMETER;
        std::string data(reinterpret_cast<const char*>(lpData), lpData != nullptr ? cbData : 0);
        return regstore::ChangeStore([&](regstore::Store& store, bool& changed) -> LONG {
            if (!store.KeyExists(path)) return ERROR_KEY_DELETED;
            store.SetValue(path, name, dwType, data);
            changed = true;
            return ERROR_SUCCESS;
        });
    });
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return Guarded([&]() -> LONG {
        std::string path;
        LONG opened = KeyWith(hKey, KEY_SET_VALUE, &path);
        if (opened != ERROR_SUCCESS) return opened;
        std::string name = ValueName(lpValueName);
        return regstore::ChangeStore([&](regstore::Store& store, bool& changed) -> LONG {
            if (!store.KeyExists(path)) return ERROR_KEY_DELETED;
            changed = store.DeleteValue(path, name);
            return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    });
}

LONG WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    return Guarded([&]() -> LONG {
        std::string base, path;
        REGSAM access;
        if (!Resolve(hKey, &base, &access)) return ERROR_INVALID_HANDLE;
        if (lpSubKey == nullptr || *lpSubKey == '\0') return ERROR_NOT_SUPPORTED;
        LONG rc = SubPath(base, lpSubKey, &path);
        if (rc != ERROR_SUCCESS) return rc;
        return regstore::ChangeStore([&](regstore::Store& store, bool& changed) -> LONG {
            if (!store.KeyExists(path)) return ERROR_FILE_NOT_FOUND;
            changed = store.DeleteTree(path);
            return ERROR_SUCCESS;
        });
    });
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    if (LiveHandles().erase(hKey) == 0) return ERROR_INVALID_HANDLE;
    delete reinterpret_cast<KeyHandle*>(hKey);
    return ERROR_SUCCESS;
}

// Linux has no shutdown privilege to enable: the calls say no, and the
// program goes on to ExitWindowsEx as it would on Windows 9x.
BOOL WINAPI OpenProcessToken(HANDLE, DWORD, PHANDLE TokenHandle) {
    if (TokenHandle != nullptr) *TokenHandle = nullptr;
    return FALSE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR, LPCSTR, PLUID) { return FALSE; }

BOOL WINAPI AdjustTokenPrivileges(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                  LPDWORD) {
    return FALSE;
}
