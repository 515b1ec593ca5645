#include "tools/cardsim/card_simulator.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "tools/cardsim/hex.h"

namespace qorv::cardsim {

namespace {

constexpr auto kReconnectInterval = std::chrono::milliseconds(100);

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string HexByte(uint8_t value) {
    return ToHex(std::span(&value, 1));
}

}  // namespace

CardSimulator::CardSimulator(SimulatorOptions options, CardProfile profile)
    : options_(std::move(options)),
      card_(std::move(profile), options_.protocol),
      pad_(card_.profile().pinPad),
      inserted_(options_.inserted) {}

std::string CardSimulator::HandleControl(std::string_view line, bool* quit) {
    line = Trim(line);
    const auto space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    const std::string argument(space == std::string_view::npos ? std::string_view()
                                                               : Trim(line.substr(space + 1)));
    if (word == "insert") {
        return Insert();
    }
    if (word == "remove") {
        return Remove();
    }
    if (word == "reload") {
        return Reload(argument);
    }
    if (word == "pad") {
        return pad_.HandleControl(argument);
    }
    if (word == "records") {
        return Records();
    }
    if (word == "status") {
        return Status();
    }
    if (word == "quit") {
        *quit = true;
        return "ok bye";
    }
    return "error unknown command '" + std::string(word) +
           "' (insert, remove, reload PATH, pad ..., records, status, quit)";
}

std::string CardSimulator::Insert() {
    inserted_ = true;
    nextAttempt_ = {};
    Reconnect();
    return link_ ? "ok inserted" : "ok inserted, waiting for vpcd";
}

std::string CardSimulator::Remove() {
    inserted_ = false;
    DropLink("card removed");
    return "ok removed";
}

std::string CardSimulator::Reload(const std::string& path) {
    if (path.empty()) {
        return "error reload needs a profile path";
    }
    CardProfile profile;
    std::string error;
    if (!LoadCardProfile(path, &profile, &error)) {
        return "error " + error;
    }
    // The card's contents change in place; the reader sees no removal.
    card_ = FiscCard(std::move(profile), options_.protocol);
    // The pad belongs to the reader: it changes only when the new profile says so.
    if (card_.profile().pinPad.active) {
        pad_.Configure(card_.profile().pinPad);
    }
    options_.profilePath = path;
    return "ok reloaded " + card_.profile().name;
}

std::string CardSimulator::Records() const {
    nlohmann::json records = nlohmann::json::array();
    for (const auto& record : card_.writtenRecords()) {
        records.push_back(
            {{"ins", HexByte(record.ins)},
             {"p1", HexByte(record.p1)},
             {"p2", HexByte(record.p2)},
             {"data", ToHex(record.data)},
             {"sw", ToHex(std::vector<uint8_t>{static_cast<uint8_t>(record.status >> 8),
                                               static_cast<uint8_t>(record.status & 0xFF)})}});
    }
    return "ok " + nlohmann::json{{"records", records}}.dump();
}

std::string CardSimulator::Status() const {
    const auto& profile = card_.profile();
    const nlohmann::json status{{"inserted", inserted_},
                                {"connected", link_ != nullptr},
                                {"protocol", options_.protocol == Protocol::T0 ? "t0" : "t1"},
                                {"port", options_.port},
                                {"profile", profile.name},
                                {"nextSnum", card_.nextSnum()},
                                {"pinVerified", card_.pinVerified()},
                                {"pinTriesLeft", profile.pinTries},
                                {"pinLocked", profile.pinLocked},
                                {"pinPad", pad_.Describe()},
                                {"padCommand", pad_.lastPlaceholder()}};
    return "ok " + status.dump();
}

void CardSimulator::DropLink(const char* why) {
    if (link_ && options_.verbose) {
        std::fprintf(stderr, "cardsim: link closed: %s\n", why);
    }
    link_.reset();
    card_.ResetSession();
}

int CardSimulator::Reconnect() {
    if (!inserted_ || link_) {
        return -1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < nextAttempt_) {
        return static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(nextAttempt_ - now).count());
    }
    std::string error;
    link_ = VpcdLink::Connect(options_.host, options_.port, &error);
    if (link_) {
        card_.ResetSession();
        // Until the reader at the other end says it takes the PIN itself.
        pad_.SetSecureEntryReader(false);
        if (options_.verbose) {
            std::fprintf(stderr, "cardsim: linked to vpcd\n");
        }
        return -1;
    }
    nextAttempt_ = now + kReconnectInterval;
    return static_cast<int>(kReconnectInterval.count());
}

void CardSimulator::ServeLink() {
    std::vector<uint8_t> frame;
    if (!link_->Receive(&frame)) {
        DropLink("vpcd closed the connection");
        return;
    }
    if (frame.size() == 1) {
        switch (frame[0]) {
            case vpcd::kGetAtr: {
                const auto atr = card_.Atr();
                if (!link_->Send(atr)) {
                    DropLink("send failed");
                }
                break;
            }
            case vpcd::kPadQuery:
                if (!link_->Send(pad_.PadQueryAnswer())) {
                    DropLink("send failed");
                }
                break;
            case vpcd::kSecureEntryReader:
                pad_.SetSecureEntryReader(true);
                break;
            case vpcd::kPowerOff:
            case vpcd::kPowerOn:
            case vpcd::kReset:
                card_.ResetSession();
                break;
            default:
                break;  // unknown control byte: vpcd expects no answer
        }
        return;
    }
    if (frame.empty()) {
        return;
    }
    const auto response = pad_.Process(card_, frame);
    if (options_.verbose) {
        std::fprintf(stderr, "cardsim: > %s\ncardsim: < %s\n", ToHex(frame).c_str(),
                     ToHex(response).c_str());
    }
    if (!link_->Send(response)) {
        DropLink("send failed");
    }
}

}  // namespace qorv::cardsim
