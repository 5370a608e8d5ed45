// Registry behaviour the program relies on, at three depths: the raw Reg*
// calls, the registry class and the three value operations. The same source
// runs on our Linux layer and on Windows (Wine), so where the two disagree,
// one of them is not Windows.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "RegCtrl.h"
#include "Registry.h"
#include "Win32.h"

namespace {

const char* const Base = "Software\\VESKAL Tests";
const std::string Key = std::string(Base) + "\\Policies\\Explorer";

std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out.push_back(static_cast<char>(b));
    return out;
}

// What a value holds: type and bytes; `exists` false for none.
struct Stored {
    bool exists;
    DWORD type;
    std::string data;
};
const Stored None{false, REG_NONE, ""};
Stored Dword(DWORD v) {
    return {true, REG_DWORD, Bytes({int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255),
                                    int(v >> 24 & 255)})};
}
const Stored TextOne{true, REG_SZ, std::string("1\0", 2)};
const Stored BinaryOne{true, REG_BINARY, Bytes({1, 0, 0, 0})};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, Base); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, Base); }

    static bool KeyExists(const std::string& path) {
        HKEY h;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return false;
        RegCloseKey(h);
        return true;
    }
    static HKEY Create(const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
        HKEY h = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, access, nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        return h;
    }
    static void Put(const std::string& path, const char* name, const Stored& value) {
        HKEY h = Create(path);
        if (value.exists) {
            EXPECT_EQ(RegSetValueExA(h, name, 0, value.type,
                                     reinterpret_cast<const BYTE*>(value.data.data()),
                                     DWORD(value.data.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(h);
    }
    static Stored Get(const std::string& path, const char* name) {
        HKEY h;
        Stored out = None;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return out;
        BYTE buffer[1024];
        DWORD size = sizeof buffer;
        if (RegQueryValueExA(h, name, nullptr, &out.type, buffer, &size) == ERROR_SUCCESS) {
            out.exists = true;
            out.data.assign(reinterpret_cast<const char*>(buffer), size);
        }
        RegCloseKey(h);
        return out;
    }
};

void ExpectStored(const Stored& actual, const Stored& expected) {
    EXPECT_EQ(actual.exists, expected.exists);
    if (actual.exists && expected.exists) {
        EXPECT_EQ(actual.type, expected.type);
        EXPECT_EQ(actual.data, expected.data);
    }
}

// ---- The raw calls ----

TEST_F(RegistryTest, OpeningAndCreatingKeys) {
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(KeyExists(Base)) << "a failed open creates nothing";
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, ("\\" + Key).c_str(), 0, KEY_READ, &h),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("\\" + Key).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_FALSE(KeyExists(Base));

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &h, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(h);
    EXPECT_TRUE(KeyExists(std::string(Base) + "\\POLICIES")) << "names ignore case";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &h, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(h);
}

TEST_F(RegistryTest, EveryTypeAndByteComesBackAsWritten) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const struct {
        const char* name;
        Stored value;
    } cases[] = {
        {"Texte \xE9t\xE9", {true, REG_SZ, std::string("D\xE9marrer\0", 9)}},
        {"", {true, REG_SZ, std::string("d\xE9" "faut\0", 7)}},
        {"Chemin", {true, REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9)}},
        {"Liste", {true, REG_MULTI_SZ, std::string("a\0b\0\0", 5)}},
        {"Octets", {true, REG_BINARY, all}},
        {"Rien", {true, REG_NONE, ""}},
        {"Mot", Dword(0x89ABCDEF)},
        {"Quad", {true, REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})}},
    };
    for (const auto& c : cases) Put(Key, c.name, c.value);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectStored(Get(Key, c.name), c.value);
    }
    ExpectStored(Get(Key, "texte \xC9T\xC9"), cases[0].value);  // É é: one name
    ExpectStored(Get(Key, nullptr), cases[1].value);            // NULL names the default value
}

TEST_F(RegistryTest, QueryReportsSizesAndMissingValues) {
    Put(Key, "v", Dword(7));
    HKEY h = Create(Key);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(h, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(size, 4u);
    BYTE small[2];
    size = sizeof small;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(h, "v", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(RegQueryValueExA(h, "absent", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteValueA(h, "V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(h, "v"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
    EXPECT_TRUE(KeyExists(Key)) << "a key stays when its last value goes";
}

TEST_F(RegistryTest, ReadOnlyKeyRefusesChanges) {
    Put(Key, "v", Dword(1));
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    const BYTE two[] = {2, 0, 0, 0};
    EXPECT_EQ(RegSetValueExA(h, "v", 0, REG_DWORD, two, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(h, "v"), ERROR_ACCESS_DENIED);
    RegCloseKey(h);
    ExpectStored(Get(Key, "v"), Dword(1));
}

// ---- The registry class ----

TEST_F(RegistryTest, RegistryClassOpensFromTheRootAndRaisesOnBadReads) {
    Put(Key, "dword", Dword(0xFFFFFFFF));
    Put(Key, "text", TextOne);
    Put(Key, "binary", BinaryOne);
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.OpenKey((Key + "\\Missing").c_str(), false));
    ASSERT_TRUE(reg.OpenKey(("\\" + Key).c_str(), false)) << "one leading backslash is dropped";
    ASSERT_TRUE(reg.OpenKey(Key.c_str(), false)) << "always from the root, not the open key";
    EXPECT_EQ(reg.ReadInteger("dword"), -1);
    EXPECT_TRUE(reg.ValueExists("TEXT"));
    EXPECT_FALSE(reg.ValueExists("missing"));
    for (const char* name : {"text", "binary", "missing"})
        EXPECT_THROW(reg.ReadInteger(name), ERegistryException) << name;
    EXPECT_FALSE(reg.DeleteValue("missing"));

    ASSERT_TRUE(reg.OpenKeyReadOnly(Key.c_str()));
    EXPECT_THROW(reg.WriteInteger("dword", 1), ERegistryException);
    EXPECT_FALSE(reg.DeleteValue("dword"));
    EXPECT_EQ(reg.ReadInteger("dword"), -1);
}

// ---- The three value operations ----

enum class Op { Read, Write, Remove };

struct Row {
    const char* what;
    bool keyBefore;
    Stored before;
    Op op;
    const char* path;  // nullptr: the usual key path
    int result;        // the integer read, or 1/0 for true/false
    bool keyAfter;
    Stored after;
};

const Row Rows[] = {
    {"read: missing key gives the default, creates nothing", false, None, Op::Read, nullptr, 5,
     false, None},
    {"read: missing value gives the default", true, None, Op::Read, nullptr, 5, true, None},
    {"read: REG_SZ \"1\" gives the default", true, TextOne, Op::Read, nullptr, 5, true, TextOne},
    {"read: 4-byte REG_BINARY gives the default", true, BinaryOne, Op::Read, nullptr, 5, true,
     BinaryOne},
    {"read: DWORD 0xFFFFFFFF is -1", true, Dword(0xFFFFFFFF), Op::Read, nullptr, -1, true,
     Dword(0xFFFFFFFF)},
    {"read: DWORD 2", true, Dword(2), Op::Read, nullptr, 2, true, Dword(2)},
    {"read: one leading backslash", true, Dword(2), Op::Read, "\\", 2, true, Dword(2)},
    {"write: creates the missing keys", false, None, Op::Write, nullptr, 1, true, Dword(1)},
    {"write: replaces a REG_SZ with the DWORD", true, TextOne, Op::Write, nullptr, 1, true,
     Dword(1)},
    {"write: one leading backslash", true, Dword(0), Op::Write, "\\", 1, true, Dword(1)},
    {"remove: missing value is false", true, None, Op::Remove, nullptr, 0, true, None},
    {"remove: missing key is created, false", false, None, Op::Remove, nullptr, 0, true, None},
    {"remove: a DWORD goes", true, Dword(2), Op::Remove, nullptr, 1, true, None},
    {"remove: a REG_SZ goes", true, TextOne, Op::Remove, nullptr, 1, true, None},
    {"remove: a REG_BINARY goes", true, BinaryOne, Op::Remove, "\\", 1, true, None},
};

TEST_F(RegistryTest, ValueOperations) {
    const char* const name = "NoFavoritesMenu";
    for (const Row& row : Rows) {
        SCOPED_TRACE(row.what);
        RegDeleteTreeA(HKEY_CURRENT_USER, Base);
        if (row.keyBefore) Put(Key, name, row.before);
        std::string path = row.path ? row.path + Key : Key;
        int result = 0;
        switch (row.op) {
            case Op::Read: result = ReadRegInteger(HKEY_CURRENT_USER, path.c_str(), name, 5); break;
            case Op::Write: result = WriteRegInteger(HKEY_CURRENT_USER, path.c_str(), name, 1); break;
            case Op::Remove: result = RemoveRegValue(HKEY_CURRENT_USER, path.c_str(), name); break;
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(KeyExists(Key), row.keyAfter);
        ExpectStored(Get(Key, name), row.after);
    }
}

TEST_F(RegistryTest, ValueOperationsNeverRaise) {
    // A root with no store behind it: every step fails, nothing escapes.
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x12345678));
    EXPECT_EQ(ReadRegInteger(bogus, Key.c_str(), "v", 9), 9);
    EXPECT_FALSE(WriteRegInteger(bogus, Key.c_str(), "v", 1));
    EXPECT_FALSE(RemoveRegValue(bogus, Key.c_str(), "v"));
}

}  // namespace
