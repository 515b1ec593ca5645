// The bank's check of a transaction the page reports after the card
// authorised it: the values the page read back from the card, the TAC over
// SNUM and the rebuilt record under the card's TAC key, and no replay.
#pragma once

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/banksim/transaction_record.h"
#include "tools/cardsim/card_profile.h"
#include "tools/cardsim/tac.h"

namespace qorv::banksim {

// What the bank knows about the customer's card.
struct BankCard {
    cardsim::TacKey tacKey{};
    std::string issuer;                 // 3 characters
    std::string remarkHex;              // upper case
    std::vector<std::string> accounts;  // EF1001 accounts, the first one is record 3
};

// Takes the card's data from the simulated card's profile.
std::optional<BankCard> BankCardFromProfile(const cardsim::CardProfile& profile,
                                            std::string* error);

struct TransactionReport {
    TransactionKind kind = TransactionKind::kWithdraw;
    TransactionFields fields;
    std::string snum;      // GetRespSNUM
    std::string tac;       // GetRespTAC
    std::string dateTime;  // GetRespDateTime (empty after an inquiry)
    std::string issuer;    // GetTransactionIssuer
    std::string remark;    // GetTransactionRemark
    std::string account;   // GetTransactionAccount
    // The record as the page believes it was sent: only ever used to say where
    // it differs from the rebuilt record, never to accept a transaction.
    std::optional<std::string> recordHex;
};

struct Verdict {
    bool ok = false;
    std::string message;
};

class TransactionVerifier {
  public:
    explicit TransactionVerifier(BankCard card) : card_(std::move(card)) {}
    ~TransactionVerifier();
    TransactionVerifier(const TransactionVerifier&) = delete;
    TransactionVerifier& operator=(const TransactionVerifier&) = delete;

    Verdict Verify(const TransactionReport& report);

  private:
    Verdict CheckCardValues(const TransactionReport& report) const;
    Verdict CheckTac(const TransactionReport& report, const Bytes& record) const;

    BankCard card_;
    std::mutex mutex_;
    std::set<std::string> accepted_;  // SNUM + TAC of every accepted transaction
};

}  // namespace qorv::banksim
