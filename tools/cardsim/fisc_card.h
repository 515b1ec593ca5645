// The simulated FISC financial card: answers command APDUs the way the card
// does on the chosen transmission protocol.
//
// T=0: a command with data and response data answers 61xx and keeps the data
// for GET RESPONSE (00 C0 00 00 xx); a read whose Le is missing or does not
// match the data answers 6Cxx with the right length; extended lengths are
// refused with 6700. T=1: response data comes directly, cut to Le when Le is
// shorter, never 6Cxx.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/cardsim/apdu.h"
#include "tools/cardsim/card_profile.h"

namespace qorv::cardsim {

enum class Protocol { T0, T1 };

// A write command the host sent (PIN record or transaction record), kept for tests.
struct WrittenRecord {
    uint8_t ins = 0;
    uint8_t p1 = 0;
    uint8_t p2 = 0;
    std::vector<uint8_t> data;
    uint16_t status = 0;  // what the card answered
};

inline constexpr size_t kWrittenRecordsKept = 16;

class FiscCard {
  public:
    FiscCard(CardProfile profile, Protocol protocol);

    std::vector<uint8_t> Atr() const;
    Protocol protocol() const { return protocol_; }
    const CardProfile& profile() const { return profile_; }
    uint32_t nextSnum() const { return profile_.snum; }
    bool pinVerified() const { return session_.pinVerified; }
    const std::deque<WrittenRecord>& writtenRecords() const { return written_; }

    // Power off, power on, reset or a new reader connection: ends the card
    // session (selection, PIN verification, pending GET RESPONSE data).
    // PIN, tries and SNUM are card memory and stay.
    void ResetSession() { session_ = {}; }

    // Answers one command APDU with response data and status word.
    std::vector<uint8_t> Process(std::span<const uint8_t> command);

  private:
    struct Session {
        bool applicationSelected = false;
        std::optional<uint16_t> currentFile;
        bool pinVerified = false;
        std::vector<uint8_t> pendingResponse;  // T=0 data waiting for GET RESPONSE
    };

    std::vector<uint8_t> Dispatch(const CommandApdu& command);
    std::vector<uint8_t> AnswerData(const CommandApdu& command, std::vector<uint8_t> data);
    std::vector<uint8_t> GetResponse(const CommandApdu& command);
    std::vector<uint8_t> Select(const CommandApdu& command);
    std::vector<uint8_t> ReadBinary(const CommandApdu& command);
    std::vector<uint8_t> ReadRecord(const CommandApdu& command);
    std::vector<uint8_t> Verify(const CommandApdu& command);
    std::vector<uint8_t> WritePinRecord(const CommandApdu& command);
    std::vector<uint8_t> WriteTransaction(const CommandApdu& command);

    const std::vector<std::vector<uint8_t>>* CurrentRecords() const;
    void Remember(const CommandApdu& command, uint16_t status);

    CardProfile profile_;
    Protocol protocol_;
    int maxPinTries_;  // tries restored by a correct PIN
    Session session_;
    std::deque<WrittenRecord> written_;
};

}  // namespace qorv::cardsim
