// The setting's names as the program stores them and reads them back.

#include <gtest/gtest.h>

#include <cstring>

#include "SettingNames.h"

namespace {

TEST(Unscramble, StoredNamesAreTheExplorerPolicyAndNotReadable) {
    PlainString path = "stale", name;
    UnscrambleString(ScrambledKeyPath, path);
    UnscrambleString(ScrambledValueName, name);
    EXPECT_STREQ(path, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
    EXPECT_STREQ(name, "NoFavoritesMenu");
    EXPECT_EQ(ScrambledKeyPath[0], 59);
    EXPECT_EQ(ScrambledValueName[0], 15);
    EXPECT_NE(std::memcmp(ScrambledValueName.data() + 1, "NoFavoritesMenu", 15), 0);

    PlainString again;
    UnscrambleString(ScrambledKeyPath, again);
    EXPECT_STREQ(again, path) << "unscrambling leaves the stored array as it was";
}

TEST(Unscramble, EveryByteValueRoundTrips) {
    unsigned char stored[256];
    stored[0] = 255;
    for (int i = 1; i < 256; ++i) stored[i] = static_cast<unsigned char>(i ^ ScramblingKey);
    PlainString plain;
    UnscrambleString(stored, 255, plain);
    for (int i = 1; i < 256; ++i) EXPECT_EQ(static_cast<unsigned char>(plain[i - 1]), i);
    EXPECT_EQ(plain[255], '\0');
}

TEST(Unscramble, LengthByteDecidesAndNeverReachesPastTheArray) {
    const unsigned char empty[] = {0, 'x' ^ ScramblingKey};
    const unsigned char longer[] = {200, 'a' ^ ScramblingKey, 'b' ^ ScramblingKey};
    PlainString result = "previous";
    UnscrambleString(empty, 1, result);
    EXPECT_STREQ(result, "");
    UnscrambleString(longer, 2, result);
    EXPECT_STREQ(result, "ab");
}

}  // namespace
