#include "tools/banksim/bank_service.h"

#include "tools/banksim/service_replies.h"

namespace qorv::banksim {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxTestRn1Length = 64;

std::optional<std::size_t> Count(const json& request, const char* name, std::size_t fallback) {
    const auto found = request.find(name);
    if (found == request.end()) return fallback;
    // Parsed JSON gives unsigned numbers, JSON built in C++ signed ones.
    if (!found->is_number_integer() || found->get<int64_t>() < 0) return std::nullopt;
    return static_cast<std::size_t>(found->get<int64_t>());
}

const char* StageName(SessionStage stage) {
    switch (stage) {
        case SessionStage::kNew:
            return "new";
        case SessionStage::kRn1Sent:
            return "rn1Sent";
        case SessionStage::kEstablished:
            return "established";
        case SessionStage::kFailed:
            return "failed";
    }
    return "failed";
}

}  // namespace

BankService::BankService(BankKeys keys, std::optional<BankCard> card, std::string documentFolder)
    : keys_(std::move(keys)), documentFolder_(std::move(documentFolder)) {
    if (card) verifier_.emplace(std::move(*card));
}

ServiceReply BankService::Handle(const std::string& path, const std::string& body) {
    const json request = json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (request.is_discarded()) return BadRequest("the body is not JSON");
    return Handle(path, request);
}

ServiceReply BankService::Handle(const std::string& path, const json& request) {
    if (!request.is_object()) return BadRequest("the body must be a JSON object");
    try {
        if (path == "/session/start") return Start(request);
        if (path == "/session/answer") return Answer(request);
        if (path == "/session/encipher") return Cipher(request, CipherDirection::kEncipher);
        if (path == "/session/decipher") return Cipher(request, CipherDirection::kDecipher);
        if (path == "/transaction") return Transaction(request);
        if (path == "/session/transfer-document") return TransferDocument(request);
        if (path == "/session/common-account-document") return CommonAccountDocument(request);
        if (path == "/session/common-account") return CommonAccountCheck(request);
        if (path == "/transaction/guided-transfer") return GuidedTransfer(request);
    } catch (const json::exception& e) {
        return BadRequest(e.what());
    }
    return {404, {{"error", "no such endpoint: " + path}}};
}

ServiceReply BankService::Start(const json& request) {
    const auto rn1Length = Count(request, "rn1Length", kRn1Length);
    if (!rn1Length || *rn1Length == 0 || *rn1Length > kMaxTestRn1Length) {
        return BadRequest("rn1Length must be 1-64");
    }
    ServerSession session;
    auto offer = StartKeyAgreement(keys_, session, *rn1Length);
    if (!offer.ok()) return {500, {{"error", offer.error}}};
    const auto id = sessions_.Add(std::move(session));
    if (!id) return {500, {{"error", "the random generator failed"}}};
    return {200,
            {{"sessionId", *id},
             {"rn1Len", offer.value->rn1Len},
             {"encryptedRn1", offer.value->encryptedRn1},
             {"signatureLen", offer.value->signatureLen},
             {"signature", offer.value->signature}}};
}

ServiceReply BankService::Answer(const json& request) {
    std::string id;
    ClientAnswer answer;
    std::string problem;
    if (!Strings(request,
                 {{"sessionId", &id},
                  {"encryptRN2", &answer.encryptedRn2},
                  {"encryptHashRN2", &answer.rn2Signature},
                  {"sessionKeyHash", &answer.sessionKeyHash}},
                 &problem)) {
        return BadRequest(problem);
    }
    const auto keyLength = Count(request, "sessionKeyLength", kDefaultSessionKeyLength);
    if (!keyLength) return BadRequest("sessionKeyLength must be 8, 16 or 24");
    Outcome<SessionKeyOffer> offer;
    if (!sessions_.With(id, [&](ServerSession& session) {
            offer = AnswerKeyAgreement(keys_, session, answer, *keyLength);
        })) {
        return UnknownSession();
    }
    if (!offer.ok()) return Refused(offer.error);
    return {200,
            {{"ok", true},
             {"cpukEncSessionKey", offer.value->encryptedSessionKey},
             {"sessionKeyHash", offer.value->sessionKeyHash},
             {"sessionKeyLength", *keyLength}}};
}

ServiceReply BankService::Cipher(const json& request, CipherDirection direction) {
    std::string id;
    std::string data;
    std::string problem;
    if (!Strings(request, {{"sessionId", &id}, {"data", &data}}, &problem)) {
        return BadRequest(problem);
    }
    const std::string use = request.value("use", std::string("session"));
    if (use != "session" && use != "field") return BadRequest("use must be session or field");
    Outcome<std::string> result;
    if (!sessions_.With(id, [&](ServerSession& session) {
            result = SessionCipherHex(
                session, use == "field" ? CipherUse::kDialogField : CipherUse::kSessionData,
                direction, data);
        })) {
        return UnknownSession();
    }
    if (!result.ok()) return Refused(result.error);
    const char* key = direction == CipherDirection::kEncipher ? "enciphered" : "plain";
    return {200, {{"ok", true}, {key, *result.value}}};
}

ServiceReply BankService::Transaction(const json& request) {
    if (!verifier_) return {503, {{"error", "the bank simulator was started without a card"}}};
    std::string kindName;
    TransactionReport report;
    std::string problem;
    if (!Strings(request,
                 {{"kind", &kindName},
                  {"snum", &report.snum},
                  {"tac", &report.tac},
                  {"issuer", &report.issuer},
                  {"remark", &report.remark},
                  {"account", &report.account}},
                 &problem)) {
        return BadRequest(problem);
    }
    const auto kind = ParseTransactionKind(kindName);
    if (!kind) return BadRequest("kind must be withdraw, payTax, payment, transfer or inquiry");
    report.kind = *kind;
    // Each field the record needs must be there; the others may be left out.
    auto& f = report.fields;
    const std::pair<const char*, std::string*> optional[] = {
        {"pPCode", &f.pPCode},           {"pFdid", &f.pFdid},
        {"pFdChkCode", &f.pFdChkCode},   {"pMoney", &f.pMoney},
        {"pImprtAccnt", &f.pImprtAccnt}, {"pPaymentType", &f.pPaymentType},
        {"pCancelNo", &f.pCancelNo},     {"pAccount", &f.pAccount},
        {"pAccountNumber", &f.pAccount}, {"dateTime", &report.dateTime}};
    for (const auto& [name, target] : optional) {
        if (!request.contains(name)) continue;
        if (!request.at(name).is_string())
            return BadRequest(std::string(name) + " must be a string");
        *target = request.at(name).get<std::string>();
    }
    if (request.contains("record")) {
        if (!request.at("record").is_string()) return BadRequest("record must be a string");
        report.recordHex = request.at("record").get<std::string>();
    }
    const Verdict verdict = verifier_->Verify(report);
    return {200, {{"ok", verdict.ok}, {"message", verdict.message}}};
}

std::optional<json> BankService::SaveSession(const std::string& id) {
    std::optional<json> saved;
    sessions_.With(id, [&](ServerSession& session) {
        saved = json{{"stage", StageName(session.stage)},
                     {"rn1", ToHex(session.rn1.view())},
                     {"sessionKey", ToHex(session.sessionKey.view())}};
    });
    return saved;
}

std::optional<std::string> BankService::RestoreSession(const json& saved) {
    const auto text = [&saved](const char* name) {
        const auto found = saved.find(name);
        return found != saved.end() && found->is_string() ? found->get<std::string>()
                                                          : std::string("-");
    };
    if (!saved.is_object()) return std::nullopt;
    ServerSession session;
    const std::string stage = text("stage");
    bool known = false;
    for (const auto candidate : {SessionStage::kNew, SessionStage::kRn1Sent,
                                 SessionStage::kEstablished, SessionStage::kFailed}) {
        if (stage == StageName(candidate)) {
            session.stage = candidate;
            known = true;
        }
    }
    auto rn1 = FromHex(text("rn1"));
    auto sessionKey = FromHex(text("sessionKey"));
    if (!known || !rn1 || !sessionKey) return std::nullopt;
    session.rn1 = SecretBytes(std::move(*rn1));
    session.sessionKey = SecretBytes(std::move(*sessionKey));
    return sessions_.Add(std::move(session));
}

}  // namespace qorv::banksim
