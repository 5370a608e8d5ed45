#include "RegStore.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace regstore {

namespace {

constexpr std::string_view Signature = "REGEDIT4";
constexpr std::string_view RootName = "HKEY_CURRENT_USER";
constexpr std::uint32_t RegSz = 1, RegDword = 4, RegBinary = 3;

enum class Kind { Signature, Blank, Comment, Header, Value, Unknown };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Upper case as Windows folds names in code page 1252.
constexpr unsigned char UpperOf(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c == 0x9A ? 0x8A : c == 0x9C ? 0x8C : c == 0x9E ? 0x8E : c == 0xFF ? 0x9F : c;  // š œ ž ÿ
}

struct UpperTable {
    unsigned char map[256];
    constexpr UpperTable() : map() {
        for (int c = 0; c < 256; ++c) map[c] = UpperOf(static_cast<unsigned char>(c));
    }
};
constexpr UpperTable UpperCase;

unsigned char Upper(unsigned char c) { return UpperCase.map[c]; }

// Is key `path` the key `ancestor` or below it?
bool IsWithin(std::string_view path, std::string_view ancestor) {
    if (ancestor.empty()) return true;
    if (path.size() == ancestor.size()) return SameName(path, ancestor);
    return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
           SameName(path.substr(0, ancestor.size()), ancestor);
}

std::string_view Parent(std::string_view path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Value of a hex digit, or -1; and which bytes end a run of quoted text.
struct CharTables {
    signed char hex[256];
    bool quoteStop[256];
    constexpr CharTables() : hex(), quoteStop() {
        for (int c = 0; c < 256; ++c) {
            hex[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                     : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                            : -1;
            quoteStop[c] = c == '"' || c == '\\' || c == '\r' || c == '\n';
        }
    }
};
constexpr CharTables Chars;

int HexDigit(char c) { return Chars.hex[static_cast<unsigned char>(c)]; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Upper(static_cast<unsigned char>(s[i])) != Upper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Reads a quoted text at s[pos] ('"'), with the escapes \\ and \". Leaves pos
// past the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string* out) {
    if (pos >= s.size() || s[pos] != '"') return false;
    ++pos;
    for (;;) {
        std::size_t run = pos;
        while (pos < s.size() && !Chars.quoteStop[static_cast<unsigned char>(s[pos])]) ++pos;
        if (out) out->append(s.data() + run, pos - run);
        if (pos >= s.size()) return false;
        char c = s[pos++];
        if (c == '"') return true;
        if (c != '\\' || pos >= s.size() || (s[pos] != '\\' && s[pos] != '"')) return false;
        if (out) out->push_back(s[pos]);
        ++pos;
    }
}

// Skips blanks and regedit's line continuations ("\" at the end of a line,
// then the next line's indentation).
void SkipGaps(std::string_view s, std::size_t& pos) {
    for (;;) {
        while (pos < s.size() && IsBlank(s[pos])) ++pos;
        if (pos >= s.size() || s[pos] != '\\') return;
        std::size_t p = pos + 1;
        while (p < s.size() && IsBlank(s[p])) ++p;
        if (p < s.size() && s[p] == '\r') ++p;
        if (p >= s.size() || s[p] != '\n') return;
        pos = p + 1;
    }
}

bool ReadHexList(std::string_view s, std::size_t pos, std::string* out) {
    SkipGaps(s, pos);
    if (pos == s.size()) return true;  // no bytes
    for (;;) {
        int high = pos < s.size() ? HexDigit(s[pos]) : -1;
        if (high < 0) return false;
        ++pos;
        int low = pos < s.size() ? HexDigit(s[pos]) : -1;
        int byte = high;
        if (low >= 0) {
            byte = high * 16 + low;
            ++pos;
        }
        if (out) out->push_back(static_cast<char>(byte));
        SkipGaps(s, pos);
        if (pos == s.size()) return true;
        if (s[pos] != ',') return false;
        ++pos;
        SkipGaps(s, pos);
    }
}

// A value line: "name"=data or @=data; continuation lines included.
bool DecodeValue(std::string_view body, std::string* name, std::uint32_t* type,
                 std::string* data, bool nameOnly = false) {
    std::size_t pos = 0;
    if (!body.empty() && body[0] == '@') {
        pos = 1;
    } else if (!ReadQuoted(body, pos, name)) {
        return false;
    }
    if (nameOnly) return true;
    while (pos < body.size() && IsBlank(body[pos])) ++pos;
    if (pos >= body.size() || body[pos] != '=') return false;
    ++pos;
    while (pos < body.size() && IsBlank(body[pos])) ++pos;
    std::string_view rest = body.substr(pos);

    if (!rest.empty() && rest[0] == '"') {
        std::size_t p = 0;
        if (!ReadQuoted(rest, p, data)) return false;
        if (!TrimRight(rest.substr(p)).empty()) return false;
        if (data) data->push_back('\0');
        if (type) *type = RegSz;
        return true;
    }
    if (StartsWithNoCase(rest, "dword:")) {
        std::string_view digits = TrimRight(rest.substr(6));
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        if (data)
            for (int i = 0; i < 4; ++i) data->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        if (type) *type = RegDword;
        return true;
    }
    if (StartsWithNoCase(rest, "hex:")) {
        if (type) *type = RegBinary;
        return ReadHexList(rest, 4, data);
    }
    if (StartsWithNoCase(rest, "hex(")) {
        std::size_t p = 4;
        std::uint32_t t = 0;
        std::size_t digits = 0;
        for (; p < rest.size() && HexDigit(rest[p]) >= 0; ++p, ++digits)
            t = t * 16 + static_cast<std::uint32_t>(HexDigit(rest[p]));
        if (digits == 0 || digits > 8 || rest.substr(p, 2) != "):") return false;
        if (type) *type = t;
        return ReadHexList(rest, p + 2, data);
    }
    return false;
}

// [HKEY_CURRENT_USER] or [HKEY_CURRENT_USER\path]
bool DecodeHeader(std::string_view body, std::string_view* path) {
    body = TrimRight(body);
    if (body.size() < 2 || body.front() != '[' || body.back() != ']') return false;
    std::string_view inner = body.substr(1, body.size() - 2);
    if (!StartsWithNoCase(inner, RootName)) return false;
    inner.remove_prefix(RootName.size());
    if (inner.empty()) {
        *path = inner;
        return true;
    }
    if (inner[0] != '\\') return false;
    inner.remove_prefix(1);
    *path = inner;
    return !inner.empty() && IsValidKeyPath(inner);
}

void AppendEscaped(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

// A REG_SZ that regedit can write as a quoted text: one NUL, at the end, and
// no line breaks.
bool IsPlainText(std::string_view data) {
    if (data.empty() || data.back() != '\0') return false;
    data.remove_suffix(1);
    return data.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHeader(std::string& out, std::string_view path, std::string_view eol) {
    out += '[';
    out += RootName;
    if (!path.empty()) {
        out += '\\';
        out += path;
    }
    out += ']';
    out += eol;
}

}  // namespace

struct Store::Line {
    std::size_t begin;      // first byte
    std::size_t end;        // past its line end
    Kind kind;
    std::string_view body;  // from the first non-blank, without the final line end
    std::size_t number;     // 1-based number of its first physical line
};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(static_cast<unsigned char>(a[i])) != Upper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsValidName(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

bool IsValidKeyPath(std::string_view path) {
    std::size_t componentLength = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c == '\\') {
            if (componentLength == 0) return false;
            componentLength = 0;
        } else if (c < 0x20 || ++componentLength > 255) {
            return false;
        }
    }
    return path.empty() || componentLength > 0;
}

std::string EncodeValue(std::string_view name, std::uint32_t type, std::string_view data,
                        std::string_view eol) {
    std::string out;
    if (name.empty())
        out += '@';
    else
        AppendEscaped(out, name);
    out += '=';
    if (type == RegSz && IsPlainText(data)) {
        AppendEscaped(out, data.substr(0, data.size() - 1));
        return out;
    }
    static const char digits[] = "0123456789abcdef";
    if (type == RegDword && data.size() == 4) {
        out += "dword:";
        for (int i = 3; i >= 0; --i) {
            unsigned char b = static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
            out += digits[b >> 4];
            out += digits[b & 15];
        }
        return out;
    }
    if (type == RegBinary) {
        out += "hex:";
    } else {
        out += "hex(";
        char buffer[9];
        int n = 0;
        std::uint32_t t = type;
        do {
            buffer[n++] = digits[t & 15];
            t >>= 4;
        } while (t != 0);
        while (n > 0) out += buffer[--n];
        out += "):";
    }
    // Lines of at most 80 columns, continued with a backslash, as regedit does.
    std::size_t column = out.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(data[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column >= 77) {
                out += '\\';
                out += eol;
                out += "  ";
                column = 2;
            }
        }
    }
    return out;
}

template <typename Visit>
void Store::ForEachLine(std::size_t from, std::size_t to, Visit visit) const {
    const char* t = text_.data();
    std::size_t pos = from, number = 1;
    auto bodyEnd = [&](std::size_t at, std::size_t* next) {
        const void* nl = std::memchr(t + at, '\n', to - at);
        std::size_t e = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - t) : to;
        *next = e < to ? e + 1 : to;
        // CR counts only before LF: a lone CR is not a line end.
        return (e > at && e < to && t[e - 1] == '\r') ? e - 1 : e;
    };
    while (pos < to) {
        std::size_t next;
        std::size_t end = bodyEnd(pos, &next);
        std::size_t b = pos;
        while (b < end && IsBlank(t[b])) ++b;
        Kind kind = Kind::Unknown;
        if (pos == 0)
            kind = Kind::Signature;
        else if (b == end)
            kind = Kind::Blank;
        else if (t[b] == ';')
            kind = Kind::Comment;
        else if (t[b] == '[')
            kind = Kind::Header;
        else if (t[b] == '"' || t[b] == '@')
            kind = Kind::Value;
        std::size_t lines = 1;
        if (kind == Kind::Value) {
            // A value continues while its line ends with a backslash.
            for (;;) {
                std::size_t last = end;
                while (last > pos && IsBlank(t[last - 1])) --last;
                if (next >= to || last == pos || t[last - 1] != '\\') break;
                end = bodyEnd(next, &next);
                ++lines;
            }
        }
        if (!visit(Line{pos, next, kind, std::string_view(t + b, end - b), number})) return;
        number += lines;
        pos = next;
    }
}

std::string_view Store::HeaderPath(std::size_t index) const {
    return std::string_view(text_.data() + headers_[index].path, headers_[index].length);
}

std::size_t Store::SectionEnd(std::size_t index) const {
    return index + 1 < headers_.size() ? headers_[index + 1].begin : text_.size();
}

template <typename Visit>
void Store::ForEachValueOf(std::string_view path, Visit visit) const {
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        if (!SameName(HeaderPath(i), path)) continue;
        ForEachLine(headers_[i].begin, SectionEnd(i), [&](const Line& line) {
            if (line.kind == Kind::Value) visit(line);
            return true;
        });
    }
}

// Checks the lines in [from, to), which starts at a line start, and lists the
// headers found. On a fault, says what and at which line (counted from
// `from`, 1-based).
bool Store::CheckLines(std::size_t from, std::size_t to, std::vector<Header>* headers,
                       const char** fault, std::size_t* faultLine) const {
    ForEachLine(from, to, [&](const Line& line) {
        const char* what = nullptr;
        switch (line.kind) {
            case Kind::Signature:
                if (TrimRight(line.body) != Signature) what = "the file does not start with REGEDIT4";
                break;
            case Kind::Blank:
            case Kind::Comment:
                break;
            case Kind::Header: {
                std::string_view path;
                if (!DecodeHeader(line.body, &path)) {
                    what = "not a key of HKEY_CURRENT_USER";
                    break;
                }
                headers->push_back(Header{line.begin,
                                          static_cast<std::size_t>(path.data() - text_.data()),
                                          path.size()});
                break;
            }
            case Kind::Value:
                if (headers->empty())
                    what = "a value outside any key";
                else if (!DecodeValue(line.body, nullptr, nullptr, nullptr))
                    what = "not a value that regedit writes";
                break;
            default:
                what = "neither a key, a value nor a comment";
        }
        if (what == nullptr) return true;
        *fault = what;
        *faultLine = line.number;
        return false;
    });
    return *fault == nullptr;
}

bool Store::Parse(std::string text, std::string* error) {
    text_ = std::move(text);
    eol_ = "\r\n";
    headers_.clear();
    auto lineOf = [&](std::size_t offset) {
        return 1 + static_cast<std::size_t>(std::count(text_.begin(), text_.begin() + offset, '\n'));
    };
    const char* fault = nullptr;
    std::size_t faultLine = 0;
    const void* nul = std::memchr(text_.data(), '\0', text_.size());
    if (nul != nullptr) {
        fault = "NUL byte in the text";
        faultLine = lineOf(static_cast<std::size_t>(static_cast<const char*>(nul) - text_.data()));
    } else {
        // A large store is checked in two halves at once, split at a header
        // line. A continuation never reaches a line that starts with '[' in a
        // valid store, so the halves accept exactly what one pass would.
        std::size_t split = text_.size();
        if (text_.size() >= (std::size_t(4) << 20)) {
            std::size_t found = text_.find("\n[", text_.size() / 2);
            if (found != std::string::npos) split = found + 1;
        }
        std::vector<Header> secondHeaders;
        const char* secondFault = nullptr;
        std::size_t secondLine = 0;
        std::thread second;
        if (split < text_.size()) {
            second = std::thread([&] {
                CheckLines(split, text_.size(), &secondHeaders, &secondFault, &secondLine);
            });
        }
        CheckLines(0, split, &headers_, &fault, &faultLine);
        if (second.joinable()) second.join();
        if (fault == nullptr && secondFault != nullptr) {
            fault = secondFault;
            faultLine = lineOf(split) - 1 + secondLine;
        }
        headers_.insert(headers_.end(), secondHeaders.begin(), secondHeaders.end());
    }
    if (fault == nullptr) {
        std::size_t firstEnd = text_.find('\n');
        if (firstEnd != std::string::npos && (firstEnd == 0 || text_[firstEnd - 1] != '\r'))
            eol_ = "\n";
        return true;
    }
    if (error) *error = "line " + std::to_string(faultLine) + ": " + fault;
    text_.clear();
    headers_.clear();
    return false;
}

bool Store::KeyExists(std::string_view path) const {
    if (path.empty()) return true;
    for (std::size_t i = 0; i < headers_.size(); ++i)
        if (IsWithin(HeaderPath(i), path)) return true;
    return false;
}

bool Store::FindValue(std::string_view path, std::string_view name, std::uint32_t* type,
                      std::string* data) const {
    // Where a name stands twice, the later one counts, as when regedit imports.
    std::string_view last;
    std::string scratch;
    ForEachValueOf(path, [&](const Line& line) {
        scratch.clear();
        if (DecodeValue(line.body, &scratch, nullptr, nullptr, true) && SameName(scratch, name))
            last = line.body;
    });
    if (last.data() == nullptr) return false;
    std::uint32_t t = 0;
    std::string bytes;
    DecodeValue(last, nullptr, &t, &bytes);
    if (type) *type = t;
    if (data) *data = std::move(bytes);
    return true;
}

// Replaces text and keeps the header index in step: headers inside the
// replaced span go, those after it move.
void Store::Splice(std::size_t at, std::size_t length, std::string_view with) {
    text_.replace(at, length, with.data(), with.size());
    auto before = [](const Header& h, std::size_t offset) { return h.begin < offset; };
    auto first = std::lower_bound(headers_.begin(), headers_.end(), at, before);
    auto last = length ? std::lower_bound(first, headers_.end(), at + length, before) : first;
    first = headers_.erase(first, last);
    for (auto it = first; it != headers_.end(); ++it) {
        it->begin = it->begin - length + with.size();
        it->path = it->path - length + with.size();
    }
}

// Where the sections of `path` and its subkeys end: the start of the next
// header that is not below it, or the end of the text.
std::size_t Store::SubtreeEnd(std::string_view path) const {
    std::size_t end = text_.size();
    bool seen = false;
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        if (IsWithin(HeaderPath(i), path)) {
            seen = true;
            end = SectionEnd(i);
        }
    }
    return seen ? end : text_.size();
}

// Adds an empty section for `path` and returns where its values go.
std::size_t Store::InsertSection(std::string_view path) {
    // Before the key's own subkeys where the file has them (as regedit
    // orders keys), else after its parent's subtree.
    std::size_t at = text_.size();
    bool beforeSubkey = false;
    for (std::size_t i = 0; i < headers_.size() && !beforeSubkey; ++i) {
        if (IsWithin(HeaderPath(i), path)) {
            at = headers_[i].begin;
            beforeSubkey = true;
        }
    }
    if (!beforeSubkey) at = SubtreeEnd(Parent(path));
    std::string block;
    if (text_.empty()) {
        block += Signature;
        block += eol_;
    }
    if (at == text_.size()) {
        if (!text_.empty() && text_.back() != '\n') block += eol_;
        // Sections are set apart by a blank line, as regedit writes them.
        std::string tail = text_.substr(text_.size() < 3 ? 0 : text_.size() - 3) + block;
        std::string_view t = tail;
        bool blankBefore = (t.size() >= 2 && t.substr(t.size() - 2) == "\n\n") ||
                           (t.size() >= 3 && t.substr(t.size() - 3) == "\n\r\n");
        if (!blankBefore) block += eol_;
    }
    std::size_t header = at + block.size();
    AppendHeader(block, path, eol_);
    std::size_t valuesAt = at + block.size();
    block += eol_;
    Splice(at, 0, block);
    std::size_t pathAt = header + 1 + RootName.size() + (path.empty() ? 0 : 1);
    auto before = [](const Header& h, std::size_t offset) { return h.begin < offset; };
    headers_.insert(std::lower_bound(headers_.begin(), headers_.end(), header, before),
                    Header{header, pathAt, path.size()});
    return valuesAt;
}

bool Store::CreateKey(std::string_view path) {
    if (KeyExists(path)) return false;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            std::string_view prefix = path.substr(0, i);
            if (!KeyExists(prefix)) InsertSection(prefix);
        }
    }
    return true;
}

void Store::SetValue(std::string_view path, std::string_view name, std::uint32_t type,
                     std::string_view data) {
    std::size_t valueBegin = 0, valueEnd = 0, appendAt = 0;
    bool haveValue = false, haveKey = false;
    std::string scratch;
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        if (!SameName(HeaderPath(i), path)) continue;
        haveKey = true;
        ForEachLine(headers_[i].begin, SectionEnd(i), [&](const Line& line) {
            if (line.kind == Kind::Header) {
                appendAt = line.end;
            } else if (line.kind == Kind::Value) {
                appendAt = line.end;
                scratch.clear();
                if (DecodeValue(line.body, &scratch, nullptr, nullptr, true) &&
                    SameName(scratch, name)) {
                    haveValue = true;
                    valueBegin = line.begin;
                    valueEnd = line.end;
                }
            }
            return true;
        });
    }
    std::string line = EncodeValue(name, type, data, eol_) + eol_;
    if (haveValue) {
        Splice(valueBegin, valueEnd - valueBegin, line);
        return;
    }
    if (!haveKey) appendAt = InsertSection(path);
    if (appendAt > 0 && text_[appendAt - 1] != '\n') line.insert(0, eol_);
    Splice(appendAt, 0, line);
}

bool Store::DeleteValue(std::string_view path, std::string_view name) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::string scratch;
    ForEachValueOf(path, [&](const Line& line) {
        scratch.clear();
        if (DecodeValue(line.body, &scratch, nullptr, nullptr, true) && SameName(scratch, name))
            spans.emplace_back(line.begin, line.end);
    });
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        Splice(it->first, it->second - it->first, {});
    return !spans.empty();
}

bool Store::DeleteTree(std::string_view path) {
    if (path.empty()) return false;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t i = 0; i < headers_.size(); ++i)
        if (IsWithin(HeaderPath(i), path)) spans.emplace_back(headers_[i].begin, SectionEnd(i));
    std::string parent(Parent(path));
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        Splice(it->first, it->second - it->first, {});
    // The parent stays, even where it only existed through this subtree.
    if (!spans.empty()) CreateKey(parent);
    return !spans.empty();
}

std::vector<KeyContents> Store::Contents() const {
    std::vector<KeyContents> keys;
    ForEachLine(0, text_.size(), [&](const Line& line) {
        std::string_view header;
        if (line.kind == Kind::Header && DecodeHeader(line.body, &header)) {
            keys.push_back(KeyContents{std::string(header), {}});
        } else if (line.kind == Kind::Value && !keys.empty()) {
            Value value{{}, 0, {}};
            if (DecodeValue(line.body, &value.name, &value.type, &value.data))
                keys.back().values.push_back(std::move(value));
        }
        return true;
    });
    return keys;
}

std::string Store::Canonical() const {
    std::string out;
    out += Signature;
    out += eol_;
    out += eol_;
    for (const KeyContents& key : Contents()) {
        AppendHeader(out, key.path, eol_);
        for (const Value& value : key.values) {
            out += EncodeValue(value.name, value.type, value.data, eol_);
            out += eol_;
        }
        out += eol_;
    }
    return out;
}

}  // namespace regstore
