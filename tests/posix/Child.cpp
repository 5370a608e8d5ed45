#include "Child.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/veskal-test.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::string command = "rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) {
        // Nothing to do: a leftover temporary folder is harmless.
    }
}

ChildResult RunChild(const std::string& program, const std::string& input,
                     const std::vector<std::string>& environment, const ChildFate& fate) {
    TempFolder io;
    WriteFile(io / "in", input);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (const std::string& entry : environment) {
            std::size_t eq = entry.find('=');
            std::string name = entry.substr(0, eq);
            std::string value = entry.substr(eq + 1);
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        int in = open((io / "in").c_str(), O_RDONLY);
        int out = open((io / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open((io / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        if (fate.fileSizeLimit >= 0) {
            struct rlimit limit = {static_cast<rlim_t>(fate.fileSizeLimit),
                                   static_cast<rlim_t>(fate.fileSizeLimit)};
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (fate.killAfterMicroseconds >= 0) {
        usleep(static_cast<useconds_t>(fate.killAfterMicroseconds));
        kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    ChildResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(io / "out");
    result.err = ReadFile(io / "err");
    return result;
}
