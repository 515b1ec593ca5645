// The demo's temporary folder, removed when the demo ends: the bank site as
// the bank simulator serves it (the page's files and the page library, linked
// from the source tree) and an empty folder for the browser's profile.
#pragma once

#include <memory>
#include <string>

namespace qorv::demo {

class DemoWorkspace {
  public:
    // `siteFolder`'s files and `pageLibrary` (as qorvclientatm.js) are linked into www().
    static std::unique_ptr<DemoWorkspace> Create(const std::string& siteFolder,
                                                 const std::string& pageLibrary,
                                                 std::string* error);
    ~DemoWorkspace();
    DemoWorkspace(const DemoWorkspace&) = delete;
    DemoWorkspace& operator=(const DemoWorkspace&) = delete;

    const std::string& path() const { return path_; }
    std::string www() const { return path_ + "/www"; }
    std::string browser() const { return path_ + "/browser"; }

  private:
    explicit DemoWorkspace(std::string path) : path_(std::move(path)) {}

    std::string path_;
};

}  // namespace qorv::demo
