// The bank's check of a transaction the page reports: the record rebuilt from
// the page's values must be the one the card MACed (each layout written out
// here byte by byte), the card values must be the card's, and no TAC is
// accepted twice.
#include <gtest/gtest.h>

#include <functional>

#include "tools/banksim/bank_setup.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/transaction_check.h"

namespace qorv::banksim {
namespace {

const std::string kCardAccount = "0058100012345678";  // EF1001 record 3 of the default card
const std::string kDateTime = "20241107153000";

class BankTransactionCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(cardsim::LoadCardProfile(DefaultCardProfile(), &profile_, &error)) << error;
        auto card = BankCardFromProfile(profile_, &error);
        ASSERT_TRUE(card.has_value()) << error;
        verifier_.emplace(std::move(*card));
    }

    static TransactionFields Fields() {
        TransactionFields f;
        f.pPCode = "2510";
        f.pFdid = "FD000001";
        f.pFdChkCode = "CHK00001";
        f.pMoney = "00000000012300";
        f.pImprtAccnt = "8120058100012345";
        f.pPaymentType = "00001";
        f.pCancelNo = "CANCEL0000000001";
        f.pAccount = kCardAccount;
        return f;
    }

    // What the page reports after the card MACed `cardRecord` under SNUM `snum`.
    TransactionReport Report(TransactionKind kind, const TransactionFields& fields,
                             const std::string& cardRecord, const std::string& snum = "00000007") {
        TransactionReport report;
        report.kind = kind;
        report.fields = fields;
        report.snum = snum;
        cardsim::Tac tac{};
        EXPECT_TRUE(cardsim::ComputeTac(profile_.tacKey, snum,
                                        std::vector<uint8_t>(cardRecord.begin(), cardRecord.end()),
                                        &tac));
        report.tac = ToHex(tac);
        report.dateTime = kind == TransactionKind::kInquiry ? "" : kDateTime;
        report.issuer = "812";
        report.remark = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";
        report.account = kCardAccount;
        return report;
    }

    cardsim::CardProfile profile_;
    std::optional<TransactionVerifier> verifier_;
};

TEST_F(BankTransactionCheck, EachLayoutIsRebuiltAsTheCardMacedIt) {
    const TransactionFields f = Fields();
    const std::string head = f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + kDateTime;
    TransactionFields longImport = f;
    longImport.pImprtAccnt += "9999";  // only the first 16 characters are sent
    const struct {
        TransactionKind kind;
        TransactionFields fields;
        std::string record;
        std::size_t length;
    } cases[] = {
        {TransactionKind::kWithdraw, f, head + kCardAccount, 64},
        {TransactionKind::kPayTax, f, head + kCardAccount, 64},
        {TransactionKind::kTransfer, longImport, head + "8120058100012345" + kCardAccount, 80},
        {TransactionKind::kPayment, f, head + "00001" + kCardAccount + f.pCancelNo, 85},
        {TransactionKind::kInquiry, f, f.pPCode + f.pFdChkCode + kCardAccount, 28},
    };
    int snum = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(TransactionKindName(c.kind));
        ASSERT_EQ(c.record.size(), c.length);
        const std::string number = "0000000" + std::to_string(snum++);
        const Verdict verdict = verifier_->Verify(Report(c.kind, c.fields, c.record, number));
        EXPECT_TRUE(verdict.ok) << verdict.message;
        EXPECT_EQ(verdict.message,
                  std::string(TransactionKindName(c.kind)) + " accepted: SNUM " + number);
    }
}

TEST_F(BankTransactionCheck, ATacOverAnotherRecordIsRefusedWithWhereItDiffers) {
    const TransactionFields f = Fields();
    const std::string otherTime = "20241107153001";
    const std::string cardRecord =
        f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + otherTime + kCardAccount;
    TransactionReport report = Report(TransactionKind::kWithdraw, f, cardRecord);
    Verdict verdict = verifier_->Verify(report);
    EXPECT_FALSE(verdict.ok);
    EXPECT_EQ(verdict.message,
              "the TAC does not match the 64-byte withdraw record built from the fields");

    // With the record the page believes it sent, the message points at the field.
    report.recordHex = ToHex(std::vector<uint8_t>(cardRecord.begin(), cardRecord.end()));
    verdict = verifier_->Verify(report);
    EXPECT_FALSE(verdict.ok);
    EXPECT_EQ(verdict.message,
              "the TAC does not match the 64-byte withdraw record built from the fields; the "
              "record given differs at date-time at byte 47");

    // A transfer MACed over all 20 characters of a long transfer-in account.
    TransactionFields longImport = f;
    longImport.pImprtAccnt += "9999";
    const std::string wholeImport = f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + kDateTime +
                                    longImport.pImprtAccnt + kCardAccount;
    EXPECT_FALSE(verifier_->Verify(Report(TransactionKind::kTransfer, longImport, wholeImport)).ok);

    // The right record with another SNUM.
    const std::string record =
        f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + kDateTime + kCardAccount;
    report = Report(TransactionKind::kWithdraw, f, record, "00000008");
    report.snum = "00000009";
    EXPECT_FALSE(verifier_->Verify(report).ok);
}

TEST_F(BankTransactionCheck, ATransactionIsAcceptedOnce) {
    const TransactionFields f = Fields();
    TransactionReport report =
        Report(TransactionKind::kWithdraw, f,
               f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + kDateTime + kCardAccount);
    EXPECT_TRUE(verifier_->Verify(report).ok);
    for (char& c : report.tac) c = static_cast<char>(std::tolower(c));
    const Verdict replay = verifier_->Verify(report);
    EXPECT_FALSE(replay.ok);
    EXPECT_EQ(replay.message, "SNUM 00000007 with this TAC was already accepted (replay)");
}

TEST_F(BankTransactionCheck, ValuesThatAreNotTheCardsOrHaveTheWrongShapeAreRefused) {
    const TransactionFields f = Fields();
    const std::string record =
        f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + kDateTime + kCardAccount;
    const TransactionReport good = Report(TransactionKind::kWithdraw, f, record);
    const struct {
        const char* what;
        std::function<void(TransactionReport&)> change;
        std::string message;
    } cases[] = {
        {"short amount", [](auto& r) { r.fields.pMoney.pop_back(); },
         "pMoney must have 14 characters, not 13"},
        {"short transfer-in",
         [](auto& r) {
             r.kind = TransactionKind::kTransfer;
             r.fields.pImprtAccnt.pop_back();
         },
         "pImprtAccnt must have at least 16 characters, not 15"},
        {"non-ASCII", [](auto& r) { r.fields.pFdid = "FD00000\xC3"; }, "pFdid must be ASCII text"},
        {"SNUM", [](auto& r) { r.snum = "0000007"; }, "snum must be 8 digits"},
        {"TAC", [](auto& r) { r.tac.pop_back(); }, "tac must be 16 hexadecimal digits"},
        {"month 13", [](auto& r) { r.dateTime = "20241307153000"; },
         "dateTime must be 14 digits YYYYMMDDhhmmss"},
        {"inquiry date-time", [](auto& r) { r.kind = TransactionKind::kInquiry; },
         "an inquiry carries no date-time"},
        {"issuer", [](auto& r) { r.issuer = "813"; }, "issuer 813 is not the card's issuer 812"},
        {"remark", [](auto& r) { r.remark[0] = '6'; }, "remark is not the card's remark"},
        {"account", [](auto& r) { r.account = "0058200087654321"; },
         "account 0058200087654321 is not the card's account 0058100012345678"},
        {"pAccount", [](auto& r) { r.fields.pAccount = "0058100099999999"; },
         "pAccount 0058100099999999 is not an account of this card"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TransactionReport report = good;
        c.change(report);
        const Verdict verdict = verifier_->Verify(report);
        EXPECT_FALSE(verdict.ok);
        EXPECT_EQ(verdict.message, c.message);
    }
    // The card's other accounts may be the transfer-out account; the lowercase remark is the same.
    TransactionFields second = f;
    second.pAccount = "0058200087654321";
    TransactionReport other =
        Report(TransactionKind::kWithdraw, second,
               f.pPCode + f.pMoney + f.pFdid + f.pFdChkCode + kDateTime + second.pAccount);
    for (char& c : other.remark) c = static_cast<char>(std::tolower(c));
    EXPECT_TRUE(verifier_->Verify(other).ok);
}

}  // namespace
}  // namespace qorv::banksim
