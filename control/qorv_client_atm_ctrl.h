// CQorvClientATMCtrl: the scriptable control a bank page creates. Each method
// is a thin handler over one engine operation; the control keeps the reader
// list and the cached results that the page fetches with getters.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/script_value.h"
#include "card/card_engine.h"
#include "card/data_process.h"
#include "crypto/session.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/user_interface.h"
#include "procedures/confirmed_methods.h"
#include "procedures/transfer_procedure.h"
#include "reader/reader_session.h"

namespace qorv::control {

inline constexpr std::size_t kAccountSlots = 10;

class CQorvClientATMCtrl {
  public:
    // The host's main (or a test) assembles the reader session and the user
    // interface the control works with.
    CQorvClientATMCtrl(reader::ReaderSession& session, dialogs::UserInterface& ui);
    ~CQorvClientATMCtrl();
    CQorvClientATMCtrl(const CQorvClientATMCtrl&) = delete;
    CQorvClientATMCtrl& operator=(const CQorvClientATMCtrl&) = delete;

    // Reader session (DISPIDs 1-10).
    int32_t ConnectReader();
    int32_t ListReaders();
    int32_t GetReaderNumber();
    ScriptText GetReaderName(int32_t offset) const;
    int32_t DisconnectReader();
    int32_t ConnectCard(const ScriptText& pReaderName);
    int32_t DisconnectCard();
    int32_t ReConnectCard(const ScriptText& pReaderName, int32_t resetFlag);
    int32_t CheckCardInsert();
    ScriptText GetCardStatus() const;

    // Card data (12-20).
    int32_t ListEF1001Accounts();
    int32_t GetEF1001TotalAccounts();
    ScriptText GetEF1001Account(int32_t accountNo) const;
    int32_t ListEF1002Accounts();
    int32_t GetEF1002TotalAccounts();
    ScriptText GetEF1002Account(int32_t accountNo) const;
    ScriptText GetIssuerBank();
    ScriptText GetICCRemark();
    ScriptText ReadCardSN();

    // PIN (21, 25).
    int32_t VerifyPIN(const ScriptText& pPwdStr);
    // Guided common-account entry: the joined values go to GetClearCommAcc
    // (shared with GetRespData) and GetEncCommAcc.
    int32_t CommAccountProc(const ScriptText& pReaderName, const ScriptText& pSessionKeyHash,
                            const ScriptText& pCpukEncSessionKey, const ScriptText& pCommonInfo);
    // Guided transfer: the transfer values go to GetClearImportAccount and
    // GetEncImportAccount, the card's results to the transaction getters.
    int32_t TransferProc(const ScriptText& pPCode, const ScriptText& pFdid,
                         const ScriptText& pFdChkCode, const ScriptText& pMoney,
                         const ScriptText& pAccount, const ScriptText& pReaderName,
                         const ScriptText& pPassword, const ScriptText& pShowMsg,
                         const ScriptText& pSessionKeyHash, const ScriptText& pCpukEncSessionKey,
                         const ScriptText& CommonInfo, const ScriptText& ServiceType);
    int32_t TransferProcSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                            const ScriptText& pAccount, const ScriptText& pReaderName,
                            const ScriptText& pShowMsg, const ScriptText& pSessionKeyHash,
                            const ScriptText& pCpukEncSessionKey, const ScriptText& CommonInfo,
                            const ScriptText& ServiceType);
    int32_t ChangePIN(const ScriptText& pOldPwdStr, const ScriptText& pNewPwdStr);

    // Transactions on the current reader (29, 33, 37, 41, 45) and their results.
    int32_t AccountInquiry(const ScriptText& pPCode, const ScriptText& pFdChkCode,
                           const ScriptText& pAccountNumber);
    int32_t AccountTransfer(const ScriptText& pPCode, const ScriptText& pFdid,
                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                            const ScriptText& pImprtAccnt, const ScriptText& pAccount);
    int32_t AccountPayment(const ScriptText& pPCode, const ScriptText& pFdid,
                           const ScriptText& pFdChkCode, const ScriptText& pMoney,
                           const ScriptText& pPaymentType, const ScriptText& pCancelNo,
                           const ScriptText& pAccount);
    int32_t AccountPayTax(const ScriptText& pPCode, const ScriptText& pFdid,
                          const ScriptText& pFdChkCode, const ScriptText& pMoney,
                          const ScriptText& pAccount);
    int32_t AccountWithdraw(const ScriptText& pPCode, const ScriptText& pFdid,
                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                            const ScriptText& pAccount);
    ScriptText GetRespSNUM() const { return transaction_.snum; }
    ScriptText GetRespTAC() const { return transaction_.tac; }
    ScriptText GetRespDateTime() const { return transaction_.dateTime; }
    ScriptText GetTransactionIssuer() const { return transaction_.issuer; }
    ScriptText GetTransactionRemark() const { return transaction_.remark; }
    ScriptText GetTransactionAccount() const { return transaction_.account; }

    // PIN on a PIN-pad reader (23, 24, 27, 28) and confirmed PIN methods (22, 26).
    int32_t VerifyPINEx(const ScriptText& pPwdStr, const ScriptText& pShowMsgStr);
    int32_t VerifyPINSnd();
    int32_t VerifyPINSndEx(const ScriptText& pShowMsgStr);
    int32_t ChangePINEx(const ScriptText& pOldPwdStr, const ScriptText& pNewPwdStr,
                        const ScriptText& pShowMsgStr, const ScriptText& pAccountNo);
    int32_t ChangePINSnd(const ScriptText& pAccountNo);
    int32_t ChangePINSndEx(const ScriptText& pShowMsgStr, const ScriptText& pAccountNo);

    // Transactions in an own session on a named reader: confirmed with the
    // PIN from the page (Ex), on a PIN-pad reader (Snd), both (SndEx).
    int32_t AccountInquiryEx(const ScriptText& pPCode, const ScriptText& pFdChkCode,
                             const ScriptText& pAccountNumber, const ScriptText& pReaderName,
                             const ScriptText& pPassword, const ScriptText& pShowMsg);
    int32_t AccountInquirySnd(const ScriptText& pPCode, const ScriptText& pFdChkCode,
                              const ScriptText& pAccountNumber, const ScriptText& pReaderName);
    int32_t AccountInquirySndEx(const ScriptText& pPCode, const ScriptText& pFdChkCode,
                                const ScriptText& pAccountNumber, const ScriptText& pReaderName,
                                const ScriptText& pShowMsg);
    int32_t AccountTransferEx(const ScriptText& pPCode, const ScriptText& pFdid,
                              const ScriptText& pFdChkCode, const ScriptText& pMoney,
                              const ScriptText& pImprtAccnt, const ScriptText& pAccount,
                              const ScriptText& pReaderName, const ScriptText& pPassword,
                              const ScriptText& pShowMsg);
    int32_t AccountTransferSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                               const ScriptText& pFdChkCode, const ScriptText& pMoney,
                               const ScriptText& pImprtAccnt, const ScriptText& pAccount,
                               const ScriptText& pReaderName);
    int32_t AccountTransferSndEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                 const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                 const ScriptText& pImprtAccnt, const ScriptText& pAccount,
                                 const ScriptText& pReaderName, const ScriptText& pShowMsg);
    int32_t AccountPaymentEx(const ScriptText& pPCode, const ScriptText& pFdid,
                             const ScriptText& pFdChkCode, const ScriptText& pMoney,
                             const ScriptText& pPaymentType, const ScriptText& pCancelNo,
                             const ScriptText& pAccount, const ScriptText& pReaderName,
                             const ScriptText& pPassword, const ScriptText& pShowMsg);
    int32_t AccountPaymentSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                              const ScriptText& pFdChkCode, const ScriptText& pMoney,
                              const ScriptText& pPaymentType, const ScriptText& pCancelNo,
                              const ScriptText& pAccount, const ScriptText& pReaderName);
    int32_t AccountPaymentSndEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                const ScriptText& pPaymentType, const ScriptText& pCancelNo,
                                const ScriptText& pAccount, const ScriptText& pReaderName,
                                const ScriptText& pShowMsg);
    int32_t AccountPayTaxEx(const ScriptText& pPCode, const ScriptText& pFdid,
                            const ScriptText& pFdChkCode, const ScriptText& pMoney,
                            const ScriptText& pAccount, const ScriptText& pReaderName,
                            const ScriptText& pPassword, const ScriptText& pShowMsg);
    int32_t AccountPayTaxSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                             const ScriptText& pFdChkCode, const ScriptText& pMoney,
                             const ScriptText& pAccount, const ScriptText& pReaderName);
    int32_t AccountPayTaxSndEx(const ScriptText& pPCode, const ScriptText& pFdid,
                               const ScriptText& pFdChkCode, const ScriptText& pMoney,
                               const ScriptText& pAccount, const ScriptText& pReaderName,
                               const ScriptText& pShowMsg);
    int32_t AccountWithdrawEx(const ScriptText& pPCode, const ScriptText& pFdid,
                              const ScriptText& pFdChkCode, const ScriptText& pMoney,
                              const ScriptText& pAccount, const ScriptText& pReaderName,
                              const ScriptText& pPassword, const ScriptText& pShowMsg);
    int32_t AccountWithdrawSnd(const ScriptText& pPCode, const ScriptText& pFdid,
                               const ScriptText& pFdChkCode, const ScriptText& pMoney,
                               const ScriptText& pAccount, const ScriptText& pReaderName);
    int32_t AccountWithdrawSndEx(const ScriptText& pPCode, const ScriptText& pFdid,
                                 const ScriptText& pFdChkCode, const ScriptText& pMoney,
                                 const ScriptText& pAccount, const ScriptText& pReaderName,
                                 const ScriptText& pShowMsg);
    // A record the page supplies, written in an own session on a named reader (121, 122).
    int32_t WriteRecordWithSNUMTAC(const ScriptText& pReaderName, const ScriptText& pApduCmd,
                                   const ScriptText& pShowMsg, const ScriptText& pPassword);
    int32_t WriteRecordWithSNUMTACSnd(const ScriptText& pReaderName, const ScriptText& pApduCmd,
                                      const ScriptText& pShowMsg);

    // Session establishment and ciphers (52-60, 62, 63).
    int32_t VerifyRN1andGenerateRN2(int32_t rn1Len, const ScriptText& pCpukEncryptedRN1,
                                    int32_t dsigLen, const ScriptText& pSprkSignRN1);
    ScriptText GetEncryptRN2() const { return exchange_.encryptedRn2; }
    ScriptText GetEncryptHashRN2() const { return exchange_.encryptedHashRn2; }
    ScriptText GetSessionKeyHash() const { return exchange_.SessionKeyHashText(); }
    int32_t VerifySessionKeyHash(const ScriptText& pCpukEncSessionKey,
                                 const ScriptText& pSessionKeyHash);
    int32_t DESEncipher(const ScriptText& pSessionKeyHash, const ScriptText& pCpukEncSessionKey,
                        int32_t dataLen, const ScriptText& pData);
    int32_t DESDecipher(const ScriptText& pSessionKeyHash, const ScriptText& pCpukEncSessionKey,
                        int32_t dataLen, const ScriptText& pData);
    ScriptText ConvertIntToHex(int32_t inLength, const ScriptText& pInval);
    ScriptText ConvertHexToInt(int32_t inLength, const ScriptText& pInval);
    int32_t DES(int32_t opflag, int32_t keyLen, const ScriptText& keyVal, const ScriptText& inData);
    int32_t MAC(int32_t keyLen, const ScriptText& keyVal, const ScriptText& icv, int32_t inLen,
                const ScriptText& inData);

    // Module and driver information (61, 66, 67, 11).
    ScriptText GetAPIVersion() const;
    int32_t ListWinscardInfo();
    ScriptText GetWinscardProperty(int32_t listNo) const;
    ScriptText GetReaderStatus(int32_t attribId);

    // Shared results (64, 65, 117-120).
    int32_t GetRespLength() const { return 0; }
    ScriptText GetRespData() const { return responseData_; }
    ScriptText GetClearImportAccount() const { return transfer_.GetClearImportAccount(); }
    ScriptText GetEncImportAccount() const { return transfer_.GetEncImportAccount(); }
    ScriptText GetClearCommAcc() const { return responseData_; }
    ScriptText GetEncCommAcc() const { return encCommAcc_; }

    card::CCardEngine& engine() { return engine_; }
    dialogs::UserInterface& ui() { return ui_; }

  private:
    // ConnectCard, ReConnectCard and DisconnectCard clear these.
    void ResetCachedResults();
    int32_t Connect(const ScriptText& pReaderName);
    // The card of the current reader authorises a transaction; its results
    // go into the cached SNUM, TAC, date-time, issuer, remark and account.
    int32_t AuthoriseOnCurrentCard(card::TransactionKind kind,
                                   const card::TransactionFields& fields);
    // The confirmed and PIN-pad transaction procedures on this control's
    // engine, person and transaction results (ctrl_confirmed.cpp).
    using ConfirmedTransaction = procedures::ConfirmedTransaction;
    int32_t AuthoriseOnPinPad(const card::TransactionRequest& request,
                              const ScriptText& pReaderName);
    int32_t AuthoriseConfirmed(const ConfirmedTransaction& transaction);

    int32_t currentReaderIndex_ = 0;
    int32_t ef1001Count_ = 0;
    int32_t ef1002Count_ = 0;
    int32_t readerCount_ = 0;
    card::ReaderList readerList_{};
    std::u16string cardStatus_;
    std::array<std::u16string, kAccountSlots> ef1001Accounts_;
    std::array<std::u16string, kAccountSlots> ef1002Accounts_;
    crypto::SessionExchangeState exchange_;
    card::TransactionResults transaction_;
    std::u16string responseData_;
    std::u16string encCommAcc_;
    std::u16string libraryFileVersion_;
    std::u16string companyName_;
    std::u16string fileDescription_;
    // How the current reader takes a PIN typed on its keypad (property 3).
    std::u16string pinPadPath_;
    card::CDataProcess dataProcess_;
    dialogs::UserInterface& ui_;
    card::CCardEngine engine_;
    // The guided transfer keeps its clear and enciphered transfer values for
    // the getters until the next guided transfer replaces them.
    procedures::TransferProcedure transfer_{engine_, ui_};
};

}  // namespace qorv::control
