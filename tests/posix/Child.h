// Runs a program as a person would: answers on standard input, what it
// printed and its exit code afterwards.
#pragma once

#include <string>
#include <vector>

struct ChildResult {
    int exitCode = -1;  // -1: did not exit normally
    std::string out;
    std::string err;
};

// What may happen to the child besides its input.
struct ChildFate {
    long killAfterMicroseconds = -1;  // SIGKILL it this long after the start
    long fileSizeLimit = -1;          // RLIMIT_FSIZE, writes past it fail (EFBIG)
};

// `environment` entries are NAME=VALUE, set on top of ours; NAME= alone unsets.
ChildResult RunChild(const std::string& program, const std::string& input,
                     const std::vector<std::string>& environment, const ChildFate& fate = {});

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// A fresh folder under the system's temporary folder, removed with its content.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
