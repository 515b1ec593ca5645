// The bank's side of the guided procedures: the configuration documents it
// hands the page for a session, and the checks of what comes back enciphered
// under that session's key.
#include "tools/banksim/bank_service.h"
#include "tools/banksim/guided_documents.h"
#include "tools/banksim/guided_transfer.h"
#include "tools/banksim/service_replies.h"

namespace qorv::banksim {

namespace {

using nlohmann::json;

constexpr const char* kFormNames = "form must be pin or pinpad";

// The `encipher` member: true for every element, false or absent for none,
// or the indices of the elements to encipher.
std::optional<std::vector<std::size_t>> NodesToEncipher(const json& request, std::size_t count) {
    const auto found = request.find("encipher");
    std::vector<std::size_t> nodes;
    if (found == request.end() || (found->is_boolean() && !found->get<bool>())) return nodes;
    if (found->is_boolean()) {
        for (std::size_t n = 0; n < count; ++n) nodes.push_back(n);
        return nodes;
    }
    if (!found->is_array()) return std::nullopt;
    for (const json& index : *found) {
        if (!index.is_number_integer() || index.get<int64_t>() < 0) return std::nullopt;
        nodes.push_back(static_cast<std::size_t>(index.get<int64_t>()));
    }
    return nodes;
}

// The common-account form a request names.
std::optional<std::string_view> CommonAccountForm(const json& request) {
    const std::string form = request.value("form", std::string("pin"));
    if (form == "pin") return "common-account";
    if (form == "pinpad") return "common-account-pinpad";
    return std::nullopt;
}

std::optional<std::string> OptionalString(const json& request, const char* name, bool* bad) {
    const auto found = request.find(name);
    if (found == request.end()) return std::nullopt;
    if (!found->is_string()) {
        *bad = true;
        return std::nullopt;
    }
    return found->get<std::string>();
}

}  // namespace

ServiceReply BankService::ServeDocument(const json& request, std::string_view name,
                                        bool multiField) {
    if (documentFolder_.empty()) return {503, {{"error", "the bank has no documents folder"}}};
    std::string id;
    std::string problem;
    if (!Strings(request, {{"sessionId", &id}}, &problem)) return BadRequest(problem);
    const auto document = LoadGuidedDocument(documentFolder_, name, &problem);
    if (!document) return {500, {{"error", problem}}};
    const auto nodes = NodesToEncipher(request, document->nodes.size());
    if (!nodes) return BadRequest("encipher must be true, false or a list of element indices");

    Outcome<std::string> text{document->text, {}};
    if (!sessions_.With(id, [&](ServerSession& session) {
            if (nodes->empty()) return;
            if (session.stage != SessionStage::kEstablished) {
                text = {std::nullopt, "the session has no key yet"};
                return;
            }
            text = EncipherDocumentNodes(*document, session.sessionKey.view(), *nodes, multiField);
        })) {
        return UnknownSession();
    }
    if (!text.ok()) return Refused(text.error);
    return {200, {{"ok", true}, {"document", *text.value}}};
}

ServiceReply BankService::TransferDocument(const json& request) {
    return ServeDocument(request, "transfer", false);
}

ServiceReply BankService::CommonAccountDocument(const json& request) {
    const auto form = CommonAccountForm(request);
    if (!form) return BadRequest(kFormNames);
    return ServeDocument(request, *form, true);
}

ServiceReply BankService::CommonAccountCheck(const json& request) {
    if (documentFolder_.empty()) return {503, {{"error", "the bank has no documents folder"}}};
    std::string id;
    std::string enciphered;
    std::string problem;
    if (!Strings(request, {{"sessionId", &id}, {"encCommAcc", &enciphered}}, &problem)) {
        return BadRequest(problem);
    }
    bool bad = false;
    const auto clear = OptionalString(request, "clearCommAcc", &bad);
    if (bad) return BadRequest("clearCommAcc must be a string");
    const auto formName = CommonAccountForm(request);
    if (!formName) return BadRequest(kFormNames);
    const auto form = LoadGuidedDocument(documentFolder_, *formName, &problem);
    if (!form) return {500, {{"error", problem}}};

    Outcome<std::string> joined;
    if (!sessions_.With(id, [&](ServerSession& session) {
            joined = DecipherDialogText(session, enciphered);
        })) {
        return UnknownSession();
    }
    if (!joined.ok()) return Refused("encCommAcc: " + joined.error);
    if (clear && *clear != *joined.value) {
        return Refused("clearCommAcc is not what encCommAcc holds");
    }
    const auto values = ReadJoinedOutput(*form, *joined.value);
    if (!values.ok()) return Refused(values.error);
    json list = json::array();
    for (const EnteredValue& value : *values.value) {
        list.push_back({{"name", value.name}, {"value", value.value}});
    }
    return {
        200,
        {{"ok", true},
         {"message", "common account data accepted: " + std::to_string(list.size()) + " values"},
         {"values", std::move(list)}}};
}

ServiceReply BankService::GuidedTransfer(const json& request) {
    if (!verifier_) return {503, {{"error", "the bank simulator was started without a card"}}};
    std::string id;
    std::string enciphered;
    TransactionReport report;
    TransactionFields& f = report.fields;
    std::string problem;
    if (!Strings(request,
                 {{"sessionId", &id},
                  {"encImportAccount", &enciphered},
                  {"pFdid", &f.pFdid},
                  {"pFdChkCode", &f.pFdChkCode},
                  {"pMoney", &f.pMoney},
                  {"pAccount", &f.pAccount},
                  {"snum", &report.snum},
                  {"tac", &report.tac},
                  {"dateTime", &report.dateTime},
                  {"issuer", &report.issuer},
                  {"remark", &report.remark},
                  {"account", &report.account}},
                 &problem)) {
        return BadRequest(problem);
    }
    bool bad = false;
    const std::string serviceType =
        OptionalString(request, "serviceType", &bad).value_or(std::string("0"));
    const auto clear = OptionalString(request, "clearImportAccount", &bad);
    const auto pageCode = OptionalString(request, "pPCode", &bad);
    report.recordHex = OptionalString(request, "record", &bad);
    if (bad) return BadRequest("serviceType, clearImportAccount, pPCode and record are strings");
    if (serviceType.empty()) return BadRequest("serviceType must not be empty");

    Outcome<std::string> text;
    if (!sessions_.With(
            id, [&](ServerSession& session) { text = DecipherDialogText(session, enciphered); })) {
        return UnknownSession();
    }
    if (!text.ok()) return Refused("encImportAccount: " + text.error);
    if (clear && *clear != *text.value) {
        return Refused("clearImportAccount is not what encImportAccount holds");
    }
    const auto values = ParseGuidedTransferValues(*text.value);
    if (!values.ok()) return Refused(values.error);
    const GuidedTransferValues& v = *values.value;
    if (pageCode && *pageCode != v.processingCode) {
        return Refused("pPCode " + *pageCode + " is not the processing code " + v.processingCode +
                       " of the transfer values");
    }
    if (!IsProcessingCodeOfService(serviceType[0], v.processingCode)) {
        return Refused("processing code " + v.processingCode + " is not one of ServiceType " +
                       serviceType.substr(0, 1));
    }
    const auto kind = GuidedRecordKind(serviceType[0], v.processingCode);
    if (!kind) {
        return Refused("ServiceType " + serviceType.substr(0, 1) +
                       " sends no card record: there is no transaction to check");
    }
    report.kind = *kind;
    f.pPCode = v.processingCode;
    const std::string transferIn = RightAlignedAccount(v.account);
    if (*kind == TransactionKind::kTransfer) f.pImprtAccnt = transferIn;

    const Verdict verdict = verifier_->Verify(report);
    json reply = {{"ok", verdict.ok},
                  {"message", verdict.message},
                  {"processingCode", v.processingCode},
                  {"bankCode", v.bankCode},
                  {"transferInAccount", transferIn},
                  {"category", std::string(1, v.category)},
                  {"email", v.email},
                  {"record", *kind == TransactionKind::kTransfer ? "transfer" : "64-byte"}};
    if (verdict.ok) {
        reply["message"] = "guided transfer accepted: SNUM " + report.snum + ", processing code " +
                           v.processingCode + ", transfer-in " + v.bankCode + " " + transferIn;
    }
    return {200, std::move(reply)};
}

}  // namespace qorv::banksim
