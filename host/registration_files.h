// The file operations of the registration, safe to run as root in a tree
// that other users can reach: folders are opened one component at a time
// without following links another user could have made, refused when
// another user could change them, created 0755 whatever the umask; files are
// replaced through a fresh temporary in the very folder opened.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>

namespace qorv::host {

// Owns one file descriptor.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();

  private:
    int fd_ = -1;
};

enum class FolderStatus {
    Open,
    // The folder (or one above it) is not there, or a file stands in its
    // place: there is nothing in it to remove.
    Missing,
    // Unsafe to write into, or it could not be created.
    Refused,
};

struct OpenedFolder {
    FolderStatus status = FolderStatus::Refused;
    UniqueFd fd;
    std::string problem;  // why it is not open, for people
};

// Opens the absolute folder `path`. Every folder on the way, "/" included,
// must belong to root or to `user` and must not be writable by group or
// others (a root-owned sticky folder such as /tmp is fine: nobody can replace
// what another user made in it). Links on the way are followed only when
// root or `user` made them. With `create`, missing folders are made 0755.
OpenedFolder OpenFolder(const std::string& path, uid_t user, bool create);

// Replaces `name` in the folder with `text`, mode 0644: written to a new
// temporary of a random name (never an existing file or link), then renamed
// over `name`, so a browser never reads half a manifest and a link at `name`
// is replaced, not followed. False and `problem` on failure.
bool ReplaceFile(int folder, const std::string& name, const std::string& text,
                 std::string& problem);

// Removes `name` from the folder (a link itself, never its target); a file
// that is not there is no failure.
bool RemoveFile(int folder, const std::string& name, std::string& problem);

// stat(2) for the host check; tests give the file system of their choice.
using StatFunction = std::function<int(const std::string& path, struct stat& info)>;

// Why the canonical `path` may not be started by every user's browser, or
// empty when it may: the host must be a regular executable file owned by
// root and writable by nobody else, and so must every folder up to "/".
std::string SystemHostProblem(const std::string& path, const StatFunction& stat);
std::string SystemHostProblem(const std::string& path);

}  // namespace qorv::host
