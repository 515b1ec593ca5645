// The command line of qorv-banksim:
//
//   qorv-banksim [serve] [--port N] [--www DIR] [--keys DIR] [--card PROFILE|--no-card]
//   qorv-banksim start    --state FILE [--rn1-length N]
//   qorv-banksim answer   --state FILE --encrypt-rn2 HEX --encrypt-hash-rn2 HEX
//                         --session-key-hash HEX [--session-key-length 8|16|24]
//   qorv-banksim encipher --state FILE --data HEX [--use session|field]
//   qorv-banksim decipher --state FILE --data HEX [--use session|field]
//   qorv-banksim transaction --request FILE   (the JSON body of POST /transaction; - for stdin)
//
// Every one-shot command prints the JSON reply of the matching HTTP endpoint
// and exits 0 when it succeeded, 1 when the bank refused. The state file keeps
// RN1 and the session key between runs: a development tool's convenience.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qorv::banksim {

struct CommandLine {
    std::string command = "serve";
    std::map<std::string, std::string> options;  // "--port" -> "8080"
};

// Nothing, with the reason in `error`, on an unknown command or option, or an
// option without its value.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string* error);

extern const char kUsage[];

}  // namespace qorv::banksim
