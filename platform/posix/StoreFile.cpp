#include "StoreFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace regstore {

namespace {

LONG ErrorFrom(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
            return ERROR_OUTOFMEMORY;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

// Closes a descriptor when it goes out of scope; closing a folder's
// descriptor also releases our lock on it.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// The real file behind a link, so that replacing the store keeps the link.
std::string ResolvedPath() {
    std::string path = StorePath();
    char real[PATH_MAX];
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        realpath(path.c_str(), real) != nullptr)
        path = real;
    return path;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);  // npos + 1 is 0: no folder part
}

// mkdir -p, new folders private.
bool MakeFolders(const std::string& folder) {
    struct stat info;
    if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) || (errno = ENOTDIR, false);
    std::string parent = FolderOf(folder);
    if (parent != folder && !MakeFolders(parent)) return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

struct FileState {
    bool exists = false;
    mode_t mode = 0600;
};

LONG ReadText(const std::string& path, std::string* text, FileState* state, struct stat* opened) {
    text->clear();
    Descriptor file;
    file.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (file.fd < 0) return errno == ENOENT ? ERROR_SUCCESS : ErrorFrom(errno);
    struct stat& info = *opened;
    if (fstat(file.fd, &info) != 0) return ErrorFrom(errno);
    if (!S_ISREG(info.st_mode)) return ERROR_REGISTRY_IO_FAILED;
    state->exists = true;
    state->mode = info.st_mode & 07777;
    // Room for the few lines an edit adds, so that it never moves the text.
    text->reserve(static_cast<std::size_t>(info.st_size) + 4096);
    text->resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        ssize_t n;
        if (done < text->size()) {
            n = read(file.fd, &(*text)[done], text->size() - done);
        } else {
            char more[4096];  // the file grew since fstat: take the rest as it comes
            n = read(file.fd, more, sizeof more);
            if (n > 0) text->append(more, static_cast<std::size_t>(n));
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ErrorFrom(errno);
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    text->resize(done);
    return ERROR_SUCCESS;
}

// The last store this process read or wrote, and which file it was.
struct Cache {
    bool valid = false;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {0, 0}, changed = {0, 0};
    Store store;

    bool Matches(const std::string& file, const struct stat& info) const {
        return valid && path == file && device == info.st_dev && inode == info.st_ino &&
               size == info.st_size && modified.tv_sec == info.st_mtim.tv_sec &&
               modified.tv_nsec == info.st_mtim.tv_nsec && changed.tv_sec == info.st_ctim.tv_sec &&
               changed.tv_nsec == info.st_ctim.tv_nsec;
    }
    void Remember(const std::string& file, const struct stat& info) {
        valid = true;
        path = file;
        device = info.st_dev;
        inode = info.st_ino;
        size = info.st_size;
        modified = info.st_mtim;
        changed = info.st_ctim;
    }
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

// The store as the file holds it now; call with the folder locked.
LONG Current(const std::string& path, FileState* state, Store** store) {
    Cache& cache = TheCache();
    *store = &cache.store;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) return ErrorFrom(errno);
        cache.valid = false;
        state->exists = false;
        cache.store.Parse({}, nullptr);  // no file: an empty store
        return ERROR_SUCCESS;
    }
    if (cache.Matches(path, info)) {
        state->exists = true;
        state->mode = info.st_mode & 07777;
        return ERROR_SUCCESS;
    }
    cache.valid = false;
    std::string text;
    LONG rc = ReadText(path, &text, state, &info);
    if (rc != ERROR_SUCCESS) return rc;
    if (!cache.store.Parse(std::move(text), nullptr)) return ERROR_REGISTRY_CORRUPT;
    if (state->exists) cache.Remember(path, info);
    return ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Temporary files that a writer killed mid-way left behind. Only called under
// the exclusive lock, so no live writer owns one.
void RemoveStaleTemporaries(int folderFd, const std::string& path) {
    std::string prefix = "." + NameOf(path) + ".";
    int fd = dup(folderFd);
    DIR* folder = fd >= 0 ? fdopendir(fd) : nullptr;
    if (folder == nullptr) {
        if (fd >= 0) close(fd);
        return;
    }
    while (const struct dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            unlinkat(folderFd, entry->d_name, 0);  // a link goes, never what it points to
    }
    closedir(folder);
}

// Puts `text` in place of the store in one step: a reader sees the old file
// or the new one, and a crash leaves one of them.
LONG Replace(const std::string& path, int folderFd, const std::string& text,
             const FileState& state) {
    std::string folder = FolderOf(path);
    std::string temporary = folder + "/." + NameOf(path) + ".XXXXXX";
    int fd = mkostemp(&temporary[0], O_CLOEXEC);  // 0600, and never follows a planted link
    if (fd < 0) return ErrorFrom(errno);
    bool ok = (!state.exists || fchmod(fd, state.mode) == 0) && WriteAll(fd, text) &&
              fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return ErrorFrom(error);
    }
    fsync(folderFd);  // the rename itself, on disk
    return ERROR_SUCCESS;
}

}  // namespace

std::string StorePath() {
    const char* explicitPath = std::getenv("VESKAL_REGISTRY");
    if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const struct passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : "/";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/veskal/HKEY_CURRENT_USER.reg";
}

LONG ReadStore(const std::function<LONG(const Store& store)>& read) {
    std::string path = ResolvedPath();
    Descriptor folder;
    folder.fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.fd < 0) {
        if (errno != ENOENT) return ErrorFrom(errno);
        static const Store empty;  // no folder, so no store
        return read(empty);
    }
    if (flock(folder.fd, LOCK_SH) != 0) return ErrorFrom(errno);
    FileState state;
    Store* store = nullptr;
    LONG rc = Current(path, &state, &store);
    return rc != ERROR_SUCCESS ? rc : read(*store);
}

LONG ChangeStore(const std::function<LONG(Store& store, bool& changed)>& edit) {
    std::string path = ResolvedPath();
    std::string folderPath = FolderOf(path);
    Descriptor folder;
    folder.fd = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.fd < 0 && errno == ENOENT) {
        // No folder, so no store: create the folder only for a real change.
        Store empty;
        bool changed = false;
        LONG rc = edit(empty, changed);
        if (rc != ERROR_SUCCESS || !changed) return rc;
        if (!MakeFolders(folderPath)) return ErrorFrom(errno);
        folder.fd = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (folder.fd < 0) return ErrorFrom(errno);
    if (flock(folder.fd, LOCK_EX) != 0) return ErrorFrom(errno);
    RemoveStaleTemporaries(folder.fd, path);

    FileState state;
    Store* store = nullptr;
    LONG rc = Current(path, &state, &store);
    if (rc != ERROR_SUCCESS) return rc;
    bool changed = false;
    rc = edit(*store, changed);
    if (rc == ERROR_SUCCESS && changed) rc = Replace(path, folder.fd, store->Text(), state);
    Cache& cache = TheCache();
    struct stat info;
    if (rc == ERROR_SUCCESS && changed && stat(path.c_str(), &info) == 0)
        cache.Remember(path, info);  // what we wrote is what the file now holds
    else if (changed || rc != ERROR_SUCCESS)
        cache.valid = false;  // the store in memory may differ from the file
    return rc;
}

}  // namespace regstore
