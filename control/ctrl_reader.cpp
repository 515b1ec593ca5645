// Handlers of the reader-session methods and their getters.
#include "base/secure_wipe.h"
#include "control/qorv_client_atm_ctrl.h"
#include "reader/reader_names.h"

namespace qorv::control {

CQorvClientATMCtrl::CQorvClientATMCtrl(reader::ReaderSession& session, dialogs::UserInterface& ui)
    : ui_(ui), engine_(session) {}

CQorvClientATMCtrl::~CQorvClientATMCtrl() {
    engine_.ReleaseSession();
    SecureWipe(responseData_);  // deciphered data, perhaps
}

void CQorvClientATMCtrl::ResetCachedResults() {
    ef1001Count_ = 0;
    ef1002Count_ = 0;
    cardStatus_.clear();
    SecureWipe(responseData_);
    transaction_.snum.clear();
    transaction_.tac.clear();
    transaction_.dateTime.clear();
    for (auto& account : ef1001Accounts_) account.clear();
    for (auto& account : ef1002Accounts_) account.clear();
}

int32_t CQorvClientATMCtrl::ConnectReader() {
    return engine_.ConnectReader();
}

int32_t CQorvClientATMCtrl::ListReaders() {
    int32_t count = readerCount_;
    const int32_t rc = engine_.ListReaders(readerList_, count);
    if (rc == 0) readerCount_ = count;
    return rc == 0 ? 0 : -1;
}

int32_t CQorvClientATMCtrl::GetReaderNumber() {
    if (readerCount_ == 0) readerCount_ = -1;
    return readerCount_;
}

ScriptText CQorvClientATMCtrl::GetReaderName(int32_t offset) const {
    if (offset < 0 || offset > readerCount_ - 1 || offset >= reader::kSlotCount) {
        return std::nullopt;
    }
    return std::u16string(reader::NameOf(readerList_[static_cast<std::size_t>(offset)]));
}

int32_t CQorvClientATMCtrl::DisconnectReader() {
    engine_.DisconnectReader(currentReaderIndex_);
    return 0;
}

int32_t CQorvClientATMCtrl::Connect(const ScriptText& pReaderName) {
    if (!pReaderName) return result::kReaderNameMissing;
    reader::Atr atr;
    int32_t index = 0;
    const int32_t rc = engine_.ConnectCard(pReaderName, index, atr);
    currentReaderIndex_ = index;
    if (rc == 0) cardStatus_ = dataProcess_.BytesToHex({atr.bytes.data(), atr.length});
    return rc;
}

int32_t CQorvClientATMCtrl::ConnectCard(const ScriptText& pReaderName) {
    ResetCachedResults();
    currentReaderIndex_ = 0;
    if (readerCount_ <= 0) readerCount_ = 1;
    return Connect(pReaderName);
}

int32_t CQorvClientATMCtrl::ReConnectCard(const ScriptText& pReaderName, int32_t /*resetFlag*/) {
    ResetCachedResults();
    return Connect(pReaderName);
}

int32_t CQorvClientATMCtrl::DisconnectCard() {
    engine_.DisconnectCard(currentReaderIndex_);
    ResetCachedResults();
    return 0;
}

int32_t CQorvClientATMCtrl::CheckCardInsert() {
    return engine_.CheckCardInsert(currentReaderIndex_);
}

ScriptText CQorvClientATMCtrl::GetCardStatus() const {
    if (cardStatus_.empty()) return std::nullopt;
    return cardStatus_;
}

}  // namespace qorv::control
