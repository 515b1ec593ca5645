// The configuration documents the bank hands to the component's guided
// procedures (one file each in the documents folder), and what the bank reads
// back from them:
//
//   transfer               agreed, common and bank lists of the transfer dialog
//   common-account         a new common account: bank, account, nickname and the card PIN
//   common-account-pinpad  the same form without the PIN field, for PIN-pad readers
//
// The bank writes the documents itself, so it reads them strictly: every
// element <AtmNode ...>content</AtmNode> or <AtmNode .../> with its attributes
// in double quotes and a Ciph attribute. Enciphering a node replaces its
// content by the dialog field cipher of its UTF-16 code units (hexadecimal)
// and sets Ciph to "1", which is how the component expects session-enciphered
// lists and pre-filled values.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/banksim/key_agreement.h"

namespace qorv::banksim {

struct DocumentNode {
    std::map<std::string, std::string> attributes;  // names as written
    std::size_t contentBegin = 0;                   // byte offsets into the document text
    std::size_t contentEnd = 0;
    std::size_t ciphBegin = 0;  // the Ciph attribute's value
    std::size_t ciphEnd = 0;

    std::string Attribute(const std::string& name) const;  // "" when absent
    long Number(const std::string& name) const;            // 0 when absent or not a number
    // Drop-down rows: Type "0", "1", "2" (or absent).
    bool IsList() const;
};

struct GuidedDocument {
    std::string text;
    std::vector<DocumentNode> nodes;
    std::string_view Content(const DocumentNode& node) const {
        return std::string_view(text).substr(node.contentBegin,
                                             node.contentEnd - node.contentBegin);
    }
};

// The documents the bank serves, by name; nothing for any other name.
std::optional<std::string> DocumentFileName(std::string_view name);

std::optional<GuidedDocument> ParseGuidedDocument(std::string text, std::string* error);
std::optional<GuidedDocument> LoadGuidedDocument(const std::string& folder, std::string_view name,
                                                 std::string* error);

// Limits of the multi-field dialog: list data, and a pre-filled value.
inline constexpr std::size_t kMaxListContent = 4999;
inline constexpr std::size_t kMaxPrefilledValue = 128;

// The document with the content of `nodes` (indices) enciphered under the
// session key. With `multiField`, a result the multi-field dialog could not
// take (list data or pre-filled value over its limit) is refused.
Outcome<std::string> EncipherDocumentNodes(const GuidedDocument& document,
                                           std::span<const uint8_t> sessionKey,
                                           const std::vector<std::size_t>& nodes, bool multiField);

// The item codes of list data: "display%%code;;..." gives each code (after the
// item's last "%%", trimmed); items without "%%" give none.
std::vector<std::string> ListItemCodes(std::string_view listData);

// One value the customer entered, under its row's label.
struct EnteredValue {
    std::string name;
    std::string value;
};

// Splits the joined output of the multi-field dialog by the form's rows and
// checks each value against its row: a list row gives the first three
// characters of one of its codes, digit rows (Type 3) only digits, letter
// rows (Type 4) only letters and digits, lengths between min and the row's
// greatest length. The card PIN row (Type 6) gives nothing.
Outcome<std::vector<EnteredValue>> ReadJoinedOutput(const GuidedDocument& form,
                                                    std::string_view joined);

}  // namespace qorv::banksim
