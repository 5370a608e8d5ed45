// The HKEY_CURRENT_USER store as REGEDIT4 text, the format regedit exports
// and imports. The text is kept as it was read and edited in place, so every
// line that an edit does not touch stays byte for byte as it was.
//
// Paths here are relative to HKEY_CURRENT_USER ("" is the root) and have no
// leading or trailing backslash. Key and value names compare without regard
// to case (Windows code page 1252 letters included) and keep their case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace regstore {

struct Value {
    std::string name;   // "" is the key's default value (@)
    std::uint32_t type;
    std::string data;   // the value's bytes, exactly
};

struct KeyContents {
    std::string path;   // as written in the section header
    std::vector<Value> values;
};

// Case-insensitive equality of names as Windows compares them (code page 1252).
bool SameName(std::string_view a, std::string_view b);

class Store {
public:
    // Takes the file's text. An empty text is an empty store. On a syntax
    // error returns false, leaves the store empty and says where in *error.
    bool Parse(std::string text, std::string* error);
    const std::string& Text() const { return text_; }

    bool KeyExists(std::string_view path) const;
    bool FindValue(std::string_view path, std::string_view name, std::uint32_t* type,
                   std::string* data) const;

    // Edits. Names must be representable (see IsValidName / IsValidKeyPath).
    bool CreateKey(std::string_view path);   // false: it existed already
    void SetValue(std::string_view path, std::string_view name, std::uint32_t type,
                  std::string_view data);    // the key must exist
    bool DeleteValue(std::string_view path, std::string_view name);
    bool DeleteTree(std::string_view path);  // the key, its values and subkeys

    // Every section in file order, decoded; for checks and round trips.
    std::vector<KeyContents> Contents() const;
    // The same content written afresh in regedit's own layout.
    std::string Canonical() const;

private:
    struct Line;
    struct Header;
    bool CheckLines(std::size_t from, std::size_t to, std::vector<Header>* headers,
                    const char** fault, std::size_t* faultLine) const;
    template <typename Visit>
    void ForEachLine(std::size_t from, std::size_t to, Visit visit) const;
    template <typename Visit>
    void ForEachValueOf(std::string_view path, Visit visit) const;
    std::string_view HeaderPath(std::size_t index) const;
    std::size_t SectionEnd(std::size_t index) const;
    std::size_t SubtreeEnd(std::string_view path) const;
    std::size_t InsertSection(std::string_view path);
    void Splice(std::size_t at, std::size_t length, std::string_view with);

    std::string text_;
    std::string eol_ = "\r\n";
    struct Header {
        std::size_t begin;  // where its line starts
        std::size_t path;   // where its path starts in the text
        std::size_t length; // the path's length
    };
    std::vector<Header> headers_;  // every section, in file order
};

bool IsValidName(std::string_view name);         // a value name
bool IsValidKeyPath(std::string_view path);      // components: no empty ones, no control bytes

// One value line, "name"=data, in regedit's layout, without line end.
std::string EncodeValue(std::string_view name, std::uint32_t type, std::string_view data,
                        std::string_view eol);

}  // namespace regstore
