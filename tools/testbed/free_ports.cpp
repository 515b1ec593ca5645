#include "tools/testbed/free_ports.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qorv::testbed {

namespace {

constexpr uint32_t kLowest = 20000;
constexpr uint32_t kPairs = 15000;  // ports 20000-49999, below the ephemeral range

// Binds the port the way vpcd will (any address, address reuse allowed).
bool PortFree(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return free;
}

}  // namespace

std::optional<std::vector<uint16_t>> FindFreePortPairs(size_t count, uint32_t seed) {
    std::vector<uint16_t> ports;
    const uint32_t start = (seed * 2654435761U) % kPairs;
    for (uint32_t i = 0; i < kPairs && ports.size() < count; ++i) {
        const auto port = static_cast<uint16_t>(kLowest + 2 * ((start + i) % kPairs));
        if (PortFree(port) && PortFree(static_cast<uint16_t>(port + 1))) {
            ports.push_back(port);
        }
    }
    if (ports.size() < count) {
        return std::nullopt;
    }
    return ports;
}

}  // namespace qorv::testbed
