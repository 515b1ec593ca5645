#include "tools/banksim/transaction_check.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cctype>

#include "tools/banksim/openssl_primitives.h"

namespace qorv::banksim {

namespace {

constexpr std::size_t kTextOffset = 2;  // bytes 0-1 of a card record: number and length
constexpr std::size_t kIssuerLength = 3;
constexpr std::size_t kAccountLength = 16;
constexpr std::size_t kDateTimeLength = 14;

std::string RecordText(const std::vector<uint8_t>& record, std::size_t length) {
    if (record.size() < kTextOffset + length) return {};
    return std::string(record.begin() + kTextOffset, record.begin() + kTextOffset + length);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

// "%Y%m%d%H%M%S": 14 digits that name a real moment (a leap second allowed).
bool IsDateTime(std::string_view text) {
    if (text.size() != kDateTimeLength || !AllDigits(text)) return false;
    const int month = Number(text.substr(4, 2));
    const int day = Number(text.substr(6, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && Number(text.substr(8, 2)) < 24 &&
           Number(text.substr(10, 2)) < 60 && Number(text.substr(12, 2)) <= 60;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

Verdict Refuse(std::string message) {
    return {false, std::move(message)};
}

}  // namespace

std::optional<BankCard> BankCardFromProfile(const cardsim::CardProfile& profile,
                                            std::string* error) {
    BankCard card;
    card.tacKey = profile.tacKey;
    if (profile.ef1001.size() < 3) {
        *error = "the card profile has no EF1001 records 1-3";
        return std::nullopt;
    }
    card.issuer = RecordText(profile.ef1001[0], kIssuerLength);
    const auto& remark = profile.ef1001[1];
    if (card.issuer.empty() || remark.size() <= kTextOffset) {
        *error = "the card profile has no issuer or remark record";
        return std::nullopt;
    }
    card.remarkHex = ToHex(std::span(remark).subspan(kTextOffset));
    for (std::size_t n = 2; n < profile.ef1001.size(); ++n) {
        const std::string account = RecordText(profile.ef1001[n], kAccountLength);
        if (!account.empty()) card.accounts.push_back(account);
    }
    if (card.accounts.empty()) {
        *error = "the card profile has no account in EF1001 record 3";
        return std::nullopt;
    }
    return card;
}

TransactionVerifier::~TransactionVerifier() {
    OPENSSL_cleanse(card_.tacKey.data(), card_.tacKey.size());
}

Verdict TransactionVerifier::CheckCardValues(const TransactionReport& report) const {
    if (report.snum.size() != cardsim::kSnumLength || !AllDigits(report.snum)) {
        return Refuse("snum must be 8 digits");
    }
    const auto tac = FromHex(report.tac);
    if (!tac || tac->size() != 8) return Refuse("tac must be 16 hexadecimal digits");
    if (report.kind == TransactionKind::kInquiry) {
        if (!report.dateTime.empty()) return Refuse("an inquiry carries no date-time");
    } else if (!IsDateTime(report.dateTime)) {
        return Refuse("dateTime must be 14 digits YYYYMMDDhhmmss");
    }
    if (report.issuer != card_.issuer) {
        return Refuse("issuer " + report.issuer + " is not the card's issuer " + card_.issuer);
    }
    if (Upper(report.remark) != card_.remarkHex) return Refuse("remark is not the card's remark");
    if (report.account != card_.accounts.front()) {
        return Refuse("account " + report.account + " is not the card's account " +
                      card_.accounts.front());
    }
    if (std::find(card_.accounts.begin(), card_.accounts.end(), report.fields.pAccount) ==
        card_.accounts.end()) {
        return Refuse(
            std::string(report.kind == TransactionKind::kInquiry ? "pAccountNumber" : "pAccount") +
            " " + report.fields.pAccount + " is not an account of this card");
    }
    return {true, {}};
}

Verdict TransactionVerifier::CheckTac(const TransactionReport& report, const Bytes& record) const {
    cardsim::Tac expected{};
    if (!cardsim::ComputeTac(card_.tacKey, report.snum, record, &expected)) {
        return Refuse("the TAC could not be computed");
    }
    if (Upper(report.tac) == ToHex(expected)) return {true, {}};

    std::string message = "the TAC does not match the " + std::to_string(record.size()) + "-byte " +
                          TransactionKindName(report.kind) + " record built from the fields";
    if (report.recordHex) {
        const auto sent = FromHex(*report.recordHex);
        if (!sent) return Refuse(message + "; the record given is not hexadecimal");
        const auto [mine, theirs] =
            std::mismatch(record.begin(), record.end(), sent->begin(), sent->end());
        if (mine == record.end() && theirs == sent->end()) {
            return Refuse(message + ", which equals the record given");
        }
        message += "; the record given differs at " +
                   FieldAtOffset(report.kind, static_cast<std::size_t>(mine - record.begin()));
        if (sent->size() != record.size()) {
            message += " and has " + std::to_string(sent->size()) + " bytes";
        }
    }
    return Refuse(message);
}

Verdict TransactionVerifier::Verify(const TransactionReport& report) {
    const BuiltRecord record = BuildTransactionRecord(report.kind, report.fields, report.dateTime);
    if (!record.error.empty()) return Refuse(record.error);
    if (Verdict values = CheckCardValues(report); !values.ok) return values;
    if (Verdict tac = CheckTac(report, record.bytes); !tac.ok) return tac;

    std::lock_guard lock(mutex_);
    if (!accepted_.insert(report.snum + Upper(report.tac)).second) {
        return Refuse("SNUM " + report.snum + " with this TAC was already accepted (replay)");
    }
    return {true, std::string(TransactionKindName(report.kind)) + " accepted: SNUM " + report.snum};
}

}  // namespace qorv::banksim
