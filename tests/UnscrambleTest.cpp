// The setting's names as the program stores them and reads them back.

#include <gtest/gtest.h>

#include <cstring>

#include "SettingNames.h"

namespace {

TEST(Unscramble, StoredNamesAreTheExplorerPolicyAndNotReadable) {
    std::string path = "stale", name;
    UnscrambleString(ScrambledKeyPath, path);
    UnscrambleString(ScrambledValueName, name);
    EXPECT_EQ(path, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
    EXPECT_EQ(name, "NoFavoritesMenu");
    EXPECT_EQ(ScrambledKeyPath[0], 59);
    EXPECT_EQ(ScrambledValueName[0], 15);
    EXPECT_NE(std::memcmp(ScrambledValueName.data() + 1, "NoFavoritesMenu", 15), 0);

    std::string again;
    UnscrambleString(ScrambledKeyPath, again);
    EXPECT_EQ(again, path) << "unscrambling leaves the stored array as it was";
}

TEST(Unscramble, EveryByteValueRoundTrips) {
    unsigned char stored[256];
    stored[0] = 255;
    for (int i = 1; i < 256; ++i) stored[i] = static_cast<unsigned char>(i ^ ScramblingKey);
    std::string plain;
    UnscrambleString(stored, 255, plain);
    ASSERT_EQ(plain.size(), 255u);
    for (int i = 1; i < 256; ++i) EXPECT_EQ(static_cast<unsigned char>(plain[i - 1]), i);
}

TEST(Unscramble, LengthByteDecidesAndNeverReachesPastTheArray) {
    const unsigned char empty[] = {0, 'x' ^ ScramblingKey};
    const unsigned char longer[] = {200, 'a' ^ ScramblingKey, 'b' ^ ScramblingKey};
    std::string result = "previous";
    UnscrambleString(empty, 1, result);
    EXPECT_EQ(result, "");
    UnscrambleString(longer, 2, result);
    EXPECT_EQ(result, "ab");
}

}  // namespace
