// The key path and value name of the Favorites setting, kept out of the
// executable as readable text: each is stored as a length byte followed by
// its characters XORed with one key byte. The plain literals below are only
// read by the compiler; just the scrambled bytes reach the binary.
#pragma once

#include <array>
#include <cstddef>

constexpr unsigned char ScramblingKey = 0xA7;

// Builds the stored form of a plain text of at most 255 characters.
template <std::size_t N>
constexpr std::array<unsigned char, N> ScrambleString(const char (&plain)[N]) {
    static_assert(N >= 1 && N - 1 <= 255, "the length must fit its byte");
    std::array<unsigned char, N> out{};
    out[0] = static_cast<unsigned char>(N - 1);
    for (std::size_t i = 1; i < N; ++i)
        out[i] = static_cast<unsigned char>(static_cast<unsigned char>(plain[i - 1]) ^ ScramblingKey);
    return out;
}

constexpr std::array<unsigned char, 60> ScrambledKeyPath =
    ScrambleString("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
constexpr std::array<unsigned char, 16> ScrambledValueName = ScrambleString("NoFavoritesMenu");

// A plain name: up to 255 single-byte characters and the NUL that Win32
// calls want after them.
typedef char PlainString[256];

// Replaces result with the plain text of source[0..highIndex]. A length byte
// beyond highIndex would read past the array; it is cut to what is there.
inline void UnscrambleString(const unsigned char* source, std::size_t highIndex,
                             PlainString& result) {
    unsigned char copy[256];
    if (highIndex > 255) highIndex = 255;
    for (std::size_t i = 0; i <= highIndex; ++i) copy[i] = source[i];
    std::size_t length = copy[0];
    if (length > highIndex) length = highIndex;
    for (std::size_t i = 0; i < length; ++i)
        result[i] = static_cast<char>(copy[i + 1] ^ ScramblingKey);
    result[length] = '\0';
}

template <std::size_t N>
void UnscrambleString(const std::array<unsigned char, N>& source, PlainString& result) {
    UnscrambleString(source.data(), N - 1, result);
}
