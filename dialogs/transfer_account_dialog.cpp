#include "dialogs/transfer_account_dialog.h"

#include <algorithm>
#include <utility>

#include "base/results.h"
#include "base/secure_wipe.h"
#include "crypto/hex.h"
#include "crypto/key_store.h"
#include "crypto/session.h"
#include "dialogs/input_filters.h"
#include "dialogs/message_sink.h"

namespace qorv::dialogs {

namespace {

using qorv::SecureWipe;
namespace id = transfer_control;

constexpr int kKeypadDisplayType = 1;  // display mode 0
constexpr std::u16string_view kItemEnd = u";;";

constexpr char16_t kEmailNoteText[] =
    u"     Email通知最多五位收信人, 若收信人超過兩位, 請以分號( ;  )分隔";

// A text that is wiped on every exit.
struct WipedText {
    WipedText() = default;
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
    ~WipedText() { SecureWipe(text); }
    std::u16string text;
};

std::size_t ListIndex(TransferCategory category) {
    return static_cast<std::size_t>(category);
}

bool AllDigits(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// The index-th non-empty item of list data (empty items are not shown, so
// they are not counted either), at most maxLength characters.
std::u16string_view NthItem(std::u16string_view data, int index, std::size_t maxLength) {
    std::size_t begin = 0;
    int shown = 0;
    while (begin < data.size()) {
        std::size_t end = data.find(kItemEnd, begin);
        if (end == std::u16string_view::npos) end = data.size();
        if (end > begin) {
            if (shown == index) return data.substr(begin, std::min(end - begin, maxLength));
            ++shown;
        }
        begin = end + kItemEnd.size();
    }
    return {};
}

}  // namespace

int ListControlFor(TransferCategory category) {
    switch (category) {
        case TransferCategory::kAgreed:
            return id::kAgreedList;
        case TransferCategory::kCommon:
            return id::kCommonList;
        case TransferCategory::kOther:
            return id::kBankList;
    }
    return 0;
}

const TransferControl* TransferAccountView::Find(int control) const {
    const auto found = controls.find(control);
    return found == controls.end() ? nullptr : &found->second;
}

std::u16string TransferAccountView::TextOf(int control) const {
    const TransferControl* c = Find(control);
    return c != nullptr ? c->text : std::u16string();
}

bool TransferAccountView::IsVisible(int control) const {
    const TransferControl* c = Find(control);
    return c != nullptr && c->visible;
}

bool TransferAccountView::IsEnabled(int control) const {
    const TransferControl* c = Find(control);
    return c != nullptr && c->enabled;
}

bool TransferAccountView::IsChecked(int control) const {
    const TransferControl* c = Find(control);
    return c != nullptr && c->checked;
}

const TransferListView* TransferAccountView::List(int control) const {
    for (TransferCategory category :
         {TransferCategory::kAgreed, TransferCategory::kCommon, TransferCategory::kOther}) {
        if (ListControlFor(category) == control) return &lists[ListIndex(category)];
    }
    return nullptr;
}

TransferAccountDialog::TransferAccountDialog(FieldDecipher& decipher, FieldEncipher& encipher,
                                             MessageSink& messages)
    : decipher_(decipher), encipher_(encipher), messages_(messages) {
    // The template's controls and texts.
    const std::pair<int, const char16_t*> texts[] = {
        {id::kOk, u"確定"},
        {id::kCancel, u"取消"},
        {id::kAccountEdit, u""},
        {id::kEmailEdit, u""},
        {id::kAgreedFrame, u""},
        {id::kCommonFrame, u""},
        {id::kOtherFrame, u""},
        {id::kAccountLabel, u"轉入帳號"},
        {id::kKeypadField, u""},
        {id::kCountdown, u"40 秒後自動登出"},
        {id::kEmailLabel, u"Email通知"},
        {id::kEmailNote, kEmailNoteText},
        {id::kAgreedRadio, u"約定帳號"},
        {id::kCommonRadio, u"常用帳號"},
        {id::kOtherRadio, u"其他帳號"},
        {id::kKeypadRadio, u"使用圖形鍵盤"},
        {id::kKeyboardRadio, u"使用一般鍵盤"},
        {id::kAddToCommon, u"加入常用帳號"},
        {kTransferCorrectionKeyId, kCorrectionCaption},
        {kTransferClearKeyId, kClearCaption},
    };
    for (const auto& [control, text] : texts) view_.controls[control].text = text;
    for (int key = kFirstKeyId; key < kFirstKeyId + static_cast<int>(kDigitKeys); ++key)
        view_.controls[key];
}

TransferAccountDialog::~TransferAccountDialog() {
    WipeLists();
    SecureWipe(accountText_);
    SecureWipe(emailText_);
    SecureWipe(accountRecord_);
    SecureWipe(transferValues_);
    SecureWipe(encipheredTransferValues_);
    SecureWipe(encipheredAccountRecord_);
    for (auto& [control, state] : view_.controls) SecureWipe(state.text);
    SecureWipe(view_.keypadField.text);
}

std::optional<int> TransferAccountDialog::Open(const std::optional<std::u16string>& document) {
    if (opened_) return outcome_;
    opened_ = true;
    if (!ReadTransferDocument(document, decipher_, messages_, document_)) {
        End(kOutcomeCancelled);
        return outcome_;
    }
    view_.caption = document_.caption;
    for (std::size_t i = 0; i < kTransferLists; ++i) {
        const TransferList& list = document_.lists[i];
        if (!list.name.empty()) Control(id::kAgreedRadio + static_cast<int>(i)).text = list.name;
        TransferListView& shown = view_.lists[i];
        for (const ListItem& item : list.items) shown.items.push_back(item.display);
        shown.selected = list.items.empty() ? -1 : list.selectedIndex;
    }
    TransferControl& box = Control(id::kAddToCommon);
    if (document_.addComm == 1) {
        box.visible = false;
        box.enabled = false;
    } else if (document_.check == 1) {
        box.checked = true;
    }

    // The keypad: its secrets, the key order of the keyboard type (1, 4 and
    // 6 fixed) and a slot store of random bytes.
    entry_.setDisplayType(kKeypadDisplayType);
    entry_.setMaxLength(kMaxTransferKeypadEntry);
    if (keypad_.Open(document_.keyType) != 0 || keypad_.ScrambledCaptions(view_.keyCaptions) != 0) {
        End(kOutcomeCancelled);
        return outcome_;
    }
    entry_.Refill();
    view_.keypadField = {};
    view_.keypadField.mode = kModeCells;

    SelectCategory(TransferCategory::kAgreed);
    const int type = document_.keyType;
    ApplyKeyboard(!(type == 2 || type == 5 || type == 6), false);
    EvaluateOk();

    Control(id::kCountdown).visible = false;
    if (document_.countdownText)
        Control(id::kCountdown).text = CountdownLabel(*document_.countdownText);
    countdown_ = Countdown(document_.countdownSeconds);
    countdown_.Start();
    return std::nullopt;
}

bool TransferAccountDialog::KeyboardRadiosShown() const {
    return document_.keyType >= 3 && document_.keyType <= 6;
}

void TransferAccountDialog::SelectCategory(TransferCategory category) {
    if (outcome_ || !opened_) return;
    category_ = category;
    for (int c = 0; c < 3; ++c)
        Control(id::kAgreedRadio + c).checked = c == static_cast<int>(category);
    const bool radiosShown = KeyboardRadiosShown();
    const bool other = category == TransferCategory::kOther;
    for (const int radio : {id::kKeypadRadio, id::kKeyboardRadio}) {
        Control(radio).visible = radiosShown;
        Control(radio).enabled = other && radiosShown;
    }
    Control(id::kAddToCommon).enabled = other && document_.addComm != 1;
    categoryDigit_ = TransferCategoryDigit(category, false);
    if (category == TransferCategory::kCommon) SetEmailFromCommonItem();
}

void TransferAccountDialog::Focus(int control) {
    switch (control) {
        case id::kAgreedList:
            SelectCategory(TransferCategory::kAgreed);
            break;
        case id::kCommonList:
            SelectCategory(TransferCategory::kCommon);
            break;
        case id::kBankList:
        case id::kAccountEdit:
        case id::kKeypadField:
            SelectCategory(TransferCategory::kOther);
            break;
        default:
            break;
    }
}

void TransferAccountDialog::ChooseKeypad(bool keypad) {
    if (outcome_ || !opened_) return;
    const TransferControl& radio = Control(keypad ? id::kKeypadRadio : id::kKeyboardRadio);
    if (!radio.visible || !radio.enabled || keypad == keypadChosen_) return;
    ApplyKeyboard(keypad, true);
}

// The keyboard the dialog starts with takes no focus: that would select
// another account before the person chose anything.
void TransferAccountDialog::ApplyKeyboard(bool keypad, bool focus) {
    keypadChosen_ = keypad;
    Control(id::kKeypadRadio).checked = keypad;
    Control(id::kKeyboardRadio).checked = !keypad;
    for (int key = kFirstKeyId; key <= kTransferClearKeyId; ++key) Control(key).visible = keypad;
    Control(id::kKeypadField).visible = keypad;
    Control(id::kAccountEdit).visible = !keypad;
    if (keypad) {
        keypad_.Clear(entry_, view_.keypadField);
        EvaluateOk();
    } else {
        SecureWipe(accountText_);
        SecureWipe(Control(id::kAccountEdit).text);
        if (focus) RequestFocus(id::kAccountEdit);
    }
}

void TransferAccountDialog::SetAddToCommon(bool checked) {
    TransferControl& box = Control(id::kAddToCommon);
    if (outcome_ || !box.visible || !box.enabled) return;
    box.checked = checked;
}

void TransferAccountDialog::SelectListItem(int listControl, int index) {
    if (outcome_ || !opened_) return;
    for (TransferCategory category :
         {TransferCategory::kAgreed, TransferCategory::kCommon, TransferCategory::kOther}) {
        if (ListControlFor(category) != listControl) continue;
        TransferListView& list = view_.lists[ListIndex(category)];
        if (index < 0 || static_cast<std::size_t>(index) >= list.items.size()) return;
        list.selected = index;
        if (category == TransferCategory::kCommon) SetEmailFromCommonItem();
    }
}

// The selected common item's address, or an empty edit when it has none.
void TransferAccountDialog::SetEmailFromCommonItem() {
    const std::size_t common = ListIndex(TransferCategory::kCommon);
    const std::vector<ListItem>& items = document_.lists[common].items;
    const int selected = view_.lists[common].selected;
    SecureWipe(emailText_);
    if (selected >= 0 && static_cast<std::size_t>(selected) < items.size())
        emailText_ = items[static_cast<std::size_t>(selected)].email.substr(0, kMaxTransferEmail);
    Control(id::kEmailEdit).text = emailText_;
}

void TransferAccountDialog::PressKey(int controlId) {
    if (outcome_ || !opened_ || !keypadChosen_) return;
    if (controlId < kFirstKeyId || controlId > kTransferClearKeyId) return;
    if (category_ != TransferCategory::kOther) SelectCategory(TransferCategory::kOther);
    if (keypad_.PressKey(entry_, controlId, view_.keypadField) == KeyOutcome::kEntryChanged)
        EvaluateOk();
}

// Typing sets OK by the keys themselves: an accepted character enables it,
// backspace with fewer than 2 characters left disables it, Delete enables
// it only while more than 1 character remains.
void TransferAccountDialog::AccountKey(AccountEditKey key) {
    if (outcome_ || !opened_) return;
    TransferControl& ok = Control(id::kOk);
    switch (key) {
        case AccountEditKey::kCharacter:
            ok.enabled = true;
            break;
        case AccountEditKey::kBackspace:
            if (accountText_.size() < 2) ok.enabled = false;
            break;
        case AccountEditKey::kDelete:
            ok.enabled = accountText_.size() > 1;
            break;
    }
}

void TransferAccountDialog::SetAccountText(std::u16string_view text) {
    if (outcome_) return;
    SecureWipe(accountText_);
    accountText_.assign(text.substr(0, kMaxTransferAccount));
    Control(id::kAccountEdit).text = accountText_;
}

void TransferAccountDialog::SetEmailText(std::u16string_view text) {
    if (outcome_) return;
    SecureWipe(emailText_);
    emailText_.assign(text.substr(0, kMaxTransferEmail));
    Control(id::kEmailEdit).text = emailText_;
}

// OK is possible once the keypad holds a digit, or when there is an agreed
// or a common account to choose.
void TransferAccountDialog::EvaluateOk() {
    Control(id::kOk).enabled = entry_.count() > 0 ||
                               document_.lists[ListIndex(TransferCategory::kAgreed)].hasData ||
                               document_.lists[ListIndex(TransferCategory::kCommon)].hasData;
}

void TransferAccountDialog::RequestFocus(int control) {
    view_.focusControl = control;
    ++view_.focusSerial;
}

void TransferAccountDialog::Message(std::u16string_view text) {
    messages_.ShowMessage(std::u16string(text), kMessageCaption);
}

void TransferAccountDialog::Tick() {
    if (outcome_ || !opened_) return;
    const TickEvent event = countdown_.Tick();
    if (event == TickEvent::kNone) return;
    TransferControl& label = Control(id::kCountdown);
    label.visible = countdown_.labelVisible();
    label.text = countdown_.labelText();
    if (event == TickEvent::kExpired) {
        Message(kMsgTimedOut);
        End(kOutcomeCancelled);
    }
}

void TransferAccountDialog::PressCancel() {
    if (outcome_ || !opened_) return;
    End(kOutcomeCancelled);
}

std::optional<std::u16string> TransferAccountDialog::TakeOtherAccount() {
    if (!keypadChosen_) {
        if (accountText_.empty()) {
            Message(kMsgCheckAccount);
            return std::nullopt;
        }
        if (!AllDigits(accountText_)) {
            Message(kMsgAccountMustBeDigits);
            SecureWipe(accountText_);
            SecureWipe(Control(id::kAccountEdit).text);
            RequestFocus(id::kAccountEdit);
            return std::nullopt;
        }
        return accountText_;
    }
    std::u16string digits;
    if (entry_.count() == 0 || keypad_.Read(entry_, digits) != 0 || digits.empty()) {
        SecureWipe(digits);
        Message(kMsgCheckAccount);
        return std::nullopt;
    }
    return digits;
}

std::optional<std::u16string> TransferAccountDialog::SelectedItem(TransferCategory category,
                                                                  std::size_t maxLength) {
    const TransferList& list = document_.lists[ListIndex(category)];
    const int index = view_.lists[ListIndex(category)].selected;
    if (!list.hasData || index < 0) return std::u16string();
    WipedText plain;
    if (!list.IsEnciphered()) {
        plain.text = list.listData;
    } else if (list.listData.size() % 16 != 0 || !decipher_.Decipher(list.listData, plain.text)) {
        Message(kMsgListDataFailed);
        return std::nullopt;
    }
    return std::u16string(NthItem(plain.text, index, maxLength));
}

void TransferAccountDialog::PressOk() {
    if (outcome_ || !opened_ || !Control(id::kOk).enabled) return;
    SecureWipe(accountRecord_);
    SecureWipe(encipheredAccountRecord_);

    WipedText account;
    bool addToCommon = Control(id::kAddToCommon).checked;
    if (category_ == TransferCategory::kOther) {
        std::optional<std::u16string> taken = TakeOtherAccount();
        if (!taken) return;
        account.text = std::move(*taken);
        addToCommon = Control(id::kAddToCommon).checked;
    }
    categoryDigit_ = TransferCategoryDigit(category_, addToCommon);

    const bool other = category_ == TransferCategory::kOther;
    std::optional<std::u16string> item =
        SelectedItem(category_, other ? kMaxBankItemLength : kMaxAccountItemLength);
    if (!item) {
        // The list could not be read again: nothing is built.
        WipeLists();
        End(kOutcomeOk);
        return;
    }
    WipedText selected;
    selected.text = std::move(*item);
    const std::u16string_view email = std::u16string_view(emailText_).substr(0, kMaxEmailLength);
    TransferChoice choice =
        other ? BuildOtherAccountChoice(selected.text, account.text, addToCommon, email)
              : BuildListedAccountChoice(category_, selected.text, email);
    accountRecord_ = std::move(choice.accountRecord);
    transferValues_ = std::move(choice.transferValues);
    Encipher();
    WipeLists();
    End(kOutcomeOk);
}

// First the account record, then the transfer values; a failure skips what
// is left and leaves its text empty.
void TransferAccountDialog::Encipher() {
    if (!encipher_.Encipher(accountRecord_, encipheredAccountRecord_)) {
        SecureWipe(encipheredAccountRecord_);
        Message(kMsgEncipherFailed);
        return;
    }
    if (!encipher_.Encipher(transferValues_, encipheredTransferValues_)) {
        SecureWipe(encipheredTransferValues_);
        Message(kMsgEncipherFailed);
    }
}

void TransferAccountDialog::WipeLists() {
    for (TransferListView& list : view_.lists) {
        for (std::u16string& item : list.items) SecureWipe(item);
        list.items.clear();
        list.selected = -1;
    }
    for (TransferList& list : document_.lists) {
        WipeListItems(list.items);
        SecureWipe(list.listData);
    }
}

void TransferAccountDialog::End(int outcome) {
    countdown_.Stop();
    outcome_ = outcome;
    Control(id::kOk).enabled = false;
    keypad_.Clear(entry_, view_.keypadField);
}

std::u16string TransferAccountDialog::TakeAccountRecord() {
    std::u16string record = accountRecord_;
    SecureWipe(accountRecord_);
    return record;
}

}  // namespace qorv::dialogs
