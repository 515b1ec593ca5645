#include "tools/demo/demo_workspace.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qorv::demo {

namespace fs = std::filesystem;

std::unique_ptr<DemoWorkspace> DemoWorkspace::Create(const std::string& siteFolder,
                                                     const std::string& pageLibrary,
                                                     std::string* error) {
    std::string pattern = (fs::temp_directory_path() / "qorv-demo-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        *error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
        return nullptr;
    }
    std::unique_ptr<DemoWorkspace> workspace(new DemoWorkspace(pattern));
    std::error_code failed;
    const fs::path www = workspace->www();
    fs::create_directory(www, failed);
    if (!failed) {
        fs::create_directory(workspace->browser(), failed);
    }
    // Links rather than copies: an edited page shows on the next reload.
    for (fs::directory_iterator entry(siteFolder, failed), end; !failed && entry != end;
         entry.increment(failed)) {
        fs::create_symlink(entry->path(), www / entry->path().filename(), failed);
    }
    if (!failed) {
        fs::create_symlink(pageLibrary, www / "qorvclientatm.js", failed);
    }
    if (failed) {
        *error = "cannot prepare the bank site in " + www.string() + ": " + failed.message();
        return nullptr;
    }
    return workspace;
}

DemoWorkspace::~DemoWorkspace() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace qorv::demo
