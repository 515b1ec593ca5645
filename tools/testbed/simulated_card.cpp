#include "tools/testbed/simulated_card.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <nlohmann/json.hpp>

#include "tools/cardsim/hex.h"
#include "tools/testbed/private_pcscd.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::testbed {

namespace {

using namespace std::chrono_literals;

constexpr auto kAnswerTimeout = 5s;

uint8_t HexByte(const nlohmann::json& value) {
    const auto bytes = cardsim::FromHex(value.get<std::string>());
    return bytes && bytes->size() == 1 ? (*bytes)[0] : 0;
}

}  // namespace

std::unique_ptr<SimulatedCard> SimulatedCard::Start(uint16_t vpcdPort, CardProtocol protocol,
                                                    const std::string& profilePath, bool inserted,
                                                    std::string* error) {
    std::vector<std::string> arguments{CardsimPath(),
                                       "--port",
                                       std::to_string(vpcdPort),
                                       "--protocol",
                                       protocol == CardProtocol::T0 ? "t0" : "t1",
                                       "--profile",
                                       profilePath};
    if (!inserted) {
        arguments.emplace_back("--removed");
    }
    // A card program that died must not kill the test with SIGPIPE on the
    // next control line; a write error reports it instead.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        signal(SIGPIPE, SIG_IGN);
    }
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        close(input[0]);
        close(input[1]);
        return nullptr;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        close(input[1]);
        close(output[0]);
        return nullptr;
    }
    std::unique_ptr<SimulatedCard> card(new SimulatedCard(pid, input[1], output[0]));
    // The first answer proves that the program runs and its profile loaded.
    std::string status;
    if (!card->Command("status", &status)) {
        *error = "qorv-cardsim did not start (" + CardsimPath() + ", profile " + profilePath +
                 "): " + card->lastError();
        return nullptr;
    }
    return card;
}

SimulatedCard::~SimulatedCard() {
    std::string ignored;
    if (toCard_ >= 0) {
        Command("quit", &ignored);
        close(toCard_);
    }
    close(fromCard_);
    StopProcess(pid_, 2s);
}

bool SimulatedCard::ReadLine(std::chrono::milliseconds timeout, std::string* line) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto end = buffered_.find('\n');
        if (end != std::string::npos) {
            *line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            lastError_ = "no answer from qorv-cardsim";
            return false;
        }
        pollfd fd{fromCard_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            lastError_ = std::string("poll: ") + std::strerror(errno);
            return false;
        }
        if (fd.revents == 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t got = read(fromCard_, chunk, sizeof chunk);
        if (got <= 0) {
            lastError_ = "qorv-cardsim exited";
            return false;
        }
        buffered_.append(chunk, static_cast<size_t>(got));
    }
}

bool SimulatedCard::Command(const std::string& line, std::string* answer) {
    const std::string request = line + "\n";
    if (write(toCard_, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
        lastError_ = "cannot write to qorv-cardsim";
        return false;
    }
    std::string reply;
    if (!ReadLine(kAnswerTimeout, &reply)) {
        return false;
    }
    if (reply.rfind("ok", 0) != 0) {
        lastError_ = reply;
        return false;
    }
    *answer = reply.size() > 3 ? reply.substr(3) : std::string();
    return true;
}

bool SimulatedCard::Insert() {
    std::string answer;
    return Command("insert", &answer);
}

bool SimulatedCard::Remove() {
    std::string answer;
    return Command("remove", &answer);
}

bool SimulatedCard::Reload(const std::string& profilePath) {
    std::string answer;
    return Command("reload " + profilePath, &answer);
}

bool SimulatedCard::PadTypes(const std::string& pin, const std::string& newPin) {
    std::string answer;
    return Command(newPin.empty() ? "pad " + pin : "pad " + pin + " " + newPin, &answer);
}

bool SimulatedCard::PadCancels() {
    std::string answer;
    return Command("pad cancel", &answer);
}

bool SimulatedCard::PadTimesOut() {
    std::string answer;
    return Command("pad timeout", &answer);
}

bool SimulatedCard::PadOff() {
    std::string answer;
    return Command("pad off", &answer);
}

std::string SimulatedCard::Status() {
    std::string answer;
    return Command("status", &answer) ? answer : std::string();
}

std::vector<WrittenRecord> SimulatedCard::WrittenRecords() {
    std::vector<WrittenRecord> records;
    std::string answer;
    if (!Command("records", &answer)) {
        return records;
    }
    const auto root = nlohmann::json::parse(answer, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded() || !root.contains("records") || !root["records"].is_array()) {
        lastError_ = "unreadable records: " + answer;
        return records;
    }
    for (const auto& entry : root["records"]) {
        WrittenRecord record;
        record.ins = HexByte(entry.value("ins", nlohmann::json("00")));
        record.p1 = HexByte(entry.value("p1", nlohmann::json("00")));
        record.p2 = HexByte(entry.value("p2", nlohmann::json("00")));
        record.data =
            cardsim::FromHex(entry.value("data", std::string())).value_or(std::vector<uint8_t>{});
        const auto status = cardsim::FromHex(entry.value("sw", std::string("0000")));
        record.status = status && status->size() == 2
                            ? static_cast<uint16_t>((*status)[0] << 8 | (*status)[1])
                            : 0;
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace qorv::testbed
