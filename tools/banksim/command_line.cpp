#include "tools/banksim/command_line.h"

#include <set>

namespace qorv::banksim {

namespace {

const std::map<std::string, std::set<std::string>>& CommandOptions() {
    static const std::map<std::string, std::set<std::string>> table = {
        {"serve", {"--port", "--www", "--keys", "--card", "--no-card", "--documents"}},
        {"start", {"--state", "--rn1-length", "--keys"}},
        {"answer",
         {"--state", "--encrypt-rn2", "--encrypt-hash-rn2", "--session-key-hash",
          "--session-key-length", "--keys"}},
        {"encipher", {"--state", "--data", "--use", "--keys"}},
        {"decipher", {"--state", "--data", "--use", "--keys"}},
        {"transaction", {"--request", "--keys", "--card"}},
    };
    return table;
}

const std::set<std::string> kFlags = {"--no-card"};

}  // namespace

const char kUsage[] =
    "usage: qorv-banksim [serve] [--port N] [--www DIR] [--keys DIR] [--card PROFILE|--no-card]\n"
    "                    [--documents DIR]\n"
    "       qorv-banksim start --state FILE [--rn1-length N]\n"
    "       qorv-banksim answer --state FILE --encrypt-rn2 HEX --encrypt-hash-rn2 HEX\n"
    "                           --session-key-hash HEX [--session-key-length 8|16|24]\n"
    "       qorv-banksim encipher|decipher --state FILE --data HEX [--use session|field]\n"
    "       qorv-banksim transaction --request FILE|-\n";

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string* error) {
    CommandLine line;
    std::size_t next = 0;
    if (!arguments.empty() && !arguments[0].starts_with("--")) {
        line.command = arguments[0];
        next = 1;
    }
    const auto known = CommandOptions().find(line.command);
    if (known == CommandOptions().end()) {
        *error = "unknown command " + line.command;
        return std::nullopt;
    }
    for (; next < arguments.size(); ++next) {
        const std::string& name = arguments[next];
        if (!known->second.contains(name)) {
            *error = "unknown option " + name + " for " + line.command;
            return std::nullopt;
        }
        if (kFlags.contains(name)) {
            line.options[name] = "";
            continue;
        }
        if (next + 1 >= arguments.size()) {
            *error = name + " needs a value";
            return std::nullopt;
        }
        line.options[name] = arguments[++next];
    }
    return line;
}

}  // namespace qorv::banksim
