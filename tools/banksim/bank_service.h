// The bank's web ATM backend as JSON in, JSON out, the same for the HTTP
// server, the command line and the tests:
//
//   POST /session/start     {rn1Length?}
//                           -> {sessionId, rn1Len, encryptedRn1, signatureLen, signature}
//   POST /session/answer    {sessionId, encryptRN2, encryptHashRN2, sessionKeyHash,
//                            sessionKeyLength?}
//                           -> {ok, cpukEncSessionKey, sessionKeyHash, sessionKeyLength}
//                              | {ok:false, error}
//   POST /session/encipher  {sessionId, data, use?: "session"|"field"} -> {ok, enciphered}
//   POST /session/decipher  {sessionId, data, use?} -> {ok, plain}
//   POST /transaction       {kind, pPCode, ..., snum, tac, dateTime, issuer, remark, account,
//                            record?}
//                           -> {ok, message}
//
// The guided procedures (documents in the documents folder, see
// guided_documents.h):
//
//   POST /session/transfer-document        {sessionId, encipher?} -> {ok, document}
//   POST /session/common-account-document  {sessionId, form?: "pin"|"pinpad", encipher?}
//                                          -> {ok, document}
//   POST /session/common-account           {sessionId, form?, encCommAcc, clearCommAcc?}
//                                          -> {ok, message, values: [{name, value}]}
//   POST /transaction/guided-transfer      {sessionId, serviceType?, encImportAccount,
//                                           clearImportAccount?, pPCode?, pFdid, pFdChkCode,
//                                           pMoney, pAccount, snum, tac, dateTime, issuer,
//                                           remark, account, record?}
//                                          -> {ok, message, processingCode, transferInAccount, ...}
//
// `encipher` is true (every element), false, or a list of element indices.
//
// A request that is not a JSON object of the right shape gets 400 and
// {error}; an unknown session id or path 404; a check that fails 200 with
// ok false, so the page can show the reason.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "tools/banksim/bank_keys.h"
#include "tools/banksim/session_store.h"
#include "tools/banksim/transaction_check.h"

namespace qorv::banksim {

struct ServiceReply {
    int status = 200;
    nlohmann::json body;
};

class BankService {
  public:
    // Without a card the service still runs the key agreement; /transaction
    // then answers 503.
    // `documentFolder` holds the guided procedures' documents; without one
    // their endpoints answer 503.
    BankService(BankKeys keys, std::optional<BankCard> card, std::string documentFolder = {});

    ServiceReply Handle(const std::string& path, const std::string& body);
    ServiceReply Handle(const std::string& path, const nlohmann::json& request);

    // The command line keeps one session in a file between runs.
    std::optional<nlohmann::json> SaveSession(const std::string& id);
    std::optional<std::string> RestoreSession(const nlohmann::json& saved);

  private:
    ServiceReply Start(const nlohmann::json& request);
    ServiceReply Answer(const nlohmann::json& request);
    ServiceReply Cipher(const nlohmann::json& request, CipherDirection direction);
    ServiceReply Transaction(const nlohmann::json& request);
    // The guided procedures (bank_service_guided.cpp).
    ServiceReply ServeDocument(const nlohmann::json& request, std::string_view name,
                               bool multiField);
    ServiceReply TransferDocument(const nlohmann::json& request);
    ServiceReply CommonAccountDocument(const nlohmann::json& request);
    ServiceReply CommonAccountCheck(const nlohmann::json& request);
    ServiceReply GuidedTransfer(const nlohmann::json& request);

    BankKeys keys_;
    SessionStore sessions_;
    std::optional<TransactionVerifier> verifier_;
    std::string documentFolder_;
};

}  // namespace qorv::banksim
