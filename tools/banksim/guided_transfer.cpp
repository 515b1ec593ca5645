#include "tools/banksim/guided_transfer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/utf16_text.h"

namespace qorv::banksim {

namespace {

constexpr std::string_view kSeparator = "||";
constexpr std::size_t kAccountLength = 16;
constexpr std::size_t kMaxBankCode = 8;

bool Digits(std::string_view text, std::size_t least, std::size_t most) {
    return text.size() >= least && text.size() <= most &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

Outcome<GuidedTransferValues> Refuse(std::string why) {
    return {std::nullopt, "transfer values: " + std::move(why)};
}

}  // namespace

Outcome<std::string> DecipherDialogText(const ServerSession& session, const std::string& hex) {
    const auto plain =
        SessionCipherHex(session, CipherUse::kDialogField, CipherDirection::kDecipher, hex);
    if (!plain.ok()) return plain;
    const SecretBytes units(FromHex(*plain.value).value_or(Bytes{}));
    auto text = Utf8FromUtf16Le(units.view());
    if (!text) return {std::nullopt, "the deciphered value is not UTF-16 text"};
    return {std::move(text), {}};
}

Outcome<GuidedTransferValues> ParseGuidedTransferValues(std::string_view text) {
    if (!text.ends_with(kSeparator)) return Refuse("do not end in ||");
    std::vector<std::string_view> fields;
    for (std::string_view rest = text.substr(0, text.size() - kSeparator.size());;) {
        const std::size_t end = rest.find(kSeparator);
        fields.push_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + kSeparator.size());
    }
    if (fields.size() != 4 && fields.size() != 5) {
        return Refuse("have " + std::to_string(fields.size()) + " fields, not 4 or 5");
    }
    GuidedTransferValues values;
    if (!Digits(fields[0], 1, kMaxBankCode)) return Refuse("the bank code is not 1-8 digits");
    if (!Digits(fields[1], 1, kAccountLength)) return Refuse("the account is not 1-16 digits");
    if (fields[2].size() != 1 || fields[2][0] < '0' || fields[2][0] > '3') {
        return Refuse("the category is not 0-3");
    }
    if (!Digits(fields[3], 4, 4)) return Refuse("the processing code is not 4 digits");
    values.bankCode = fields[0];
    values.account = fields[1];
    values.category = fields[2][0];
    values.processingCode = fields[3];
    if (fields.size() == 5) values.email = fields[4];
    return {std::move(values), {}};
}

bool IsProcessingCodeOfService(char serviceType, std::string_view processingCode) {
    static constexpr std::array<std::array<std::string_view, 4>, 3> kColumns = {{
        {"2523", "2521", "2522", "2524"},
        {"2563", "2561", "2562", "2564"},
        {"2523", "2561", "2562", "2564"},
    }};
    const std::size_t column = serviceType == '1' ? 1 : serviceType == '2' ? 2 : 0;
    return std::find(kColumns[column].begin(), kColumns[column].end(), processingCode) !=
           kColumns[column].end();
}

std::optional<TransactionKind> GuidedRecordKind(char serviceType, std::string_view processingCode) {
    switch (serviceType) {
        case '0':
            return TransactionKind::kTransfer;
        case '1':
            return TransactionKind::kWithdraw;
        case '2':
            return processingCode == "2523" ? TransactionKind::kTransfer
                                            : TransactionKind::kWithdraw;
        default:
            return std::nullopt;
    }
}

std::string RightAlignedAccount(std::string_view account) {
    account = account.substr(0, kAccountLength);
    return std::string(kAccountLength - account.size(), '0') + std::string(account);
}

}  // namespace qorv::banksim
