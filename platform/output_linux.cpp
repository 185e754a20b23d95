// Linux: the files the program writes. Partial files are made with
// O_CREAT|O_EXCL|O_NOFOLLOW under a random name, so that nothing another
// user plants in a shared folder (/tmp) is ever written through; names are
// compared by the identity of their folder.
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The kernel's rule for links in shared folders (fs.protected_symlinks): in
// a sticky folder anybody may write to, a link is followed only when it
// belongs to the one following it or to the folder's owner.
bool mayFollow(const std::string& link, const struct stat& linkInfo) {
    struct stat folder;
    if (stat(folderOf(link).c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || linkInfo.st_uid == geteuid() || linkInfo.st_uid == folder.st_uid;
}

// "./a//b" and "a/b" are one name.
std::string tidy(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); i++) {
        const bool segmentStart = out.empty() || out.back() == '/';
        if (path[i] == '/' && !out.empty() && out.back() == '/') continue;
        if (path[i] == '.' && segmentStart && (i + 1 == path.size() || path[i + 1] == '/')) {
            i++;
            continue;
        }
        out += path[i];
    }
    return out;
}

} // namespace

PathKind pathKind(const char* path, bool* writable) {
    *writable = true;
    struct stat info;
    if (stat(path, &info) != 0) return PathKind::Missing; // creating it says why, if it fails
    if (S_ISDIR(info.st_mode)) return PathKind::Folder;
    if (!S_ISREG(info.st_mode)) return PathKind::Special;
    // The administrator may write anything; a file nobody may write is
    // still kept as its owner marked it.
    *writable = (info.st_mode & 0222) != 0 && (access(path, W_OK) == 0 || errno == EROFS);
    return PathKind::File;
}

bool followOwnLinks(const char* path, std::string& target) {
    target = path;
    // Only a link that ends at a file (or at nothing yet) is followed: a
    // link to a device (/dev/stdout to a terminal) stays what it names.
    struct stat end;
    if (stat(path, &end) == 0 && !S_ISREG(end.st_mode)) return true;
    for (int hops = 0; hops < 40; hops++) {
        struct stat info;
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        if (!mayFollow(target, info)) return false;
        char next[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), next, sizeof next - 1);
        if (n <= 0) return true;
        next[n] = '\0';
        target = next[0] == '/' ? std::string(next) : folderOf(target) + "/" + next;
    }
    return true; // a loop of links: writing says so
}

long readStartOfFile(const char* path, unsigned char* bytes, size_t capacity) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info;
    long count = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const ssize_t n = read(fd, bytes, capacity);
        count = n < 0 ? -1 : static_cast<long>(n);
    }
    close(fd);
    return count;
}

long readEndOfFile(const char* path, unsigned char* bytes, size_t capacity) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info;
    long count = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const off_t size = info.st_size;
        const off_t from = size > static_cast<off_t>(capacity) ? size - capacity : 0;
        const ssize_t n = pread(fd, bytes, static_cast<size_t>(size - from), from);
        count = n < 0 ? -1 : static_cast<long>(n);
    }
    close(fd);
    return count;
}

FILE* createPartialFile(const char* path, std::string& partial) {
    const std::string name = nameOf(path);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    const std::string ending = name.substr(dot);
    std::string stem = name.substr(0, dot);
    // "talk.mp4" -> "talk.partial-k3Xz9q.mp4": the ending still says the
    // format. A name near the system's limit gives up part of its stem.
    const size_t added = strlen(".partial-XXXXXX") + ending.size();
    if (stem.size() + added > NAME_MAX) stem.resize(NAME_MAX > added ? NAME_MAX - added : 0);
    const char* slash = strrchr(path, '/');
    const std::string head = std::string(path, slash ? slash + 1 - path : 0) + stem + ".partial-";
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

    // No interrupt may come between the file's making and its being
    // marked for removal.
    sigset_t interrupts, before;
    sigemptyset(&interrupts);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&interrupts, signal);
    sigprocmask(SIG_BLOCK, &interrupts, &before);
    int fd = -1, error = EEXIST;
    for (int attempt = 0; attempt < 100 && fd < 0 && error == EEXIST; attempt++) {
        unsigned char random[6];
        if (getrandom(random, sizeof random, 0) != sizeof random) {
            error = errno;
            break;
        }
        std::string candidate = head;
        for (unsigned char r : random)
            candidate += letters[r % (sizeof letters - 1)];
        candidate += ending;
        fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            partial = candidate;
        else
            error = errno;
    }
    if (fd >= 0) removeOnInterrupt(partial.c_str());
    sigprocmask(SIG_SETMASK, &before, nullptr);
    // The file it replaces keeps who may read it (a private table stays
    // private) and, where root writes it, whose it is.
    struct stat old;
    if (fd >= 0 && stat(path, &old) == 0 && S_ISREG(old.st_mode)) {
        if (geteuid() == 0 && fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Kept as root's: the mode below still keeps others out.
        }
        fchmod(fd, old.st_mode & 07777);
    }
    if (fd < 0) {
        errno = error;
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = errno;
        unlink(partial.c_str());
        forgetOnInterrupt(partial.c_str());
        close(fd);
        errno = error;
    }
    return file;
}

std::string outputIdentity(const char* path) {
    std::string target;
    followOwnLinks(path, target);
    std::string folder = folderOf(target), rest = nameOf(target);
    struct stat info;
    while (stat(folder.c_str(), &info) != 0) {
        if (folder == "." || folder == "/") return tidy(target); // nothing to go by but the name
        rest = nameOf(folder) + "/" + rest;
        folder = folder.find('/') == std::string::npos ? "." : folderOf(folder);
    }
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/" + tidy(rest);
}

std::string childOutputName(const char*) {
    // The child's descriptor 3 (startChildProcess): the very file made
    // here, whatever its name has come to be; opened anew, it can seek.
    return "/proc/self/fd/3";
}
