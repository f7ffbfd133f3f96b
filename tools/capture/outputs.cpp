// Where an output goes, decided before anything is rendered: symbolic links are followed to
// the file they name, so that the link stays and its target gets the capture, under the
// kernel's own rule for links in shared folders; an existing FIFO or device is written in
// place; folders and sockets are refused.
#include "capture.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int maxLinkHops = 40; // as the kernel allows

std::string folderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The kernel's rule for links in shared folders (fs.protected_symlinks, on by default): a link
// in a sticky, world-writable folder is followed only by its owner, or when the folder's owner
// owns it too. Applied whatever the system's setting, since the capture follows links itself.
bool linkMayBeFollowed(const std::string& link, const struct stat& about) {
    if (about.st_uid == geteuid())
        return true;
    struct stat folder {};
    if (stat(folderPart(link).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || folder.st_uid == about.st_uid;
}

// Follows the symbolic links of the last name in `path` to the file they end at, which need
// not exist. False on a loop, or on a link the kernel would not follow for us.
bool followLinks(const std::string& path, std::string& resolved, std::string& error) {
    resolved = path;
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        struct stat about {};
        if (lstat(resolved.c_str(), &about) != 0 || !S_ISLNK(about.st_mode))
            return true;
        if (!linkMayBeFollowed(resolved, about)) {
            error = "cannot write " + path + ": " + resolved +
                    " is another user's link in a shared folder, which the system does not "
                    "follow for you";
            return false;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(resolved.c_str(), target, sizeof target - 1);
        if (length <= 0)
            return true;
        target[length] = '\0';
        resolved = target[0] == '/' ? std::string(target) : folderPart(resolved) + "/" + target;
    }
    error = "cannot write " + path + ": " + std::strerror(ELOOP);
    return false;
}

// True when this process has the capability to act on files it does not own (CAP_FOWNER),
// which lifts the sticky folder's rule.
bool ownsAnyFile() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 7, "CapEff:") == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> 3) & 1u;
    }
    return geteuid() == 0;
}

// Whether the finished output can be renamed onto the existing file `path`, found out before
// anything is rendered: in a sticky folder (such as /tmp) only the file's owner and the
// folder's may replace it, and an immutable or append-only file is never replaced.
bool mayReplace(const std::string& path, const struct stat& file, std::string& error) {
    struct stat folder {};
    const bool sticky = stat(folderPart(path).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX);
    if (sticky && file.st_uid != geteuid() && folder.st_uid != geteuid() && !ownsAnyFile()) {
        error = "cannot replace " + path + ": it is another user's file in a shared folder " +
                "(sticky, as /tmp is), which only its owner may replace; choose another name";
        return false;
    }
    int flags = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    const bool read = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (fd >= 0)
        close(fd);
    if (read && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL))) {
        error = "cannot replace " + path + ": it is marked " +
                ((flags & FS_IMMUTABLE_FL) ? "immutable" : "append-only") + " (chattr)";
        return false;
    }
    return true;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    return "a file";
}
} // namespace

bool resolveOutput(const std::string& given, OutputTarget& target, std::string& error) {
    target = OutputTarget{};
    struct stat about {};
    if (stat(given.c_str(), &about) == 0) {
        if (S_ISDIR(about.st_mode) || S_ISSOCK(about.st_mode)) {
            error = "cannot write " + given + ": it is " + kindOf(about.st_mode);
            return false;
        }
        if (!S_ISREG(about.st_mode)) {
            // Written through the given name, but only along links we may follow.
            std::string end;
            if (!followLinks(given, end, error))
                return false;
            if (access(given.c_str(), W_OK) != 0) {
                error = "cannot write " + given + ": " + std::strerror(errno);
                return false;
            }
            target.path = given;
            target.stream = true;
            return true;
        }
        // A regular file: replaced through the name the links end at. A link that names no
        // path (a descriptor of a deleted file) is written in place instead.
        if (!followLinks(given, target.path, error))
            return false;
        struct stat end {};
        if (stat(target.path.c_str(), &end) != 0 || end.st_dev != about.st_dev ||
            end.st_ino != about.st_ino) {
            target.path = given;
            target.stream = true;
            return true;
        }
        target.existing = true;
        return mayReplace(target.path, end, error) && checkWritable(target.path, error);
    }
    if (!followLinks(given, target.path, error))
        return false;
    return checkWritable(target.path, error);
}

bool resolveFramesFolder(const std::string& given, std::string& folder, bool& exists,
                         std::string& error) {
    struct stat about {};
    exists = stat(given.c_str(), &about) == 0;
    if (exists && !S_ISDIR(about.st_mode)) {
        error = "cannot write frames to " + given + ": it is " + kindOf(about.st_mode) +
                ", not a folder";
        return false;
    }
    if (exists) {
        folder = given;
        return checkWritable(folder + "/frame-000000.png", error);
    }
    if (!followLinks(given, folder, error))
        return false;
    // Made and removed again at once: the folder is made for good once the show has loaded.
    if (mkdir(folder.c_str(), 0777) != 0) {
        error = "cannot make the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    rmdir(folder.c_str());
    return true;
}

bool isFrameName(const char* name) {
    int digits = 0;
    if (std::strncmp(name, "frame-", 6) != 0)
        return false;
    for (name += 6; *name >= '0' && *name <= '9'; ++name)
        ++digits;
    return digits >= 6 && std::strcmp(name, ".png") == 0;
}

std::vector<std::string> framesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = readdir(listing)) {
        if (isFrameName(entry->d_name))
            names.push_back(folder + "/" + entry->d_name);
    }
    closedir(listing);
    return names;
}

bool isStandardOutput(const std::string& path) {
    struct stat out {};
    struct stat file {};
    return fstat(STDOUT_FILENO, &out) == 0 && stat(path.c_str(), &file) == 0 &&
           out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

std::string nameBeside(const std::string& path, const std::string& suffix) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t nameLength = path.size() - nameStart;
    // A name may hold NAME_MAX bytes; a long one is cut to leave room for the suffix.
    if (nameLength + suffix.size() <= NAME_MAX)
        return path + suffix;
    return path.substr(0, nameStart + (NAME_MAX - suffix.size())) + suffix;
}

std::string keepPartialBeside(const std::string& partial, const std::string& destination) {
    const size_t slash = destination.rfind('/');
    const size_t dot = destination.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExtension ? destination.substr(0, dot) : destination;
    const std::string extension = hasExtension ? destination.substr(dot) : "";
    for (int n = 1; n <= 100; ++n) {
        const std::string name =
            stem + ".partial" + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
        // A hard link never replaces a file of that name.
        if (link(partial.c_str(), name.c_str()) == 0) {
            unlink(partial.c_str());
            return name;
        }
        if (errno != EEXIST)
            break;
    }
    return partial;
}
