// The bank simulator over HTTP on loopback only, for the browser demo.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "tools/banksim/bank_service.h"

namespace qorv::banksim {

struct HttpOptions {
    uint16_t port = 0;  // 0: any free port
    std::string www;    // a folder served as static files at /, or empty
};

// Binds 127.0.0.1, writes "listening 127.0.0.1:PORT" as the first line of
// `out`, and serves until SIGINT or SIGTERM. Returns the exit status.
int RunHttpServer(BankService& service, const HttpOptions& options, std::ostream& out,
                  std::ostream& log);

}  // namespace qorv::banksim
