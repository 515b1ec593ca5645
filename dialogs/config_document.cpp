#include "dialogs/config_document.h"

#include <algorithm>
#include <new>
#include <string>

#include "base/results.h"
#include "base/secure_wipe.h"
#include "crypto/key_store.h"
#include "crypto/session.h"
#include "dialogs/document_text.h"

namespace qorv::dialogs {
namespace {

constexpr uint8_t kFieldChainingMode = 1;

// A deciphered or copied content that is wiped on every exit.
class ContentText {
  public:
    ContentText() = default;
    ContentText(const ContentText&) = delete;
    ContentText& operator=(const ContentText&) = delete;
    ~ContentText() { SecureWipe(text); }
    std::u16string text;
};

char16_t FirstCharacter(const std::optional<std::u16string>& value) {
    return value && !value->empty() ? (*value)[0] : u'0';
}

int IntegerOr(const std::optional<std::u16string>& value, int absent) {
    return value ? ParseDocumentInteger(*value) : absent;
}

std::u16string LineBreaksFor(std::u16string_view name) {
    std::u16string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == u'%' && i + 1 < name.size() && name[i + 1] == u'%') {
            out += u"\r\n";
            ++i;
        } else {
            out += name[i];
        }
    }
    return out;
}

void ReadCommonValues(std::u16string_view document, std::u16string& caption, int& seconds,
                      std::optional<std::u16string>& secondsText, int& foxShow) {
    if (auto value = FindDialogValue(document, u"Caption")) caption = std::move(*value);
    if (auto value = FindDialogValue(document, u"TimeOut")) {
        seconds = ParseDocumentInteger(*value);
        secondsText = std::move(*value);
    }
    foxShow = IntegerOr(FindDialogValue(document, u"FoxShow"), 0);
}

// Checks and deciphers an element content. false when it yields no data
// (the message, if any, is already reported).
bool ContentPlainText(std::u16string_view content, bool enciphered, bool reportEmpty,
                      FieldDecipher& decipher, MessageSink& messages, ContentText& plain) {
    if (!enciphered) {
        plain.text.assign(content);
        return !plain.text.empty();
    }
    if (content.empty()) {
        if (reportEmpty) messages.ShowMessage(kMsgNoListData);
        return false;
    }
    if (content.size() % 16 != 0 || !decipher.Decipher(content, plain.text)) {
        SecureWipe(plain.text);
        messages.ShowMessage(kMsgListDataFailed);
        return false;
    }
    return !plain.text.empty();
}

void ReadEntryRow(std::u16string_view element, bool reviewMode, FieldDecipher& decipher,
                  MessageSink& messages, EntryRow& row) {
    ElementReader reader(element);
    const std::optional<std::u16string> name = reader.Attribute(u"Name");
    row.type = FirstCharacter(reader.Attribute(u"Type"));
    if (row.type < u'0' || row.type > u'7') row.type = u'0';
    row.keyType = FirstCharacter(reader.Attribute(u"KeyType"));
    row.ciph = FirstCharacter(reader.Attribute(u"Ciph"));
    row.min = IntegerOr(reader.Attribute(u"min"), 0);
    row.defaultValue = IntegerOr(reader.Attribute(u"Default"), 0);
    if (name) row.name = LineBreaksFor(*name);
    row.nameCopy = row.name.substr(0, kMaxKeptName);
    row.keyboardFlag = (row.keyType == u'3' || row.keyType == u'4') ? 1 : 0;

    const std::u16string_view content = reader.Content();
    ContentText plain;
    if (!ContentPlainText(content, row.IsEnciphered(), row.IsDropDown(), decipher, messages, plain))
        return;
    if (!row.IsDropDown()) {
        // Kept whole (ResolvePrefill bounds it), so a value that does not fit
        // is refused instead of being applied cut short.
        row.prefill.assign(content);
        row.hasPrefill = true;
        return;
    }
    if (reviewMode) {
        std::size_t keep = kMaxPrefill;
        if (row.defaultValue > 0 && !row.IsEnciphered() &&
            static_cast<std::size_t>(row.defaultValue) < keep)
            keep = static_cast<std::size_t>(row.defaultValue);
        row.prefill.assign(content.substr(0, keep));
        row.hasPrefill = true;
        return;
    }
    if (content.size() > kMaxEntryListData || plain.text.size() > kMaxEntryListData) {
        messages.ShowMessage(kMsgListDataFailed);
        return;
    }
    row.listData.assign(content);
    row.items = ParseListItems(plain.text, ListKind::kEntryRow);
    if (row.IsEnciphered())
        for (ListItem& item : row.items) SecureWipe(item.code);
    row.listEnabled = true;
    const int count = static_cast<int>(row.items.size());
    row.selectedIndex = row.defaultValue >= 0 && row.defaultValue < count ? row.defaultValue : -1;
}

void ReadTransferList(std::u16string_view element, std::size_t index, FieldDecipher& decipher,
                      MessageSink& messages, TransferDocument& doc) {
    TransferList& list = doc.lists[index];
    ElementReader reader(element);
    if (auto name = reader.Attribute(u"Name")) list.name = name->substr(0, kMaxKeptName);
    list.type = FirstCharacter(reader.Attribute(u"Type"));
    list.ciph = FirstCharacter(reader.Attribute(u"Ciph"));
    if (auto check = reader.Attribute(u"check")) doc.check = ParseDocumentInteger(*check);
    list.defaultValue = IntegerOr(reader.Attribute(u"Default"), 0);

    const std::u16string_view content = reader.Content();
    ContentText plain;
    if (!ContentPlainText(content, list.IsEnciphered(), true, decipher, messages, plain)) return;
    list.listData.assign(content);
    list.items =
        ParseListItems(plain.text, index == 2 ? ListKind::kBankList : ListKind::kAccountList);
    if (list.IsEnciphered())
        for (ListItem& item : list.items) SecureWipe(item.code);
    list.hasData = true;
    const int count = static_cast<int>(list.items.size());
    list.selectedIndex =
        list.defaultValue >= 0 && list.defaultValue < count ? list.defaultValue : 0;
}

bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsAsciiLetterOrDigit(char16_t c) {
    return IsAsciiDigit(c) || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool ReadEntry(const std::optional<std::u16string>& document, FieldDecipher& decipher,
               MessageSink& messages, EntryDocument& out) {
    if (!document || document->empty()) {
        messages.ShowMessage(kMsgCheckDocument);
        return false;
    }
    const std::u16string_view doc = *document;
    out.funType = IntegerOr(FindDialogValue(doc, u"FunType"), 0);
    if (auto title = FindDialogValue(doc, u"Title")) {
        out.title = std::move(*title);
        out.titleCopy = out.title.substr(0, kMaxKeptName);
    }
    ReadCommonValues(doc, out.caption, out.countdownSeconds, out.countdownText, out.foxShow);
    if (auto order = FindDialogValue(doc, u"KeyOrder");
        order && !order->empty() && ((*order)[0] == u'0' || (*order)[0] == u'1'))
        out.keyOrder = ParseDocumentInteger(*order);

    const std::size_t count = std::min(CountFieldElements(doc), kMaxEntryRows);
    out.rows.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        ReadEntryRow(FieldElementText(doc, i, kMaxEntryElementText), out.IsReviewMode(), decipher,
                     messages, out.rows[i]);
    return true;
}

bool ReadTransfer(const std::optional<std::u16string>& document, FieldDecipher& decipher,
                  MessageSink& messages, TransferDocument& out) {
    if (!document || document->empty()) {
        messages.ShowMessage(kMsgCheckDocument);
        return false;
    }
    const std::u16string_view doc = *document;
    ReadCommonValues(doc, out.caption, out.countdownSeconds, out.countdownText, out.foxShow);
    out.keyType = IntegerOr(FindDialogValue(doc, u"KeyType"), 0);
    if (out.keyType < 0 || out.keyType > 6) out.keyType = 0;
    out.addComm = IntegerOr(FindDialogValue(doc, u"AddComm"), 0);

    out.listCount = std::min(CountFieldElements(doc), kTransferLists);
    for (std::size_t i = 0; i < out.listCount; ++i)
        ReadTransferList(FieldElementText(doc, i, std::u16string_view::npos), i, decipher, messages,
                         out);
    return true;
}

// Runs a reader; running out of memory for the working values ends the
// dialog like a missing document, with the memory message.
template <typename Read>
bool Guarded(MessageSink& messages, Read read) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        messages.ShowMessage(kMsgNoDocumentMemory);
        return false;
    }
}

}  // namespace

std::u16string BadPrefillMessage(int rowNumber) {
    std::u16string text = u"第";
    for (char c : std::to_string(rowNumber)) text += static_cast<char16_t>(c);
    text += u"項之預設值錯誤,忽略";
    return text;
}

bool SessionFieldDecipher::Decipher(std::u16string_view hex, std::u16string& plain) {
    SecureWipe(plain);
    int32_t length = 0;
    const int32_t rc = crypto::SessionFieldCipher(
        sessionKeyHash_, cpukEncSessionKey_, crypto::FieldDirection::kDecrypt,
        crypto::kFieldInputHex, length, std::u16string(hex), plain, kFieldChainingMode);
    // The cipher loads the key store for its RSA step; whatever happened,
    // none of it stays in memory after the call.
    crypto::WipeKeyStore();
    if (rc != result::kOk) {
        SecureWipe(plain);
        return false;
    }
    return true;
}

EntryDocument::~EntryDocument() {
    for (EntryRow& row : rows) {
        WipeListItems(row.items);
        SecureWipe(row.prefill);
        SecureWipe(row.listData);
    }
}

TransferDocument::~TransferDocument() {
    for (TransferList& list : lists) {
        WipeListItems(list.items);
        SecureWipe(list.listData);
    }
}

bool ReadEntryDocument(const std::optional<std::u16string>& document, FieldDecipher& decipher,
                       MessageSink& messages, EntryDocument& out) {
    return Guarded(messages, [&] { return ReadEntry(document, decipher, messages, out); });
}

bool ReadTransferDocument(const std::optional<std::u16string>& document, FieldDecipher& decipher,
                          MessageSink& messages, TransferDocument& out) {
    return Guarded(messages, [&] { return ReadTransfer(document, decipher, messages, out); });
}

std::optional<ListItem> ReadSelectedItem(std::u16string_view listData, bool enciphered, int index,
                                         ListKind kind, FieldDecipher& decipher,
                                         MessageSink& messages) {
    ContentText plain;
    if (!enciphered) {
        plain.text.assign(listData);
    } else if (listData.size() % 16 != 0 || !decipher.Decipher(listData, plain.text)) {
        messages.ShowMessage(kMsgListDataFailed);
        return std::nullopt;
    }
    std::vector<ListItem> items = ParseListItems(plain.text, kind);
    std::optional<ListItem> selected;
    if (index >= 0 && static_cast<std::size_t>(index) < items.size())
        selected = std::move(items[static_cast<std::size_t>(index)]);
    WipeListItems(items);
    return selected;
}

PrefillResult ResolvePrefill(const EntryRow& row, int rowNumber, std::size_t maxLength,
                             FieldDecipher& decipher, MessageSink& messages,
                             std::u16string& plain) {
    SecureWipe(plain);
    if (!row.hasPrefill) return PrefillResult::kNone;
    bool good = true;
    if (!row.IsEnciphered()) {
        plain = row.prefill;
    } else {
        good = row.prefill.size() % 16 == 0 && decipher.Decipher(row.prefill, plain);
    }
    if (good && plain.size() > maxLength) good = false;
    if (good && row.type == u'3') good = std::all_of(plain.begin(), plain.end(), IsAsciiDigit);
    if (good && row.type == u'4')
        good = std::all_of(plain.begin(), plain.end(), IsAsciiLetterOrDigit);
    if (good) return PrefillResult::kApply;
    SecureWipe(plain);
    messages.ShowMessage(BadPrefillMessage(rowNumber));
    return PrefillResult::kStop;
}

}  // namespace qorv::dialogs
