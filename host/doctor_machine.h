// What the self-check looks at, gathered in one place so that tests can hand
// it a scratch machine: a folder standing for "/", the environment, the PC/SC
// library and the few commands it asks (fontconfig, the desktop portal).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qorv::reader {
class PcscProvider;
}

namespace qorv::host {

struct Machine {
    // Prefix of every file looked at; empty for the real file system.
    std::string root;
    std::map<std::string, std::string> environment;
    reader::PcscProvider* pcsc = nullptr;
    // Runs a command and gives its standard output ("" when it cannot run).
    std::function<std::string(const std::vector<std::string>& argv)> run;
    // The host the manifests must name (canonical path).
    std::string hostPath;
    // The extensions this build trusts.
    std::vector<std::string> chromeExtensionIds;
    std::string firefoxExtensionId;

    // The variable's value, "" when unset.
    std::string Env(const std::string& name) const;
    // The path with the root in front.
    std::string Path(const std::string& absolute) const;
    bool IsFolder(const std::string& absolute) const;
    bool IsFile(const std::string& absolute) const;
    // A Unix socket that accepts a connection.
    bool SocketAccepts(const std::string& absolute) const;
    // The home folder from HOME, "" when not absolute.
    std::string Home() const;
};

// This process's machine: "/", its environment, commands run through
// posix_spawnp with a closed input.
Machine RealMachine(reader::PcscProvider& pcsc);

}  // namespace qorv::host
