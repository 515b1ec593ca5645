// Fuzz target: the card engine and the reader layer behind a real control,
// with every card answer (and the answer-to-reset, reader attributes and
// reader control answers) taken from the input.
//
// Input: a header byte (bit 0: T=1, else T=0), the answer-to-reset (16-bit
// length, bytes), the operations (16-bit length, then per operation a choice
// byte, a flag byte and, where an operation takes them, its texts), then the
// answer stream of card_answers.h. An operation whose flag bit 0 is clear
// takes well-formed arguments, so the card is reached; otherwise its texts
// come from the input too.
//
// Built-in checks after every operation: the kept results have the shapes a
// page relies on (SNUM at most 8 characters, TAC empty or 16 upper-case hex
// digits, issuer at most 3 characters, account at most 16, remark and card
// status upper-case hex), a failed transaction leaves the kept results as
// they were, the reader index stays in the reader table, and the key store
// stays zero.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "card_answers.h"
#include "control/qorv_client_atm_ctrl.h"
#include "crypto/key_store.h"
#include "dialogs/user_interface.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

using qorv::ScriptText;
using qorv::fuzz::FuzzInput;
namespace control = qorv::control;

class NoPause final : public qorv::reader::Pauser {
  public:
    void Pause(int milliseconds) override { FUZZ_CHECK(milliseconds >= 0 && milliseconds < 1000); }
};

bool IsUpperHex(const std::u16string& text) {
    return text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](char16_t c) {
               return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
           });
}

void CheckKeptResults(control::CQorvClientATMCtrl& ctrl) {
    const std::u16string snum = *ctrl.GetRespSNUM();
    const std::u16string tac = *ctrl.GetRespTAC();
    FUZZ_CHECK(snum.empty() || snum.size() == 8);
    FUZZ_CHECK(tac.empty() || (tac.size() == 16 && IsUpperHex(tac)));
    FUZZ_CHECK(snum.empty() == tac.empty());
    const std::u16string dateTime = *ctrl.GetRespDateTime();
    FUZZ_CHECK(dateTime.empty() || dateTime.size() == 14);
    FUZZ_CHECK(ctrl.GetTransactionIssuer()->size() <= 3);
    FUZZ_CHECK(ctrl.GetTransactionAccount()->size() <= 16);
    FUZZ_CHECK(IsUpperHex(*ctrl.GetTransactionRemark()));
    if (const ScriptText status = ctrl.GetCardStatus()) FUZZ_CHECK(IsUpperHex(*status));
    for (const auto buffer : qorv::crypto::test_hooks::KeyStoreBuffers())
        FUZZ_CHECK(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; }));
}

// A text argument: the well-formed one, or one from the input (null when
// its first length byte says so).
ScriptText Arg(FuzzInput& in, bool fromInput, const char16_t* wellFormed) {
    if (!fromInput) return std::u16string(wellFormed);
    if (in.Byte() == 0xFF) return std::nullopt;
    return in.Text(40);
}

// Several arguments, read from the input in order (the order in which a
// call's own arguments are evaluated is not fixed).
std::vector<ScriptText> Args(FuzzInput& in, bool fromInput,
                             std::initializer_list<const char16_t*> wellFormed) {
    std::vector<ScriptText> out;
    for (const char16_t* text : wellFormed) out.push_back(Arg(in, fromInput, text));
    return out;
}

struct Snapshot {
    ScriptText snum, tac, dateTime;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Kept(control::CQorvClientATMCtrl& ctrl) {
    return {ctrl.GetRespSNUM(), ctrl.GetRespTAC(), ctrl.GetRespDateTime()};
}

void RunOperation(control::CQorvClientATMCtrl& ctrl, FuzzInput& ops) {
    const std::size_t choice = ops.Choice(20);
    const bool fuzzArgs = ops.Flag();
    auto& engine = ctrl.engine();
    const Snapshot before = Kept(ctrl);
    int32_t rc = 0;
    bool transaction = false;
    switch (choice) {
        case 0:
            ctrl.ConnectCard(Arg(ops, fuzzArgs, u"Fuzz Reader 00 00"));
            break;
        case 1:
            ctrl.ReConnectCard(Arg(ops, fuzzArgs, u"Fuzz Reader 00 01"), 0);
            break;
        case 2:
            ctrl.DisconnectCard();
            break;
        case 3:
            ctrl.CheckCardInsert();
            break;
        case 4:
            if (ctrl.ListEF1001Accounts() == 0) {
                const int32_t count = ctrl.GetEF1001TotalAccounts();
                FUZZ_CHECK(count == -1 || (count >= 1 && count <= 10));
                for (int32_t i = 0; i < count; ++i)
                    FUZZ_CHECK(ctrl.GetEF1001Account(i) && ctrl.GetEF1001Account(i)->size() == 16);
            }
            break;
        case 5:
            if (ctrl.ListEF1002Accounts() == 0) {
                const int32_t count = ctrl.GetEF1002TotalAccounts();
                FUZZ_CHECK(count == -1 || (count >= 1 && count <= 8));
                for (int32_t i = 0; i < count; ++i)
                    FUZZ_CHECK(ctrl.GetEF1002Account(i) && ctrl.GetEF1002Account(i)->size() == 24);
            }
            break;
        case 6:
            FUZZ_CHECK(ctrl.GetIssuerBank()->size() <= 8);
            break;
        case 7:
            FUZZ_CHECK(IsUpperHex(*ctrl.GetICCRemark()));
            break;
        case 8:
            if (const ScriptText serial = ctrl.ReadCardSN()) FUZZ_CHECK(serial->size() == 16);
            break;
        case 9:
            ctrl.VerifyPIN(Arg(ops, fuzzArgs, u"123456"));
            break;
        case 10: {
            const auto a = Args(ops, fuzzArgs, {u"123456", u"654321"});
            ctrl.ChangePIN(a[0], a[1]);
            break;
        }
        case 11: {
            const auto a = Args(ops, fuzzArgs, {u"2500", u"ABCDEFGH", u"0058100012345678"});
            rc = ctrl.AccountInquiry(a[0], a[1], a[2]);
            transaction = true;
            break;
        }
        case 12: {
            const auto a =
                Args(ops, fuzzArgs,
                     {u"2541", u"12345678", u"ABCDEFGH", u"00000000001000", u"0058100012345678"});
            rc = ctrl.AccountWithdraw(a[0], a[1], a[2], a[3], a[4]);
            transaction = true;
            break;
        }
        case 13: {
            const auto a = Args(ops, fuzzArgs,
                                {u"2521", u"12345678", u"ABCDEFGH", u"00000000050000",
                                 u"81200581000123456789", u"0058100012345678"});
            rc = ctrl.AccountTransfer(a[0], a[1], a[2], a[3], a[4], a[5]);
            transaction = true;
            break;
        }
        case 14: {
            const auto a = Args(ops, fuzzArgs,
                                {u"2561", u"12345678", u"ABCDEFGH", u"00000000000500", u"PTYPE",
                                 u"CANCEL0000000001", u"0058100012345678"});
            rc = ctrl.AccountPayment(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
            transaction = true;
            break;
        }
        case 15: {
            const auto a =
                Args(ops, fuzzArgs,
                     {u"2551", u"12345678", u"ABCDEFGH", u"00000000001000", u"0058100012345678"});
            rc = ctrl.AccountPayTax(a[0], a[1], a[2], a[3], a[4]);
            transaction = true;
            break;
        }
        case 16: {
            qorv::card::TransactionResults results;
            const ScriptText fileText = Arg(ops, fuzzArgs, u"1080");
            const ScriptText command = Arg(ops, fuzzArgs, u"ABCDEFGHIJKLMNOP");
            if (engine.WriteSuppliedRecord(0, fileText, command, results) == 0) {
                FUZZ_CHECK(results.snum.size() == 8 && results.tac.size() == 16);
            } else {
                FUZZ_CHECK(results.snum.empty() && results.tac.empty());
            }
            break;
        }
        case 17:
            if (const ScriptText account = Arg(ops, fuzzArgs, u"0058100012345678"))
                engine.CheckAccount(0, *account);
            break;
        case 18: {
            const ScriptText status = ctrl.GetReaderStatus(ops.Integer<int32_t>());
            if (status) FUZZ_CHECK(status->size() <= 4096);
            break;
        }
        default:
            if (ctrl.ListReaders() == 0) {
                FUZZ_CHECK(ctrl.GetReaderNumber() == 2);
                FUZZ_CHECK(ctrl.GetReaderName(1) == std::u16string(u"Fuzz Reader 00 01"));
            }
            break;
    }
    // A refused or failed transaction keeps the previous results whole.
    if (transaction && rc != 0) FUZZ_CHECK(Kept(ctrl) == before);
    CheckKeptResults(ctrl);
    // QORV_FUZZ_TRACE=1 shows how far an input gets (for writing seeds).
    static const bool trace = std::getenv("QORV_FUZZ_TRACE") != nullptr;
    if (trace) {
        std::fprintf(stderr, "op %zu rc %d: tac %zu issuer %zu account %zu accounts %d/%d\n",
                     choice, rc, ctrl.GetRespTAC()->size(), ctrl.GetTransactionIssuer()->size(),
                     ctrl.GetTransactionAccount()->size(), ctrl.GetEF1001TotalAccounts(),
                     ctrl.GetEF1002TotalAccounts());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput header(data, size);
    const qorv::reader::PcscDword protocol = (header.Byte() & 1) != 0
                                                 ? qorv::reader::pcsc::kProtocolT1
                                                 : qorv::reader::pcsc::kProtocolT0;
    std::vector<uint8_t> atr = header.Bytes(33);
    const std::vector<uint8_t> operations = header.Bytes(4096);
    const std::vector<uint8_t> rest = header.RestBytes();
    FuzzInput ops(operations.data(), operations.size());
    FuzzInput answers(rest.data(), rest.size());

    qorv::fuzz::CardAnswers pcsc(answers, protocol, std::move(atr));
    NoPause pause;
    qorv::reader::ReaderSession session(pcsc, pause);
    qorv::dialogs::HeadlessUserInterface ui("fuzzing");
    control::CQorvClientATMCtrl ctrl(session, ui);
    ctrl.engine().SetTransactionClock([] { return std::time_t{1700000000}; });
    // At most 64 operations per input keep every run short.
    for (int i = 0; i < 64 && ops.Remaining() > 0; ++i) RunOperation(ctrl, ops);
    return 0;
}
