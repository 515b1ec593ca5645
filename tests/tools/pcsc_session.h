// Plain pcsc-lite calls for the test-bed tests: one context, one card handle,
// commands and answers as hex text.
#pragma once

#include <PCSC/winscard.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tools/cardsim/hex.h"
#include "tools/testbed/card_presence.h"
#include "tools/testbed/pcsc_testbed.h"
#include "tools/testbed/private_pcscd.h"
#include "tools/testbed/simulated_card.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::testing {

class PcscSession {
  public:
    PcscSession() {
        established_ = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_);
    }
    ~PcscSession() {
        Disconnect(SCARD_RESET_CARD);
        if (established_ == SCARD_S_SUCCESS) SCardReleaseContext(context_);
    }
    PcscSession(const PcscSession&) = delete;
    PcscSession& operator=(const PcscSession&) = delete;

    LONG established() const { return established_; }
    SCARDCONTEXT context() const { return context_; }
    DWORD protocol() const { return protocol_; }

    std::vector<std::string> ListReaders(LONG* result) const {
        char names[4096];
        DWORD length = sizeof names;
        *result = SCardListReaders(context_, nullptr, names, &length);
        std::vector<std::string> listed;
        for (const char* name = names; *result == SCARD_S_SUCCESS && *name != '\0';
             name += std::string(name).size() + 1) {
            listed.emplace_back(name);
        }
        return listed;
    }

    LONG Connect(const std::string& reader, DWORD share = SCARD_SHARE_SHARED) {
        Disconnect(SCARD_LEAVE_CARD);
        const LONG result = SCardConnect(context_, reader.c_str(), share,
                                         SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_, &protocol_);
        connected_ = result == SCARD_S_SUCCESS;
        return result;
    }

    void Disconnect(DWORD disposition) {
        if (connected_) SCardDisconnect(card_, disposition);
        connected_ = false;
    }

    std::string Atr() const {
        unsigned char atr[MAX_ATR_SIZE];
        DWORD atrLength = sizeof atr;
        DWORD state = 0;
        DWORD protocol = 0;
        DWORD nameLength = 0;
        if (SCardStatus(card_, nullptr, &nameLength, &state, &protocol, atr, &atrLength) !=
            SCARD_S_SUCCESS) {
            return {};
        }
        return cardsim::ToHex(std::span(atr, atrLength));
    }

    // Sends hex (spaces allowed); returns the answer as hex, or "error XXXXXXXX".
    std::string Transmit(std::string command, LONG* result = nullptr) {
        std::erase(command, ' ');
        const auto bytes = cardsim::FromHex(command).value();
        unsigned char answer[600];
        DWORD length = sizeof answer;
        const LONG sent =
            SCardTransmit(card_, protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1,
                          bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, answer, &length);
        if (result != nullptr) *result = sent;
        if (sent != SCARD_S_SUCCESS) {
            char text[32];
            std::snprintf(text, sizeof text, "error %08lX", static_cast<unsigned long>(sent));
            return text;
        }
        return cardsim::ToHex(std::span(answer, length));
    }

  private:
    SCARDCONTEXT context_ = 0;
    LONG established_ = SCARD_E_NO_SERVICE;
    SCARDHANDLE card_ = 0;
    DWORD protocol_ = 0;
    bool connected_ = false;
};

// Skips when private mount namespaces are out of reach (not root, or refused).
class PcscdTestBedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!testbed::PrivateNamespacesAvailable(&why)) {
            GTEST_SKIP() << why;
        }
    }

    std::unique_ptr<testbed::PcscTestBed> StartBed(
        const std::vector<testbed::ReaderSpec>& readers) {
        std::string error;
        auto bed = testbed::PcscTestBed::Start(readers, &error);
        EXPECT_TRUE(bed) << error;
        return bed;
    }

    std::unique_ptr<testbed::SimulatedCard> StartCard(uint16_t port, testbed::CardProtocol protocol,
                                                      const std::string& profile = "default") {
        std::string error;
        auto card = testbed::SimulatedCard::Start(port, protocol, testbed::ProfilePath(profile),
                                                  true, &error);
        EXPECT_TRUE(card) << error;
        return card;
    }
};

}  // namespace qorv::testing
