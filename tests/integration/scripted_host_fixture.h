// What the tests of the host's windows share: a private pcscd with one
// reader and the simulated card in it, the real host showing its windows
// offscreen to a scripted person, the customer taking the card out and
// putting it back, and the host's report of every window it showed.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "integration/host_window_files.h"
#include "support/host_process.h"
#include "tools/banksim/bank_keys.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/key_agreement.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/hostclient/host_client.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::testing {

// The line the host writes to its standard error for each window it shows.
inline constexpr char kShownLine[] = "qorvclientatm-host: shown \"";

inline std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Waits until the report at `path` holds `text`.
inline bool WaitForText(const std::string& path, const std::string& text,
                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Waits until the host has reported `windows` windows shown.
inline bool WaitForWindows(const std::string& path, std::size_t windows,
                           std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (CountOf(ReadAll(path), kShownLine) >= windows) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The values a page holds for a bank session under a fixed key
// (hexadecimal): its hash and the key enciphered for the module.
struct OfferedSessionKey {
    std::string sessionKeyHash;
    std::string encryptedSessionKey;
};

inline std::optional<OfferedSessionKey> OfferSessionKeyOf(const std::string& keyHex) {
    std::string error;
    const auto keys = banksim::BankKeys::LoadFolder(banksim::DefaultKeyFolder(), &error);
    EXPECT_TRUE(keys) << error;
    if (!keys) return std::nullopt;
    const auto offer = banksim::OfferSessionKey(*keys, *banksim::FromHex(keyHex));
    EXPECT_TRUE(offer.ok()) << offer.error;
    if (!offer.ok()) return std::nullopt;
    return OfferedSessionKey{offer.value->sessionKeyHash, offer.value->encryptedSessionKey};
}

class ScriptedHostTest : public ::testing::Test {
  protected:
    using json = nlohmann::json;
    static constexpr int kRequestId = 100;

    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "a private pcscd needs root";
    }

    // The test bed with one reader named `friendlyName` and the card in it.
    void StartCard(const std::string& friendlyName) {
        StartCard(testbed::ReaderSpec{friendlyName});
    }
    void StartCard(const testbed::ReaderSpec& spec) {
        std::string error;
        bed_ = testbed::PcscTestBed::Start({spec}, &error);
        ASSERT_TRUE(bed_) << error;
        card_ = testbed::SimulatedCard::Start(bed_->vpcdPort(0), testbed::CardProtocol::T1,
                                              testbed::DefaultProfilePath(), true, &error);
        ASSERT_TRUE(card_) << error;
        ASSERT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Present));
    }

    // The host with a display (offscreen) and the person acting by `script`.
    void StartHost(const std::string& script) {
        script_ = std::make_unique<TempFile>(script);
        host_ = std::make_unique<hostclient::HostClient>(
            HostPath(), ScriptedHostEnvironment(script_->path()), std::vector<std::string>{},
            stderr_.path());
    }

    std::string reader() const { return bed_->readerName(0); }
    // The host's standard error: its report of the windows it showed.
    std::string HostErrors() const { return ReadAll(stderr_.path()); }

    json Call(const std::string& method, const json& params = json::array()) {
        const auto reply = host_->Call(method, params);
        EXPECT_TRUE(reply) << method << " not answered";
        return reply ? (*reply)["result"] : json();
    }

    // Sends a call whose answer comes only after the person went through
    // its windows; ReadAnswer reads it.
    void SendCall(const std::string& method, const json& params) {
        EXPECT_TRUE(host_->SendFrame(
            json{{"id", kRequestId}, {"method", method}, {"params", params}}.dump()));
    }

    json ReadAnswer() {
        std::string reply;
        EXPECT_TRUE(host_->ReadFrame(reply, 30000)) << HostErrors();
        if (reply.empty()) return json();
        const json answer = json::parse(reply);
        EXPECT_EQ(answer["id"], kRequestId);
        return answer["result"];
    }

    // The customer takes the card out and puts it back while a confirmation
    // waits, with a few polls on either side.
    void TakeCardOutAndPutBack() {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // polls with the card in
        EXPECT_TRUE(card_->Remove());
        EXPECT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Absent));
        std::this_thread::sleep_for(std::chrono::milliseconds(600));  // polls that find no card
        EXPECT_TRUE(card_->Insert());
        EXPECT_TRUE(testbed::WaitForCard(reader(), testbed::CardPresence::Present));
    }

    void TearDown() override {
        if (host_) {
            EXPECT_EQ(host_->CloseAndWait(), 0);
            const std::string text = HostErrors();
            EXPECT_EQ(text.find("gives up"), std::string::npos) << text;
        }
        host_.reset();
        card_.reset();
        bed_.reset();
    }

    std::unique_ptr<testbed::PcscTestBed> bed_;
    std::unique_ptr<testbed::SimulatedCard> card_;
    std::unique_ptr<hostclient::HostClient> host_;
    std::unique_ptr<TempFile> script_;
    TempFile stderr_;
};

}  // namespace qorv::testing
