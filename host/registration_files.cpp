#include "host/registration_files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace qorv::host {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) close(fd_);
}

int UniqueFd::Release() {
    return std::exchange(fd_, -1);
}

namespace {

constexpr mode_t kFolderMode = 0755;
constexpr mode_t kFileMode = 0644;
// More links than any sane layout has on one path; also ends loops.
constexpr int kMaxLinks = 16;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Splits a path into its components, empty ones and "." left out.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = end + 1;
    }
    return parts;
}

bool WritableByOthers(const struct stat& info) {
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Empty when the folder is safe to write into for `user`.
std::string FolderProblem(const std::string& where, const struct stat& info, uid_t user) {
    if (info.st_uid != 0 && info.st_uid != user) {
        return where + " belongs to another user (uid " + std::to_string(info.st_uid) + ")";
    }
    const bool rootSticky = info.st_uid == 0 && (info.st_mode & S_ISVTX) != 0;
    if (WritableByOthers(info) && !rootSticky) {
        return where + " is writable by group or others";
    }
    return {};
}

std::string ReadLink(int folder, const std::string& name, bool& ok) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
        if (length < 0) {
            ok = false;
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            ok = true;
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        if (buffer.size() >= 65536) {
            ok = false;
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

OpenedFolder Fail(FolderStatus status, std::string problem) {
    OpenedFolder result;
    result.status = status;
    result.problem = std::move(problem);
    return result;
}

// The folders opened so far, "/" first; ".." steps back in it.
struct Chain {
    std::vector<UniqueFd> fds;
    std::vector<std::string> names;

    std::string Path() const {
        std::string path;
        for (const std::string& name : names) path += "/" + name;
        return path.empty() ? "/" : path;
    }
    std::string PathOf(const std::string& name) const {
        return (names.empty() ? "" : Path()) + "/" + name;
    }
};

std::string OpenRoot(Chain& chain, uid_t user) {
    chain.fds.clear();
    chain.names.clear();
    UniqueFd root(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!root.Valid() || fstat(root.Get(), &info) != 0) return "/ cannot be opened";
    if (std::string problem = FolderProblem("/", info, user); !problem.empty()) return problem;
    chain.fds.push_back(std::move(root));
    return {};
}

}  // namespace

OpenedFolder OpenFolder(const std::string& path, uid_t user, bool create) {
    if (path.empty() || path[0] != '/')
        return Fail(FolderStatus::Refused, path + " is not absolute");
    Chain chain;
    if (std::string problem = OpenRoot(chain, user); !problem.empty()) {
        return Fail(FolderStatus::Refused, problem);
    }
    // The components still to walk, the next one last.
    std::vector<std::string> pending = Components(path);
    std::reverse(pending.begin(), pending.end());
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name == "..") {
            if (chain.fds.size() > 1) {
                chain.fds.pop_back();
                chain.names.pop_back();
            }
            continue;
        }
        const int parent = chain.fds.back().Get();
        const std::string where = chain.PathOf(name);
        // O_PATH: passing through needs only search permission.
        constexpr int kFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd fd(openat(parent, name.c_str(), kFlags));
        bool made = false;
        if (!fd.Valid() && errno == ENOENT && create) {
            if (mkdirat(parent, name.c_str(), kFolderMode) == 0) {
                made = true;
            } else if (errno != EEXIST) {
                return Fail(FolderStatus::Refused,
                            where + " cannot be created: " + ErrnoText(errno));
            }
            fd = UniqueFd(openat(parent, name.c_str(), kFlags));
        }
        if (!fd.Valid()) {
            const int error = errno;
            struct stat entry {};
            if (error == ENOENT) {
                return Fail(FolderStatus::Missing, where + " does not exist");
            }
            if (fstatat(parent, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
                return Fail(FolderStatus::Refused, where + ": " + ErrnoText(error));
            }
            if (!S_ISLNK(entry.st_mode)) {
                return Fail(FolderStatus::Missing, where + " is not a folder");
            }
            // A link only root or the user could have made; its target is
            // walked and checked like any other path.
            if (entry.st_uid != 0 && entry.st_uid != user) {
                return Fail(FolderStatus::Refused, where + " is a link made by another user (uid " +
                                                       std::to_string(entry.st_uid) + ")");
            }
            bool ok = false;
            const std::string target = ReadLink(parent, name, ok);
            if (!ok || target.empty() || ++links > kMaxLinks) {
                return Fail(FolderStatus::Refused, where + " is a link that cannot be followed");
            }
            if (target[0] == '/') {
                if (std::string problem = OpenRoot(chain, user); !problem.empty()) {
                    return Fail(FolderStatus::Refused, problem);
                }
            }
            std::vector<std::string> parts = Components(target);
            pending.insert(pending.end(), parts.rbegin(), parts.rend());
            continue;
        }
        // Exactly 0755 whatever the umask; only a folder made here is changed
        // (by name: nobody else can write into its parent to swap it).
        if (made && fchmodat(parent, name.c_str(), kFolderMode, 0) != 0) {
            return Fail(FolderStatus::Refused, where + ": " + ErrnoText(errno));
        }
        struct stat info {};
        if (fstat(fd.Get(), &info) != 0) {
            return Fail(FolderStatus::Refused, where + ": " + ErrnoText(errno));
        }
        if (std::string problem = FolderProblem(where, info, user); !problem.empty()) {
            return Fail(FolderStatus::Refused, problem);
        }
        chain.fds.push_back(std::move(fd));
        chain.names.push_back(name);
    }
    OpenedFolder result;
    result.status = FolderStatus::Open;
    result.fd = std::move(chain.fds.back());
    return result;
}

namespace {

std::string RandomSuffix() {
    std::array<unsigned char, 8> bytes{};
    if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool ReplaceFile(int folder, const std::string& name, const std::string& text,
                 std::string& problem) {
    std::string temporary;
    UniqueFd file;
    for (int attempt = 0; attempt < 8 && !file.Valid(); ++attempt) {
        const std::string suffix = RandomSuffix();
        if (suffix.empty()) break;
        temporary = "." + name + ".tmp-" + suffix;
        file = UniqueFd(openat(folder, temporary.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.Valid() && errno != EEXIST) break;
    }
    if (!file.Valid()) {
        problem = name + ": no temporary file: " + ErrnoText(errno);
        return false;
    }
    const bool written =
        WriteAll(file.Get(), text) && fchmod(file.Get(), kFileMode) == 0 && fsync(file.Get()) == 0;
    const int writeError = errno;
    if (close(file.Release()) != 0 || !written) {
        problem = name + ": " + ErrnoText(written ? errno : writeError);
        unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    if (renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        problem = name + ": " + ErrnoText(errno);
        unlinkat(folder, temporary.c_str(), 0);
        return false;
    }
    return true;
}

bool RemoveFile(int folder, const std::string& name, std::string& problem) {
    if (unlinkat(folder, name.c_str(), 0) == 0 || errno == ENOENT) return true;
    problem = name + ": " + ErrnoText(errno);
    return false;
}

std::string SystemHostProblem(const std::string& path, const StatFunction& stat) {
    if (path.empty() || path[0] != '/') return path + " is not absolute";
    const std::vector<std::string> parts = Components(path);
    if (parts.empty()) return path + " is not a file";
    std::string where;
    for (std::size_t i = 0; i <= parts.size(); ++i) {
        const bool host = i == parts.size();
        if (i > 0) where += "/" + parts[i - 1];
        const std::string current = where.empty() ? "/" : where;
        struct stat info {};
        if (stat(current, info) != 0) return current + " cannot be examined";
        if (host ? !S_ISREG(info.st_mode) : !S_ISDIR(info.st_mode)) {
            return current + (host ? " is not a regular file" : " is not a folder");
        }
        if (info.st_uid != 0) return current + " does not belong to root";
        if (WritableByOthers(info)) return current + " is writable by group or others";
        if (host && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0) {
            return current + " is not executable";
        }
    }
    return {};
}

std::string SystemHostProblem(const std::string& path) {
    return SystemHostProblem(path, [](const std::string& file, struct stat& info) {
        return ::stat(file.c_str(), &info);
    });
}

}  // namespace qorv::host
