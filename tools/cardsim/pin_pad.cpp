#include "tools/cardsim/pin_pad.h"

#include <algorithm>
#include <sstream>

#include "tools/cardsim/hex.h"

namespace qorv::cardsim {

namespace {

constexpr uint8_t kInsVerify = 0x20;
constexpr uint8_t kInsWriteTransaction = 0xE2;
constexpr uint8_t kPinReference = 0x10;
constexpr uint8_t kVerifyOnPadFill = 0xFF;
constexpr uint8_t kChangeOnPadFill = 0xF0;

bool FilledWith(const std::vector<uint8_t>& data, uint8_t fill) {
    return data.size() == 8 &&
           std::all_of(data.begin(), data.end(), [fill](uint8_t b) { return b == fill; });
}

uint16_t StatusOf(const std::vector<uint8_t>& response) {
    const size_t n = response.size();
    return n < 2 ? 0 : static_cast<uint16_t>(response[n - 2] << 8 | response[n - 1]);
}

// The command the reader builds around a typed PIN: header, Lc 08, the block.
std::vector<uint8_t> WithPinBlock(uint8_t ins, uint8_t p1, uint8_t p2,
                                  const std::array<uint8_t, 8>& block) {
    std::vector<uint8_t> command(5 + block.size());
    command[1] = ins;
    command[2] = p1;
    command[3] = p2;
    command[4] = static_cast<uint8_t>(block.size());
    std::copy(block.begin(), block.end(), command.begin() + 5);
    return command;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

}  // namespace

std::vector<uint8_t> PinPadReader::Process(FiscCard& card, std::span<const uint8_t> bytes) {
    // A reader with secure PIN entry of its own passes every command on as
    // it is: the PIN comes only through its own structures.
    const auto command =
        settings_.active && !secureEntryReader_ ? ParseCommandApdu(bytes) : std::nullopt;
    if (!command) {
        return card.Process(bytes);
    }
    const bool verifyHeader =
        command->ins == kInsVerify && command->p1 == 0x00 && command->p2 == kPinReference;
    if (verifyHeader && command->cla == 0x80 && command->data.empty()) {
        lastPlaceholder_ = ToHex(bytes);
        return VerifyTyped(card);
    }
    if (verifyHeader && command->cla == 0x00 && FilledWith(command->data, kVerifyOnPadFill)) {
        lastPlaceholder_ = ToHex(bytes);
        return VerifyTyped(card);
    }
    if (verifyHeader && command->cla == 0x00 && FilledWith(command->data, kChangeOnPadFill)) {
        lastPlaceholder_ = ToHex(bytes);
        return ChangeTyped(card);
    }
    if (command->cla == 0x00 && command->ins == kInsWriteTransaction && !card.pinVerified()) {
        return WriteAfterVerify(card, bytes);
    }
    return card.Process(bytes);
}

std::vector<uint8_t> PinPadReader::VerifyTyped(FiscCard& card) {
    if (settings_.answer == PadAnswer::Cancelled) {
        return StatusOnly(sw::kPadCancelled);
    }
    if (settings_.answer == PadAnswer::TimedOut || !settings_.pin) {
        return StatusOnly(sw::kPadTimedOut);
    }
    return card.Process(WithPinBlock(kInsVerify, 0x00, kPinReference, *settings_.pin));
}

std::vector<uint8_t> PinPadReader::ChangeTyped(FiscCard& card) {
    if (settings_.answer == PadAnswer::Typed && !settings_.newPin) {
        return StatusOnly(sw::kPadTimedOut);  // the customer never typed a new PIN
    }
    auto verified = VerifyTyped(card);
    if (StatusOf(verified) != sw::kSuccess) {
        return verified;
    }
    // Record 1 of the PIN file, which the host selected before.
    return card.Process(WithPinBlock(0xD2, 0x01, 0x04, *settings_.newPin));
}

std::vector<uint8_t> PinPadReader::WriteAfterVerify(FiscCard& card,
                                                    std::span<const uint8_t> command) {
    auto verified = VerifyTyped(card);
    if (StatusOf(verified) != sw::kSuccess) {
        return verified;
    }
    return card.Process(command);
}

std::string PinPadReader::HandleControl(const std::string& arguments) {
    const auto words = Words(arguments);
    std::string usage = "error usage: pad PIN [NEWPIN] | pad cancel | pad timeout | pad off";
    if (words.empty() || words.size() > 2) {
        return usage;
    }
    if (words.size() == 1 && words[0] == "off") {
        settings_ = {};
        return "ok pad off";
    }
    if (words.size() == 1 && (words[0] == "cancel" || words[0] == "timeout")) {
        settings_.active = true;
        settings_.answer = words[0] == "cancel" ? PadAnswer::Cancelled : PadAnswer::TimedOut;
        return "ok pad " + words[0];
    }
    const auto pin = PinBlockFromDigits(words[0]);
    const auto newPin =
        words.size() == 2 ? PinBlockFromDigits(words[1]) : std::optional<std::array<uint8_t, 8>>();
    if (!pin || (words.size() == 2 && !newPin)) {
        return "error pad PINs are 6-12 digits; " + usage.substr(6);
    }
    settings_ = {true, PadAnswer::Typed, pin, newPin};
    return words.size() == 2 ? "ok pad typed, new PIN typed" : "ok pad typed";
}

std::vector<uint8_t> PinPadReader::PadQueryAnswer() const {
    uint8_t state = 0;
    if (settings_.active) {
        state = settings_.answer == PadAnswer::Typed       ? 1
                : settings_.answer == PadAnswer::Cancelled ? 2
                                                           : 3;
    }
    std::vector<uint8_t> answer{state};
    for (const auto& block : {settings_.pin, settings_.newPin}) {
        answer.push_back(block ? 1 : 0);
        const std::array<uint8_t, 8> bytes = block.value_or(std::array<uint8_t, 8>{});
        answer.insert(answer.end(), bytes.begin(), bytes.end());
    }
    return answer;
}

std::string PinPadReader::Describe() const {
    if (!settings_.active) {
        return "off";
    }
    switch (settings_.answer) {
        case PadAnswer::Cancelled:
            return "cancel";
        case PadAnswer::TimedOut:
            return "timeout";
        case PadAnswer::Typed:
            break;
    }
    return settings_.newPin ? "typed, new PIN typed" : "typed";
}

}  // namespace qorv::cardsim
