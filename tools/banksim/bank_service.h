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
// A request that is not a JSON object of the right shape gets 400 and
// {error}; an unknown session id or path 404; a check that fails 200 with
// ok false, so the page can show the reason.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

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
    BankService(BankKeys keys, std::optional<BankCard> card);

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

    BankKeys keys_;
    SessionStore sessions_;
    std::optional<TransactionVerifier> verifier_;
};

}  // namespace qorv::banksim
