// qorv-banksim: the bank server's side of the key agreement and the
// transaction check, over HTTP on loopback or one step per run.
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/banksim/bank_setup.h"
#include "tools/banksim/command_line.h"
#include "tools/banksim/http_server.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

std::string Option(const CommandLine& line, const std::string& name,
                   const std::string& fallback = {}) {
    const auto found = line.options.find(name);
    return found == line.options.end() ? fallback : found->second;
}

std::optional<std::string> ReadText(const std::string& path) {
    std::ostringstream text;
    if (path == "-") {
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream file(path);
    if (!file) return std::nullopt;
    text << file.rdbuf();
    return text.str();
}

bool WriteState(const std::string& path, const json& state) {
    std::ofstream file(path, std::ios::trunc);
    if (!file) return false;
    chmod(path.c_str(), S_IRUSR | S_IWUSR);  // it holds RN1 and the session key
    file << state.dump() << "\n";
    return static_cast<bool>(file);
}

int Fail(const std::string& message) {
    std::cerr << "qorv-banksim: " << message << "\n";
    return 2;
}

int Print(const ServiceReply& reply) {
    std::cout << reply.body.dump() << std::endl;
    return reply.status == 200 && reply.body.value("ok", true) ? 0 : 1;
}

// The request body of a session step from the command line options.
json SessionRequest(const CommandLine& line) {
    json request = json::object();
    const std::pair<const char*, const char*> texts[] = {{"--encrypt-rn2", "encryptRN2"},
                                                         {"--encrypt-hash-rn2", "encryptHashRN2"},
                                                         {"--session-key-hash", "sessionKeyHash"},
                                                         {"--data", "data"},
                                                         {"--use", "use"}};
    for (const auto& [option, member] : texts) {
        if (line.options.contains(option)) request[member] = Option(line, option);
    }
    const std::pair<const char*, const char*> counts[] = {
        {"--rn1-length", "rn1Length"}, {"--session-key-length", "sessionKeyLength"}};
    for (const auto& [option, member] : counts) {
        if (!line.options.contains(option)) continue;
        try {
            request[member] = std::stoul(Option(line, option));
        } catch (const std::exception&) {
            request[member] = Option(line, option);  // the service names the bad value
        }
    }
    return request;
}

int RunSessionStep(BankService& service, const CommandLine& line) {
    const std::string statePath = Option(line, "--state");
    if (statePath.empty()) return Fail(line.command + " needs --state FILE");
    json request = SessionRequest(line);
    if (line.command != "start") {
        const auto text = ReadText(statePath);
        const json saved = text ? json::parse(*text, nullptr, false) : json();
        const auto id = service.RestoreSession(saved);
        if (!id) return Fail(statePath + " holds no session; run start first");
        request["sessionId"] = *id;
    }
    const ServiceReply reply = service.Handle("/session/" + line.command, request);
    if (reply.body.contains("sessionId")) request["sessionId"] = reply.body["sessionId"];
    if (request.contains("sessionId")) {
        const auto state = service.SaveSession(request["sessionId"].get<std::string>());
        if (state && !WriteState(statePath, *state)) return Fail("cannot write " + statePath);
    }
    return Print(reply);
}

int Run(const std::vector<std::string>& arguments) {
    std::string error;
    const auto line = ParseCommandLine(arguments, &error);
    if (!line) {
        std::cerr << "qorv-banksim: " << error << "\n" << kUsage;
        return 2;
    }
    const bool needsCard = line->command == "serve" || line->command == "transaction";
    const std::string card = !needsCard || line->options.contains("--no-card")
                                 ? ""
                                 : Option(*line, "--card", DefaultCardProfile());
    auto service = LoadBankService(Option(*line, "--keys", DefaultKeyFolder()), card, &error,
                                   Option(*line, "--documents", DefaultDocumentFolder()));
    if (!service) return Fail(error);

    if (line->command == "serve") {
        HttpOptions options;
        const std::string port = Option(*line, "--port", "0");
        try {
            const unsigned long value = std::stoul(port);
            if (value > 65535) throw std::out_of_range(port);
            options.port = static_cast<uint16_t>(value);
        } catch (const std::exception&) {
            return Fail("--port must be 0-65535");
        }
        options.www = Option(*line, "--www");
        return RunHttpServer(*service, options, std::cout, std::cerr);
    }
    if (line->command == "transaction") {
        const auto text = ReadText(Option(*line, "--request", "-"));
        if (!text) return Fail("cannot read " + Option(*line, "--request"));
        return Print(service->Handle("/transaction", *text));
    }
    return RunSessionStep(*service, *line);
}

}  // namespace
}  // namespace qorv::banksim

int main(int argc, char** argv) {
    return qorv::banksim::Run(std::vector<std::string>(argv + 1, argv + argc));
}
