#include "dialogs/multi_field_dialog.h"

#include <algorithm>
#include <new>

#include "base/results.h"
#include "base/secure_wipe.h"
#include "crypto/hex.h"
#include "crypto/key_store.h"
#include "crypto/session.h"
#include "dialogs/transfer_values.h"

namespace qorv::dialogs {

namespace {

// Puts a freshly built display text in place of the shown one. Swapping
// rather than moving: a short text lives inside the string object, and a
// move would leave its characters behind in `fresh`; both are wiped here.
void ReplaceDisplay(FieldDisplay& shown, FieldDisplay& fresh) {
    SecureWipe(shown.text);
    shown.text.swap(fresh.text);
    shown.mode = fresh.mode;
    shown.length = fresh.length;
    SecureWipe(fresh.text);
}

constexpr int32_t kStatusSuccess = 0x9000;
constexpr std::size_t kMaxReviewText = kMaxPrefill;

constexpr int kRowsTop = 52;
constexpr int kFieldLeft = 240;

std::u16string Number(int value) {
    std::u16string text;
    for (const char c : std::to_string(value)) text += static_cast<char16_t>(c);
    return text;
}

bool IsSecretType(char16_t type) {
    return type == u'6' || type == u'7';
}

void AppendTagged(std::u16string& text, int number, std::u16string_view value) {
    const std::u16string n = Number(number);
    text += u"<Tag" + n + u">";
    text += value;
    text += u"</Tag" + n + u">";
}

// A row value that is wiped whatever way OK leaves.
struct RowValues {
    std::vector<std::u16string> plain;
    explicit RowValues(std::size_t rows) : plain(rows) {}
    RowValues(const RowValues&) = delete;
    RowValues& operator=(const RowValues&) = delete;
    ~RowValues() {
        for (std::u16string& value : plain) SecureWipe(value);
    }
};

}  // namespace

std::u16string EnterItemMessage(int rowNumber) {
    return u"請輸入第 " + Number(rowNumber) + u" 項資料";
}

RowSource SourceOf(const EntryRow& row) {
    if (row.IsDropDown()) return RowSource::kList;
    switch (row.keyType) {
        case u'0':
        case u'1':
            return RowSource::kDigitsKeypad;
        case u'2':
            return RowSource::kEdit;
        case u'3':
        case u'4':
        case u'5':
        case u'6':
            return row.keyboardFlag == 1 ? RowSource::kDigitsKeypad : RowSource::kEdit;
        default:
            // "7", "8" and key types documents do not use: the whole keypad,
            // whatever the keyboard flag, so the row always takes input.
            return RowSource::kLettersKeypad;
    }
}

bool OffersKeyboardChoice(const EntryRow& row) {
    const bool switchable = row.keyType >= u'3' && row.keyType <= u'6';
    const bool fixedType = row.type == u'0' || row.type == u'1' || row.type == u'2' ||
                           row.type == u'4' || row.type == u'5';
    return switchable && !fixedType;
}

int StartKeyboardFlag(const EntryRow& row) {
    return row.keyType == u'2' || row.keyType == u'5' || row.keyType == u'6' ? 0 : 1;
}

int EntryDisplayType(const EntryRow& row) {
    if (IsSecretType(row.type)) return 3;
    if (row.type == u'5') return kModeScrambledText;
    return 1;
}

EntryLayout MultiFieldLayout(std::size_t rowCount) {
    rowCount = std::min(rowCount, kMaxEntryRows);
    EntryLayout layout;
    layout.title = {20, 12, 640, 28};
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
        const int top = kRowsTop + static_cast<int>(i) * kEntryRowHeight;
        layout.labels[i] = {20, top + 3, 210, 30};
        layout.fields[i] = {kFieldLeft, top + 4, 420, 28};
    }
    const int below = kRowsTop + static_cast<int>(rowCount) * kEntryRowHeight;
    layout.hint = {20, below + 8, 640, 22};
    layout.useKeyboard = {20, layout.hint.bottom() + 4, 170, 24};
    layout.useKeypad = {200, layout.hint.bottom() + 4, 170, 24};
    layout.keypad = {20, layout.useKeyboard.bottom() + 6, 640, 136};
    layout.countdown = {20, layout.keypad.bottom() + 12, 260, 34};
    layout.ok = {440, layout.keypad.bottom() + 12, 100, 34};
    layout.cancel = {560, layout.keypad.bottom() + 12, 100, 34};
    layout.height = layout.ok.bottom() + 16;
    return layout;
}

std::u16string MultiFieldViewModel::TextOf(int control) const {
    using namespace entry_control;
    switch (control) {
        case kOk:
            return okText;
        case kCancel:
            return cancelText;
        case kTitle:
            return title;
        case kHint:
            return hint;
        case kCountdown:
            return countdown;
        case kUseKeyboard:
            return kUseKeyboardCaption;
        case kUseKeypad:
            return kUseKeypadCaption;
        default:
            break;
    }
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
        if (control == RowLabel(i)) return rows[i].label;
        if (control == RowSecureField(i)) return rows[i].field.text;
    }
    return {};
}

bool MultiFieldViewModel::IsVisible(int control) const {
    using namespace entry_control;
    switch (control) {
        case kHint:
            return !hint.empty();
        case kCountdown:
            return countdownVisible;
        case kUseKeyboard:
        case kUseKeypad:
            return radiosVisible;
        default:
            break;
    }
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
        const EntryRowView& row = rows[i];
        if (control == RowLabel(i)) return row.visible;
        if (control == RowSecureField(i)) return row.visible && row.fieldVisible;
        if (control == RowDropDown(i)) return row.visible && row.dropDownVisible;
        if (control == RowEdit(i)) return row.visible && row.editVisible;
    }
    if (control >= kFirstKeyId && control < kFirstKeyId + static_cast<int>(kDigitKeys))
        return digitKeysVisible;
    if (control == kEntryCorrectionKeyId || control == kEntryClearKeyId) return digitKeysVisible;
    if (control >= kFirstKeyId + static_cast<int>(kDigitKeys) &&
        control < kFirstKeyId + static_cast<int>(kDigitKeys + kLetterKeys))
        return letterKeysVisible;
    if (control == kEntryCaseKeyId) return letterKeysVisible;
    return true;
}

bool MultiFieldViewModel::IsEnabled(int control) const {
    using namespace entry_control;
    if (control == kOk) return okEnabled;
    for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
        if (control == RowSecureField(i)) return rows[i].fieldEnabled;
        if (control == RowDropDown(i)) return rows[i].dropDownEnabled;
        if (control == RowEdit(i)) return rows[i].editEnabled;
    }
    return true;
}

std::u16string BuildConfirmationText(std::u16string_view title,
                                     std::span<const ConfirmationRow> rows, std::size_t limit) {
    static constexpr std::u16string_view kEnd = u"</MSG>";
    std::u16string text = u"<MSG> ";
    AppendTagged(text, 1, title.substr(0, kMaxKeptName));
    text += u" ";
    AppendTagged(text, 2, u"※請核常用帳號資料，並依畫面指示進行操作。");
    text += u" ";
    AppendTagged(text, 3, u" ");
    text += u" ";
    int number = 4;
    for (const ConfirmationRow& row : rows) {
        std::u16string pair;
        AppendTagged(pair, number, row.name);
        pair += u" ";
        AppendTagged(pair, number + 1, row.value);
        pair += u" ";
        const bool fits = text.size() + pair.size() + kEnd.size() <= limit;
        if (fits) text += pair;
        SecureWipe(pair);
        if (!fits) break;
        number += 2;
    }
    text += kEnd;
    return text;
}

MultiFieldDialog::MultiFieldDialog(std::optional<std::u16string> document,
                                   MultiFieldServices services)
    : documentText_(std::move(document)), services_(services) {}

MultiFieldDialog::~MultiFieldDialog() {
    Wipe();
    SecureWipe(confirmation_);
    WipeHostBlock(confirmationRows_);
    SecureWipe(joined_);
    SecureWipe(encipheredHex_);
    if (documentText_) SecureWipe(*documentText_);
}

int MultiFieldDialog::keyboardFlag(std::size_t row) const {
    return row < rowCount() ? doc_.rows[row].keyboardFlag : 0;
}

std::size_t MultiFieldDialog::entryCount(std::size_t row) const {
    return row < kMaxEntryRows ? entries_[row].count() : 0;
}

std::u16string_view MultiFieldDialog::editText(std::size_t row) const {
    return row < kMaxEntryRows ? std::u16string_view(edits_[row]) : std::u16string_view();
}

bool MultiFieldDialog::TakesInput(std::size_t row) const {
    if (row >= rowCount()) return false;
    return !doc_.IsReviewMode() || IsSecretType(doc_.rows[row].type);
}

bool MultiFieldDialog::KeypadServes(std::size_t row) const {
    if (!TakesInput(row)) return false;
    const RowSource source = SourceOf(doc_.rows[row]);
    return source == RowSource::kDigitsKeypad || source == RowSource::kLettersKeypad;
}

std::optional<int> MultiFieldDialog::Open() {
    if (opened_) return outcome_;
    opened_ = true;
    try {
        if (!ReadEntryDocument(documentText_, services_.decipher, services_.messages, doc_)) {
            End(kOutcomeCancelled);
            return outcome_;
        }
        if (keypad_.Open(doc_.keyOrder) != 0) {
            services_.messages.ShowMessage(kMsgNoDocumentMemory);
            End(kOutcomeCancelled);
            return outcome_;
        }
        view_.caption = doc_.caption;
        view_.title = doc_.title;
        view_.layout = MultiFieldLayout(rowCount());
        for (std::size_t i = 0; i < kMaxEntryRows; ++i) {
            EntryRowView& rowView = view_.rows[i];
            entries_[i].Refill();
            rowView.field = FieldDisplay{};  // empty, plain cells
            if (i >= rowCount()) continue;
            EntryRow& row = doc_.rows[i];
            row.keyboardFlag = StartKeyboardFlag(row);
            entries_[i].setMaxLength(static_cast<std::size_t>(std::max(row.defaultValue, 0)));
            entries_[i].setDisplayType(EntryDisplayType(row));
            rowView.visible = true;
            rowView.label = row.name;
            rowView.fieldMaxLength = static_cast<int>(entries_[i].maxLength());
            // An edit limit of 0 would refuse every character; such rows and
            // longer limits take what OK can read.
            rowView.editMaxLength =
                row.defaultValue > 0 && static_cast<std::size_t>(row.defaultValue) < kMaxEditText
                    ? row.defaultValue
                    : static_cast<int>(kMaxEditText);
            rowView.editDigitsOnly = row.type == u'3';
            rowView.editSecret = IsSecretType(row.type);
            if (row.IsDropDown() && !doc_.IsReviewMode()) {
                for (const ListItem& item : row.items) rowView.items.push_back(item.display);
                rowView.selectedIndex = row.selectedIndex;
                rowView.dropDownEnabled = row.listEnabled;
            }
        }
        ApplyPrefills();
        if (doc_.countdownText) view_.countdown = CountdownLabel(*doc_.countdownText);
        view_.countdownVisible = false;

        std::optional<std::size_t> first;
        for (std::size_t i = 0; i < rowCount() && !first; ++i)
            if (TakesInput(i)) first = i;
        Activate(first);
        EvaluateOk();
        if (doc_.IsReviewMode()) view_.okEnabled = true;

        countdown_ = Countdown(doc_.countdownSeconds);
        countdown_.Start();
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        services_.messages.ShowMessage(kMsgNoDocumentMemory);
        End(kOutcomeCancelled);
        return outcome_;
    }
}

void MultiFieldDialog::ApplyPrefills() {
    std::u16string plain;
    for (std::size_t i = 0; i < rowCount(); ++i) {
        const bool applied = ApplyPrefill(i, plain);
        SecureWipe(plain);
        if (!applied) break;
    }
    // Rows after a bad value keep none; the values as written go now.
    for (EntryRow& row : doc_.rows) {
        SecureWipe(row.prefill);
        row.hasPrefill = false;
    }
}

// false when the value is bad: the message is shown and no later row takes one.
bool MultiFieldDialog::ApplyPrefill(std::size_t i, std::u16string& plain) {
    const EntryRow& row = doc_.rows[i];
    const RowSource source = SourceOf(row);
    std::size_t maxLength = kMaxEditText;
    if (source == RowSource::kDigitsKeypad || source == RowSource::kLettersKeypad)
        maxLength = kEntrySlots;
    else if (source == RowSource::kList)
        maxLength = kMaxReviewText;
    // Nor more than the row's own greatest length: an edit shows no more than
    // that (the customer would confirm a value other than the one seen), and
    // a keypad row would hold more than the customer may enter.
    if (source != RowSource::kList && row.defaultValue > 0)
        maxLength = std::min(maxLength, static_cast<std::size_t>(row.defaultValue));
    const int rowNumber = static_cast<int>(i) + 1;
    const PrefillResult result =
        ResolvePrefill(row, rowNumber, maxLength, services_.decipher, services_.messages, plain);
    if (result == PrefillResult::kNone) return true;
    if (result == PrefillResult::kStop) return false;

    EntryRowView& rowView = view_.rows[i];
    switch (source) {
        case RowSource::kDigitsKeypad:
        case RowSource::kLettersKeypad: {
            // The slots hold one byte per character: a value they cannot
            // hold is refused rather than stored mangled.
            if (std::any_of(plain.begin(), plain.end(), [](char16_t c) { return c > 0xFF; })) {
                services_.messages.ShowMessage(BadPrefillMessage(rowNumber));
                return false;
            }
            FieldDisplay display;
            for (const char16_t c : plain) keypad_.Append(entries_[i], c, display);
            SecureWipe(display.text);
            ShowEntry(i);
            rowView.editVisible = false;
            break;
        }
        case RowSource::kEdit:
            edits_[i] = plain;
            if (doc_.IsReviewMode() && !IsSecretType(row.type)) ShowText(i, edits_[i]);
            break;
        case RowSource::kList:
            // Only review mode keeps a drop-down row's text: shown as written.
            reviewTexts_[i] = plain;
            ShowText(i, reviewTexts_[i]);
            break;
    }
    return true;
}

void MultiFieldDialog::ShowEntry(std::size_t row) {
    FieldDisplay display;
    if (keypad_.Display(entries_[row], display) == 0) {
        ReplaceDisplay(view_.rows[row].field, display);
    }
    SecureWipe(display.text);
}

void MultiFieldDialog::ShowText(std::size_t row, std::u16string_view text) {
    FieldDisplay display;
    if (FieldDisplayText(text, kModeScrambledText, keypad_.displayOffset(), display) == 0) {
        ReplaceDisplay(view_.rows[row].field, display);
    }
    SecureWipe(display.text);
}

void MultiFieldDialog::Activate(std::optional<std::size_t> row) {
    active_ = row;
    view_.hint.clear();
    view_.radiosVisible = false;
    view_.digitKeysVisible = false;
    view_.letterKeysVisible = false;
    view_.focusControl = 0;
    if (row) {
        const EntryRow& entry = doc_.rows[*row];
        switch (SourceOf(entry)) {
            case RowSource::kList:
                view_.hint = kHintDropDown;
                view_.focusControl = entry_control::RowDropDown(*row);
                break;
            case RowSource::kDigitsKeypad:
                view_.hint = kHintKeypad;
                view_.digitKeysVisible = true;
                break;
            case RowSource::kLettersKeypad:
                view_.hint = kHintKeypad;
                view_.digitKeysVisible = true;
                view_.letterKeysVisible = true;
                break;
            case RowSource::kEdit:
                view_.hint = kHintKeyboard;
                view_.focusControl = entry_control::RowEdit(*row);
                break;
        }
        view_.radiosVisible = OffersKeyboardChoice(entry);
        view_.keyboardChecked = entry.keyboardFlag == 0;
    }
    RefreshRows();
}

// Which control of each row shows, and the secure fields' colours.
void MultiFieldDialog::RefreshRows() {
    for (std::size_t i = 0; i < rowCount(); ++i) {
        const EntryRow& row = doc_.rows[i];
        EntryRowView& rowView = view_.rows[i];
        const RowSource source = SourceOf(row);
        const bool review = doc_.IsReviewMode() && !IsSecretType(row.type);
        rowView.dropDownVisible = source == RowSource::kList && !doc_.IsReviewMode();
        rowView.editVisible = source == RowSource::kEdit && !review;
        rowView.editEnabled = !review;
        rowView.fieldVisible = !rowView.dropDownVisible && !rowView.editVisible;
        rowView.fieldEnabled = !review;
        rowView.fieldText = kFieldText;
        rowView.fieldBackground = review ? kReviewFieldBackground : kFieldBackground;
        if (active_ == i && KeypadServes(i)) {
            rowView.fieldText = kActiveFieldText;
            rowView.fieldBackground = kActiveFieldBackground;
        }
    }
}

bool MultiFieldDialog::RowPasses(std::size_t i) const {
    // Review mode: the rows the bank filled in are not the customer's to change.
    if (!TakesInput(i)) return true;
    const EntryRow& row = doc_.rows[i];
    const auto min = static_cast<std::size_t>(std::max(row.min, 0));
    switch (SourceOf(row)) {
        case RowSource::kList:
            // A list with items asks for a choice.
            return row.items.empty() || view_.rows[i].selectedIndex >= 0;
        case RowSource::kDigitsKeypad:
        case RowSource::kLettersKeypad:
            return entries_[i].count() >= min;
        case RowSource::kEdit:
            return edits_[i].size() >= min;
    }
    return true;
}

void MultiFieldDialog::EvaluateOk() {
    bool ok = true;
    for (std::size_t i = 0; i < rowCount() && ok; ++i) ok = RowPasses(i);
    view_.okEnabled = ok;
}

void MultiFieldDialog::Tick() {
    if (outcome_) return;
    const TickEvent event = countdown_.Tick();
    if (event == TickEvent::kNone) return;
    view_.countdown = countdown_.labelText();
    view_.countdownVisible = countdown_.labelVisible();
    if (event == TickEvent::kExpired) {
        services_.messages.ShowMessage(kMsgTimedOut);
        PressCancel();
    }
}

void MultiFieldDialog::ReleaseMouse(int x, int y) {
    if (outcome_) return;
    for (std::size_t i = 0; i < rowCount(); ++i) {
        const Rect& field = view_.layout.fields[i];
        const bool inHeight = y >= field.y + 1 && y <= field.bottom() - 3;
        const bool inWidth = x >= kRowSelectLeft && x <= field.right();
        if (!inHeight || !inWidth) continue;
        if (TakesInput(i)) Activate(i);
        return;
    }
}

void MultiFieldDialog::FocusRow(std::size_t row) {
    if (outcome_ || !TakesInput(row) || active_ == row) return;
    Activate(row);
}

void MultiFieldDialog::ChooseListItem(std::size_t row, int index) {
    if (outcome_ || !TakesInput(row) || SourceOf(doc_.rows[row]) != RowSource::kList) return;
    EntryRowView& rowView = view_.rows[row];
    if (index < -1 || index >= static_cast<int>(rowView.items.size())) return;
    rowView.selectedIndex = index;
    doc_.rows[row].selectedIndex = index;
    if (row == 0) Activate(0);
    EvaluateOk();
}

KeyOutcome MultiFieldDialog::PressKey(int controlId) {
    if (outcome_ || !active_ || !KeypadServes(*active_)) return KeyOutcome::kIgnored;
    // Only the keys the row shows act on it.
    if (!view_.IsVisible(controlId)) return KeyOutcome::kIgnored;
    const std::size_t row = *active_;
    FieldDisplay display;
    const KeyOutcome outcome = keypad_.PressKey(entries_[row], controlId, display);
    if (outcome == KeyOutcome::kEntryChanged) {
        if (controlId == kEntryClearKeyId) {
            SecureWipe(view_.rows[row].field.text);
            view_.rows[row].field = FieldDisplay{};
            view_.rows[row].field.mode = kModeCells;
        } else {
            ReplaceDisplay(view_.rows[row].field, display);
        }
        EvaluateOk();
    }
    SecureWipe(display.text);
    return outcome;
}

void MultiFieldDialog::UseKeyboard(bool keyboard) {
    if (outcome_ || !active_ || !view_.radiosVisible) return;
    const std::size_t row = *active_;
    EntryRow& entry = doc_.rows[row];
    if (keyboard) {
        entry.keyboardFlag = 0;
        entries_[row].Refill();
        SecureWipe(view_.rows[row].field.text);
        view_.rows[row].field = FieldDisplay{};
    } else {
        entry.keyboardFlag = 1;
        SecureWipe(edits_[row]);
    }
    Activate(row);
    EvaluateOk();
}

void MultiFieldDialog::SetEditText(std::size_t row, std::u16string_view text) {
    if (outcome_ || !TakesInput(row) || SourceOf(doc_.rows[row]) != RowSource::kEdit) return;
    SecureWipe(edits_[row]);
    edits_[row].reserve(kMaxEditText);
    edits_[row].assign(text.substr(0, static_cast<std::size_t>(view_.rows[row].editMaxLength)));
    EvaluateOk();
}

// Step 2 of OK: every row's value, joined; false when a row that must hold
// a value is empty (its message shown).
bool MultiFieldDialog::CollectValues(std::u16string& joined, std::vector<std::u16string>& plain) {
    std::vector<EnteredField> fields;
    std::vector<std::u16string> codes(rowCount());
    for (std::size_t i = 0; i < rowCount(); ++i) {
        const EntryRow& row = doc_.rows[i];
        const int rowNumber = static_cast<int>(i) + 1;
        const RowSource source = SourceOf(row);
        EnteredField field;
        switch (source) {
            case RowSource::kList:
                field.kind = EnteredFieldKind::kListChoice;
                if (doc_.IsReviewMode()) {
                    plain[i] = reviewTexts_[i];
                    codes[i] = reviewTexts_[i];
                } else if (!row.listEnabled || view_.rows[i].selectedIndex < 0) {
                    // No list (the customer was told when it was read) or no
                    // choice: nothing to read again, and no second message.
                } else if (auto item = ReadSelectedItem(
                               row.listData, row.IsEnciphered(), view_.rows[i].selectedIndex,
                               ListKind::kEntryRow, services_.decipher, services_.messages)) {
                    plain[i] = std::move(item->display);
                    codes[i] = std::move(item->code);
                    SecureWipe(item->code);
                }
                break;
            case RowSource::kDigitsKeypad:
            case RowSource::kLettersKeypad:
                field.kind = source == RowSource::kDigitsKeypad ? EnteredFieldKind::kKeypad
                                                                : EnteredFieldKind::kLettersKeypad;
                keypad_.Read(entries_[i], plain[i]);
                break;
            case RowSource::kEdit:
                field.kind = EnteredFieldKind::kEdit;
                plain[i].assign(std::u16string_view(edits_[i]).substr(0, kMaxEditText));
                break;
        }
        const bool mustHoldValue = source == RowSource::kDigitsKeypad ||
                                   source == RowSource::kLettersKeypad || row.type == u'6';
        if (mustHoldValue && plain[i].empty()) {
            for (std::u16string& code : codes) SecureWipe(code);
            services_.messages.ShowMessage(EnterItemMessage(rowNumber));
            return false;
        }
        // The card PIN is checked, never handed on: its row keeps only its place.
        field.cardPin = row.type == u'6';
        if (!field.cardPin) {
            field.value = source == RowSource::kList ? std::u16string_view(codes[i])
                                                     : std::u16string_view(plain[i]);
        }
        fields.push_back(field);
    }
    joined = JoinEnteredFields(fields);
    for (std::u16string& code : codes) SecureWipe(code);
    return true;
}

void MultiFieldDialog::PressOk() {
    if (outcome_ || !view_.okEnabled) return;
    countdown_.Stop();
    SecureWipe(confirmation_);
    SecureWipe(joined_);
    SecureWipe(encipheredHex_);
    RowValues values(rowCount());
    std::u16string joined;
    if (!CollectValues(joined, values.plain)) {
        SecureWipe(joined);
        return;  // the dialog stays open; the countdown stays stopped
    }
    for (std::size_t i = 0; i < rowCount(); ++i) {
        if (doc_.rows[i].type != u'6') continue;
        const int32_t rc = services_.pinCheck.VerifyPin(values.plain[i]);
        SecureWipe(values.plain[i]);
        if (rc != 0 && rc != kStatusSuccess) {
            SecureWipe(joined);
            End(kOutcomePinRefused);
            return;
        }
        break;  // only the first card-PIN row is checked
    }
    Finish(joined, values.plain);
}

// Steps 4 and 5 of OK: encipher, build the confirmation text, end with 1.
void MultiFieldDialog::Finish(std::u16string& joined, std::vector<std::u16string>& plain) {
    if (!joined.empty() && !services_.encipher.Encipher(joined, encipheredHex_)) {
        SecureWipe(encipheredHex_);
        services_.messages.ShowMessage(kMsgCipherFailed);
    }
    std::vector<ConfirmationRow> rows;
    for (std::size_t i = 0; i < rowCount(); ++i) {
        if (IsSecretType(doc_.rows[i].type)) continue;
        rows.push_back({doc_.rows[i].nameCopy, plain[i]});
        confirmationRows_.push_back({doc_.rows[i].nameCopy, plain[i], HostValueKind::Other, {}});
    }
    confirmation_ = BuildConfirmationText(doc_.titleCopy, rows);
    joined_ = std::move(joined);
    End(kOutcomeOk);
}

void MultiFieldDialog::PressCancel() {
    if (outcome_) return;
    End(kOutcomeCancelled);
}

void MultiFieldDialog::End(int outcome) {
    countdown_.Stop();
    outcome_ = outcome;
    // Entries, edits, pre-filled and list data go; only the results of OK stay.
    Wipe();
    if (outcome == kOutcomeOk) return;
    SecureWipe(joined_);
    SecureWipe(encipheredHex_);
    SecureWipe(confirmation_);
    WipeHostBlock(confirmationRows_);
}

void MultiFieldDialog::Wipe() {
    for (EntryField& entry : entries_) entry.Refill();
    for (std::u16string& edit : edits_) SecureWipe(edit);
    for (std::u16string& text : reviewTexts_) SecureWipe(text);
    for (EntryRowView& row : view_.rows) {
        SecureWipe(row.field.text);
        for (std::u16string& item : row.items) SecureWipe(item);  // deciphered lists too
    }
    for (EntryRow& row : doc_.rows) {
        SecureWipe(row.prefill);
        SecureWipe(row.listData);
        WipeListItems(row.items);
    }
}

std::size_t MultiFieldDialog::ReadResults(std::u16string& confirmation, std::u16string& joined,
                                          std::u16string& encipheredHex) const {
    SecureWipe(confirmation);
    SecureWipe(joined);
    SecureWipe(encipheredHex);
    if (outcome_ != kOutcomeOk) return 0;
    confirmation = confirmation_;
    joined = joined_;
    encipheredHex = encipheredHex_;
    return confirmation.size();
}

}  // namespace qorv::dialogs
