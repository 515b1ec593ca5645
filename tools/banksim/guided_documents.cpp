#include "tools/banksim/guided_documents.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/session_cipher.h"
#include "tools/banksim/utf16_text.h"

namespace qorv::banksim {

namespace {

constexpr std::string_view kOpen = "<AtmNode";
constexpr std::string_view kClose = "</AtmNode>";
constexpr std::string_view kCodeMark = "%%";
constexpr std::string_view kItemEnd = ";;";
constexpr std::string_view kFieldEnd = "||";
constexpr std::size_t kListCodeLength = 3;
constexpr std::size_t kMaxDocumentBytes = 256 * 1024;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// Reads `name="value"` pairs from an opening tag's attribute text.
bool ReadAttributes(std::string_view tag, std::size_t tagOffset, DocumentNode& node,
                    std::string* error) {
    std::size_t at = 0;
    while (true) {
        while (at < tag.size() && std::isspace(static_cast<unsigned char>(tag[at]))) ++at;
        if (at >= tag.size()) return true;
        const std::size_t nameBegin = at;
        while (at < tag.size() && IsNameChar(tag[at])) ++at;
        const std::string name(tag.substr(nameBegin, at - nameBegin));
        if (name.empty() || at + 1 >= tag.size() || tag[at] != '=' || tag[at + 1] != '"') {
            *error = "an attribute is not written name=\"value\"";
            return false;
        }
        const std::size_t valueBegin = at + 2;
        const std::size_t valueEnd = tag.find('"', valueBegin);
        if (valueEnd == std::string_view::npos) {
            *error = "attribute " + name + " has no closing quote";
            return false;
        }
        if (!node.attributes.emplace(name, tag.substr(valueBegin, valueEnd - valueBegin)).second) {
            *error = "attribute " + name + " is written twice";
            return false;
        }
        if (name == "Ciph") {
            node.ciphBegin = tagOffset + valueBegin;
            node.ciphEnd = tagOffset + valueEnd;
        }
        at = valueEnd + 1;
    }
}

std::size_t CodePoints(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

template <typename Test>
bool AllOf(std::string_view text, Test test) {
    return std::all_of(text.begin(), text.end(),
                       [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

// The next value of the joined output: the text up to `end`, which is consumed.
std::optional<std::string_view> TakeUntil(std::string_view& rest, std::string_view end) {
    const std::size_t found = rest.find(end);
    if (found == std::string_view::npos) return std::nullopt;
    const std::string_view value = rest.substr(0, found);
    rest.remove_prefix(found + end.size());
    return value;
}

}  // namespace

std::string DocumentNode::Attribute(const std::string& name) const {
    const auto found = attributes.find(name);
    return found == attributes.end() ? std::string() : found->second;
}

long DocumentNode::Number(const std::string& name) const {
    const std::string text = Attribute(name);
    long value = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    return problem == std::errc() && end == text.data() + text.size() ? value : 0;
}

bool DocumentNode::IsList() const {
    const std::string type = Attribute("Type");
    return type.empty() || type[0] == '0' || type[0] == '1' || type[0] == '2' || type[0] > '7';
}

std::optional<std::string> DocumentFileName(std::string_view name) {
    for (const char* known : {"transfer", "common-account", "common-account-pinpad"}) {
        if (name == known) return std::string(known) + ".xml";
    }
    return std::nullopt;
}

std::optional<GuidedDocument> ParseGuidedDocument(std::string text, std::string* error) {
    GuidedDocument document;
    document.text = std::move(text);
    const std::string_view all = document.text;
    for (std::size_t at = all.find(kOpen); at != std::string_view::npos; at = all.find(kOpen, at)) {
        const std::size_t number = document.nodes.size() + 1;
        const auto fail = [&](const std::string& why) {
            *error = "AtmNode " + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        const std::size_t tagBegin = at + kOpen.size();
        const std::size_t tagEnd = all.find('>', tagBegin);
        if (tagEnd == std::string_view::npos) return fail("the element is not closed");
        DocumentNode node;
        const bool empty = all[tagEnd - 1] == '/';
        const std::size_t attributesEnd = empty ? tagEnd - 1 : tagEnd;
        if (!ReadAttributes(all.substr(tagBegin, attributesEnd - tagBegin), tagBegin, node,
                            error)) {
            return fail(*error);
        }
        if (node.ciphEnd == 0) return fail("has no Ciph attribute");
        if (empty) {
            node.contentBegin = node.contentEnd = tagEnd + 1;
            at = tagEnd + 1;
        } else {
            const std::size_t close = all.find(kClose, tagEnd + 1);
            if (close == std::string_view::npos) return fail("has no </AtmNode>");
            node.contentBegin = tagEnd + 1;
            node.contentEnd = close;
            // The component trims the content; so does the bank.
            while (node.contentBegin < node.contentEnd &&
                   static_cast<unsigned char>(all[node.contentBegin]) <= ' ') {
                ++node.contentBegin;
            }
            while (node.contentEnd > node.contentBegin &&
                   static_cast<unsigned char>(all[node.contentEnd - 1]) <= ' ') {
                --node.contentEnd;
            }
            at = close + kClose.size();
        }
        document.nodes.push_back(std::move(node));
    }
    return document;
}

std::optional<GuidedDocument> LoadGuidedDocument(const std::string& folder, std::string_view name,
                                                 std::string* error) {
    const auto file = DocumentFileName(name);
    if (!file) {
        *error = "no document named " + std::string(name);
        return std::nullopt;
    }
    const std::string path = folder + "/" + *file;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in || text.str().size() > kMaxDocumentBytes) {
        *error = "cannot read " + path;
        return std::nullopt;
    }
    auto document = ParseGuidedDocument(text.str(), error);
    if (!document) *error = path + ": " + *error;
    return document;
}

Outcome<std::string> EncipherDocumentNodes(const GuidedDocument& document,
                                           std::span<const uint8_t> sessionKey,
                                           const std::vector<std::size_t>& nodes, bool multiField) {
    Outcome<std::string> result;
    // Pieces to put in place of document spans, in document order.
    std::map<std::size_t, std::pair<std::size_t, std::string>> replacements;
    for (const std::size_t index : nodes) {
        if (index >= document.nodes.size()) {
            result.error = "the document has no AtmNode " + std::to_string(index);
            return result;
        }
        const DocumentNode& node = document.nodes[index];
        const std::string_view content = document.Content(node);
        if (content.empty()) continue;  // nothing to hide; the element stays plain
        const auto units = Utf16LeFromUtf8(content);
        if (!units) {
            result.error = "AtmNode " + std::to_string(index) + " is not UTF-8";
            return result;
        }
        const auto cipher = RunSessionCipher(sessionKey, CipherUse::kDialogField,
                                             CipherDirection::kEncipher, *units);
        if (!cipher) {
            result.error = "the session key cannot encipher";
            return result;
        }
        std::string hex = ToHex(cipher->view());
        const std::size_t limit = node.IsList() ? kMaxListContent : kMaxPrefilledValue;
        if (multiField && hex.size() > limit) {
            result.error = "AtmNode " + std::to_string(index) + " enciphered takes " +
                           std::to_string(hex.size()) + " characters, more than the dialog's " +
                           std::to_string(limit);
            return result;
        }
        replacements[node.ciphBegin] = {node.ciphEnd, "1"};
        replacements[node.contentBegin] = {node.contentEnd, std::move(hex)};
    }
    std::string text;
    std::size_t copied = 0;
    for (const auto& [begin, replacement] : replacements) {
        text.append(document.text, copied, begin - copied);
        text.append(replacement.second);
        copied = replacement.first;
    }
    text.append(document.text, copied);
    result.value = std::move(text);
    return result;
}

std::vector<std::string> ListItemCodes(std::string_view listData) {
    std::vector<std::string> codes;
    while (!listData.empty()) {
        const std::size_t end = listData.find(kItemEnd);
        const std::string_view item = listData.substr(0, end);
        const std::size_t mark = item.rfind(kCodeMark);
        if (mark != std::string_view::npos) {
            codes.emplace_back(Trimmed(item.substr(mark + kCodeMark.size())));
        }
        if (end == std::string_view::npos) break;
        listData.remove_prefix(end + kItemEnd.size());
    }
    return codes;
}

Outcome<std::vector<EnteredValue>> ReadJoinedOutput(const GuidedDocument& form,
                                                    std::string_view joined) {
    Outcome<std::vector<EnteredValue>> result;
    std::vector<EnteredValue> values;
    std::string_view rest = joined;
    for (std::size_t row = 0; row < form.nodes.size(); ++row) {
        const DocumentNode& node = form.nodes[row];
        const std::string name = node.Attribute("Name");
        const auto refuse = [&](const std::string& why) {
            result.error = "row " + std::to_string(row + 1) + " (" + name + "): " + why;
            return result;
        };
        const std::string type = node.Attribute("Type");
        const std::string keyType = node.Attribute("KeyType");
        const bool secret = type == "6" || type == "7";
        const bool lettersKeypad = keyType == "7" || keyType == "8";
        if (node.IsList()) {
            const auto value = TakeUntil(rest, kFieldEnd);
            if (!value) return refuse("no value before ||");
            const auto codes = ListItemCodes(form.Content(node));
            const bool listed = std::any_of(codes.begin(), codes.end(), [&](const auto& code) {
                return std::string_view(code).substr(0, kListCodeLength) == *value;
            });
            if (!listed) return refuse("\"" + std::string(*value) + "\" is not a code of its list");
            values.push_back({name, std::string(*value)});
            continue;
        }
        if (type == "6") {
            // The card PIN stays in the dialog; outside the letters keypad its
            // field is there, empty.
            if (lettersKeypad) continue;
            const auto empty = TakeUntil(rest, kFieldEnd);
            if (!empty || !empty->empty()) return refuse("the card PIN's field is not empty");
            continue;
        }
        const auto value = TakeUntil(rest, lettersKeypad ? kItemEnd : kFieldEnd);
        if (!value) return refuse(std::string("no value before ") + (lettersKeypad ? ";;" : "||"));
        const std::size_t length = CodePoints(*value);
        if (length < static_cast<std::size_t>(std::max(0L, node.Number("min")))) {
            return refuse("shorter than " + node.Attribute("min"));
        }
        if (node.Number("Default") > 0 &&
            length > static_cast<std::size_t>(node.Number("Default"))) {
            return refuse("longer than " + node.Attribute("Default"));
        }
        if (type == "3" && !AllOf(*value, [](unsigned char c) { return std::isdigit(c); }))
            return refuse("must be digits");
        if (type == "4" && !AllOf(*value, [](unsigned char c) { return std::isalnum(c); }))
            return refuse("must be letters and digits");
        values.push_back({name, secret ? std::string(length, '*') : std::string(*value)});
    }
    if (!rest.empty()) {
        result.error =
            "the joined output goes on after the last row: \"" + std::string(rest) + "\"";
        return result;
    }
    result.value = std::move(values);
    return result;
}

}  // namespace qorv::banksim
