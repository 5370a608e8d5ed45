// The REGEDIT4 text model: what it reads, what it refuses, and that edits
// change only the lines they are about.

#include <gtest/gtest.h>

#include "RegStore.h"

using regstore::Store;

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out.push_back(static_cast<char>(b));
    return out;
}

const std::string Sample =
    "REGEDIT4\r\n"
    "\r\n"
    "; exported by hand\r\n"
    "[HKEY_CURRENT_USER]\r\n"
    "@=\"racine\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Cl\xE9s]\r\n"
    "\"Texte \\\"cit\xE9\\\"\"=\"C:\\\\Dossier\\\\\"\r\n"
    "\"Nombre\"=dword:0000002a\r\n"
    "\"Binaire\"=hex:00,ff,\\\r\n"
    "    10\r\n"
    "  \"Vide\" = hex(0):\r\n"
    "\"Plusieurs\"=hex(7):61,00,62,00,00\r\n"
    "\"Gros\"=hex(b):01,02,03,04,05,06,07,08\r\n"
    "\"Court\"=dword:1\r\n";

TEST(StoreParse, ReadsEveryFormRegeditWrites) {
    Store store;
    std::string error;
    ASSERT_TRUE(store.Parse(Sample, &error)) << error;
    auto keys = store.Contents();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].path, "");
    ASSERT_EQ(keys[0].values.size(), 1u);
    EXPECT_EQ(keys[0].values[0].name, "");
    EXPECT_EQ(keys[0].values[0].data, std::string("racine", 7));

    EXPECT_EQ(keys[1].path, "Software\\Cl\xE9s");
    struct Expected {
        const char* name;
        std::uint32_t type;
        std::string data;
    } expected[] = {
        {"Texte \"cit\xE9\"", 1, std::string("C:\\Dossier\\", 12)},
        {"Nombre", 4, Bytes({42, 0, 0, 0})},
        {"Binaire", 3, Bytes({0, 255, 16})},
        {"Vide", 0, ""},
        {"Plusieurs", 7, Bytes({'a', 0, 'b', 0, 0})},
        {"Gros", 11, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {"Court", 4, Bytes({1, 0, 0, 0})},
    };
    ASSERT_EQ(keys[1].values.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(keys[1].values[i].name, expected[i].name);
        EXPECT_EQ(keys[1].values[i].type, expected[i].type) << expected[i].name;
        EXPECT_EQ(keys[1].values[i].data, expected[i].data) << expected[i].name;
    }
    EXPECT_EQ(store.Text(), Sample);
}

TEST(StoreParse, RefusesWhatItCannotReadAndSaysWhere) {
    struct {
        std::string text;
        const char* where;
    } cases[] = {
        {"Windows Registry Editor Version 5.00\r\n", "line 1:"},
        {"REGEDIT4\r", "line 1:"},  // a lone CR ends no line
        {"REGEDIT4\r\n\"a\"=dword:1\r\n", "line 2:"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n", "line 2:"},
        {"REGEDIT4\r\n[-HKEY_CURRENT_USER\\A]\r\n", "line 2:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\\\B]\r\n", "line 2:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=-\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=dword:123456789\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:0g\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"open\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"\\n\"\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,\\\r\n  zz\r\n", "line 3:"},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,\\\r\n  02\r\nx\r\n", "line 5:"},
        {std::string("REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"") + '\0' + "\"\r\n", "line 3:"},
    };
    for (const auto& c : cases) {
        Store store;
        std::string error;
        EXPECT_FALSE(store.Parse(c.text, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.where, 0), 0u) << c.text << " -> " << error;
        EXPECT_TRUE(store.Text().empty());
    }
}

TEST(StoreNames, CompareWithoutCaseAsWindowsDoes) {
    EXPECT_TRUE(regstore::SameName("NoFavoritesMenu", "NOFAVORITESMENU"));
    EXPECT_TRUE(regstore::SameName("d\xE9marrer", "D\xC9MARRER"));          // é É
    EXPECT_TRUE(regstore::SameName("\x9C\x9A\x9E\xFF", "\x8C\x8A\x8E\x9F"));  // œšžÿ
    EXPECT_FALSE(regstore::SameName("\xF7", "\xD7"));                        // ÷ is not ×
    EXPECT_FALSE(regstore::SameName("a", "ab"));
}

const std::string Layout =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\A]\r\n"
    "\"x\"=dword:00000001\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\A\\Sub]\r\n"
    "\"y\"=hex:01,\\\r\n"
    "  02\r\n"
    "\r\n"
    "; about B\r\n"
    "[HKEY_CURRENT_USER\\B]\r\n"
    "\"x\"=\"b\"\r\n";

Store Loaded(const std::string& text) {
    Store store;
    EXPECT_TRUE(store.Parse(text, nullptr));
    return store;
}

TEST(StoreEdit, ChangesOnlyTheLinesConcerned) {
    Store store = Loaded(Layout);
    store.SetValue("a", "X", 3, Bytes({0xAB}));  // same value, other case: replaced in place
    EXPECT_EQ(store.Text(), std::string(Layout).replace(Layout.find("\"x\"=dword:00000001"), 18,
                                                        "\"X\"=hex:ab"));

    store = Loaded(Layout);
    store.SetValue("A\\Sub", "z", 4, Bytes({2, 0, 0, 0}));  // new value after the last one
    EXPECT_EQ(store.Text(), std::string(Layout).insert(Layout.find("\r\n\r\n; about"),
                                                       "\r\n\"z\"=dword:00000002"));

    store = Loaded(Layout);
    EXPECT_TRUE(store.DeleteValue("a\\sub", "Y"));  // a continued value goes whole
    EXPECT_EQ(store.Text(), std::string(Layout).erase(Layout.find("\"y\""), 20));
    EXPECT_FALSE(store.DeleteValue("A\\Sub", "y"));
    EXPECT_TRUE(store.KeyExists("A\\Sub")) << "a key stays when its last value goes";

    store = Loaded(Layout);
    EXPECT_TRUE(store.CreateKey("A\\New\\Deep"));  // after A's subtree, before B
    EXPECT_EQ(store.Text(),
              std::string(Layout).insert(Layout.find("[HKEY_CURRENT_USER\\B]"),
                                         "[HKEY_CURRENT_USER\\A\\New]\r\n\r\n"
                                         "[HKEY_CURRENT_USER\\A\\New\\Deep]\r\n\r\n"));
    EXPECT_FALSE(store.CreateKey("a\\new"));
}

TEST(StoreEdit, DuplicatesFollowRegeditImport) {
    // The later of two equal names is what regedit would import; removal
    // takes both, so the earlier one cannot come back.
    Store store = Loaded(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=dword:00000001\r\n\r\n"
        "[HKEY_CURRENT_USER\\k]\r\n\"V\"=dword:00000002\r\n");
    std::string data;
    ASSERT_TRUE(store.FindValue("K", "v", nullptr, &data));
    EXPECT_EQ(data, Bytes({2, 0, 0, 0}));
    EXPECT_TRUE(store.DeleteValue("K", "v"));
    EXPECT_FALSE(store.FindValue("K", "v", nullptr, nullptr));
}

TEST(StoreEdit, KeysKnownOnlyThroughSubkeysExistAndKeepExisting) {
    Store store = Loaded("REGEDIT4\n\n[HKEY_CURRENT_USER\\P\\Q\\R]\n");
    EXPECT_TRUE(store.KeyExists("p"));
    EXPECT_TRUE(store.KeyExists("P\\Q"));
    EXPECT_FALSE(store.KeyExists("P\\Q\\R\\S"));
    EXPECT_FALSE(store.KeyExists("P\\"));
    store.SetValue("P\\Q", "v", 1, std::string("a\0", 2));  // the file's own line ends
    EXPECT_EQ(store.Text(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\P\\Q]\n\"v\"=\"a\"\n\n"
                            "[HKEY_CURRENT_USER\\P\\Q\\R]\n");
    EXPECT_TRUE(store.DeleteTree("P\\Q"));
    EXPECT_TRUE(store.KeyExists("P"));
    EXPECT_FALSE(store.KeyExists("P\\Q"));
}

TEST(StoreEncode, WritesRegeditLayoutAndReadsItBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    struct {
        std::string name;
        std::uint32_t type;
        std::string data;
        std::string line;
    } cases[] = {
        {"", 1, std::string("d\xE9j\xE0 \"vu\" \\\0", 12), "@=\"d\xE9j\xE0 \\\"vu\\\" \\\\\""},
        {"n", 1, std::string("two\0nul\0", 8), "\"n\"=hex(1):74,77,6f,00,6e,75,6c,00"},
        {"n", 1, "no terminator", "\"n\"=hex(1):6e,6f,20,74,65,72,6d,69,6e,61,74,6f,72"},
        {"n", 1, std::string("line\r\n\0", 7), "\"n\"=hex(1):6c,69,6e,65,0d,0a,00"},
        {"n", 4, Bytes({0x78, 0x56, 0x34, 0x12}), "\"n\"=dword:12345678"},
        {"n", 4, Bytes({1, 2}), "\"n\"=hex(4):01,02"},
        {"n", 3, "", "\"n\"=hex:"},
        {"n", 0x1234, Bytes({7}), "\"n\"=hex(1234):07"},
        {"\xE9t\xE9", 3, all, ""},
    };
    for (const auto& c : cases) {
        std::string line = regstore::EncodeValue(c.name, c.type, c.data, "\r\n");
        if (!c.line.empty()) {
            EXPECT_EQ(line, c.line);
        }
        std::size_t start = 0;
        for (std::size_t end; (end = line.find("\r\n", start)) != std::string::npos;
             start = end + 2)
            EXPECT_LE(end - start, 80u) << "regedit keeps lines within 80 columns";
        Store store = Loaded("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n" + line + "\r\n");
        std::uint32_t type = 0;
        std::string data;
        ASSERT_TRUE(store.FindValue("K", c.name, &type, &data)) << line;
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data);
    }
}

TEST(StoreEncode, CanonicalTextReadsBackToTheSameContents) {
    Store store = Loaded(Sample);
    Store again = Loaded(store.Canonical());
    auto before = store.Contents(), after = again.Contents();
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t k = 0; k < before.size(); ++k) {
        EXPECT_EQ(before[k].path, after[k].path);
        ASSERT_EQ(before[k].values.size(), after[k].values.size());
        for (std::size_t v = 0; v < before[k].values.size(); ++v) {
            EXPECT_EQ(before[k].values[v].name, after[k].values[v].name);
            EXPECT_EQ(before[k].values[v].type, after[k].values[v].type);
            EXPECT_EQ(before[k].values[v].data, after[k].values[v].data);
        }
    }
}

}  // namespace

namespace {

// Large stores are checked in two halves at once: the answer must be the
// same as one pass, faults in either half named by their own line.
TEST(StoreParse, LargeStoreCheckedInHalvesReadsAndFaultsAsOnePass) {
    std::string text = "REGEDIT4\r\n\r\n";
    for (int k = 0; k < 60000; ++k)
        text += "[HKEY_CURRENT_USER\\Bulk\\K" + std::to_string(k) +
                "]\r\n\"v\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
                "  15,16,17,18\r\n\r\n";
    ASSERT_GT(text.size(), std::size_t(4) << 20);
    Store store;
    ASSERT_TRUE(store.Parse(text, nullptr));
    EXPECT_TRUE(store.KeyExists("bulk\\k0"));
    EXPECT_TRUE(store.KeyExists("Bulk\\K59999"));
    std::string data;
    ASSERT_TRUE(store.FindValue("Bulk\\K45000", "v", nullptr, &data));
    EXPECT_EQ(data.size(), 24u);
    EXPECT_EQ(store.Contents().size(), 60000u);

    for (int key : {10, 50000}) {  // one fault in each half
        std::string bad = text;
        std::string marker = "[HKEY_CURRENT_USER\\Bulk\\K" + std::to_string(key) + "]\r\n";
        std::size_t at = bad.find(marker) + marker.size();
        bad.replace(at, 3, "\"v=");  // the name's closing quote is gone
        std::string error;
        EXPECT_FALSE(Store().Parse(bad, &error));
        EXPECT_EQ(error, "line " + std::to_string(4 + 4 * key) + ": not a value that regedit writes");
    }
}

}  // namespace
