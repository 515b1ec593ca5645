#include "tools/cardsim/vpcd_link.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qorv::cardsim {

std::unique_ptr<VpcdLink> VpcdLink::Connect(const std::string& host, uint16_t port,
                                            std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        *error = std::string("cannot resolve ") + host + ": " + gai_strerror(lookup);
        return nullptr;
    }
    int fd = -1;
    for (addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        fd = socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC,
                    candidate->ai_protocol);
        if (fd < 0) {
            continue;
        }
        if (connect(fd, candidate->ai_addr, candidate->ai_addrlen) == 0) {
            break;
        }
        *error = std::string("connect: ") + std::strerror(errno);
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd < 0) {
        return nullptr;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::unique_ptr<VpcdLink>(new VpcdLink(fd));
}

VpcdLink::~VpcdLink() {
    close(fd_);
}

bool VpcdLink::ReadExactly(uint8_t* buffer, size_t length) {
    while (length > 0) {
        // Delayed ACKs would stall every exchange by about 40 ms; the kernel
        // clears quick-ACK mode again, so it is set before every receive.
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        const ssize_t got = recv(fd_, buffer, length, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

bool VpcdLink::Receive(std::vector<uint8_t>* frame) {
    uint8_t header[2];
    if (!ReadExactly(header, sizeof header)) {
        return false;
    }
    frame->resize(static_cast<size_t>(header[0]) << 8 | header[1]);
    return frame->empty() || ReadExactly(frame->data(), frame->size());
}

bool VpcdLink::Send(std::span<const uint8_t> frame) {
    if (frame.size() > 0xFFFF) {
        return false;
    }
    std::vector<uint8_t> bytes{static_cast<uint8_t>(frame.size() >> 8),
                               static_cast<uint8_t>(frame.size() & 0xFF)};
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace qorv::cardsim
