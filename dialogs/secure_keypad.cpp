#include "dialogs/secure_keypad.h"

#include <algorithm>

#include "base/secure_wipe.h"
#include "crypto/des.h"
#include "crypto/random.h"
#include "crypto/text_bytes.h"
#include "dialogs/config_document.h"

namespace qorv::dialogs {
namespace {

constexpr std::size_t kOrderBytes = 40;  // 36 keys, padded to whole DES blocks
constexpr std::size_t kBlockBytes = 8;
constexpr std::size_t kScratchChars = 200;        // 400 bytes
constexpr std::size_t kScratchRandomBlocks = 20;  // ten 16-byte blocks
constexpr std::size_t kScratchStartRange = 128;

// Where a key press rebuilds an entry: random bytes, the entry written at a
// random place among them, all wiped when it goes.
struct ScratchText {
    ScratchText() {
        crypto::RandomBlock(reinterpret_cast<uint8_t*>(chars.data()), kScratchRandomBlocks,
                            crypto::kParityNone);
    }
    ScratchText(const ScratchText&) = delete;
    ScratchText& operator=(const ScratchText&) = delete;
    ~ScratchText() { SecureWipe(chars); }
    std::array<char16_t, kScratchChars> chars{};
};

std::size_t OrderBytes(KeypadKind kind) {
    return kind == KeypadKind::kEntry ? kOrderBytes : 16;
}

uint8_t FreshBlockByte(std::size_t index) {
    SecretBytes<crypto::kRandomBlockSize> block;
    crypto::RandomBlock(block.data(), 1, crypto::kParityNone);
    return block[index];
}

// Distinct values 0..modulus-1: the first from byte 4 of a fresh block, each
// further one from byte 3 of fresh blocks until it differs from those drawn.
void DrawDistinct(uint8_t* out, std::size_t count, uint8_t base) {
    std::array<bool, 26> used{};
    const auto modulus = static_cast<uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        uint8_t v = static_cast<uint8_t>(FreshBlockByte(i == 0 ? 4 : 3) % modulus);
        while (used[v]) v = static_cast<uint8_t>(FreshBlockByte(3) % modulus);
        used[v] = true;
        out[i] = static_cast<uint8_t>(base + v);
    }
    SecureWipe(used.data(), used.size());
}

}  // namespace

int FieldDisplayText(std::u16string_view characters, int displayType, uint32_t displayOffset,
                     FieldDisplay& display) {
    SecureWipe(display.text);
    display.length = characters.size();
    switch (displayType) {
        case 1:
        case 2:
            display.mode = kModeCells;
            break;
        case 4:
        case 5:
        case 6:
        case 7:
            display.mode = displayType;
            break;
        default:
            display.mode = kModeAsterisks;
            display.text.assign(std::min(characters.size(), kMaxAsterisks), u'*');
            return crypto::kDesOk;
    }
    SecretBuffer bytes(2 * characters.size());
    bytes.bytes().resize(2 * characters.size());
    crypto::Utf16ToBytes(characters, bytes.bytes().data());
    return crypto::ScrambleDisplayText(bytes.bytes(), displayOffset, display.text);
}

EntryField::EntryField() {
    Refill();
}

EntryField::~EntryField() {
    SecureWipe(slots_);
    count_ = 0;
}

void EntryField::Refill() {
    for (std::size_t i = 0; i < kEntrySlots; ++i)
        crypto::RandomBlock(slots_.data() + i * kSlotSize, 2, crypto::kParityNone);
    count_ = 0;
}

SecureKeypad::SecureKeypad(KeypadKind kind) : kind_(kind) {}

SecureKeypad::~SecureKeypad() {
    SecureWipe(protectedOrder_);
    SecureWipe(protection_.wrappedKey);
    SecureWipe(captionOffsets_);
}

int SecureKeypad::Open(int keyOrderSelector) {
    if (const int rc = crypto::NewDialogProtection(protection_)) return rc;
    for (uint32_t& offset : captionOffsets_)
        offset = crypto::RandomByte() % (crypto::kMaxProtectionKeyOffset + 1);
    lowerCase_ = false;

    SecretBytes<kOrderBytes> order;
    crypto::RandomBlock(order.data(), kOrderBytes / kBlockBytes, crypto::kParityNone);
    if (IsFixedKeyOrder(keyOrderSelector)) {
        for (std::size_t i = 0; i < kDigitKeys; ++i)
            order[i] = static_cast<uint8_t>((i + 1) % 10);  // 1, 2, ..., 9, 0
        for (std::size_t j = 0; j < kLetterKeys; ++j)
            order[kDigitKeys + j] = static_cast<uint8_t>('A' + j);
    } else {
        DrawDistinct(order.data(), kDigitKeys, 0);
        if (kind_ == KeypadKind::kEntry) DrawDistinct(order.data() + kDigitKeys, kLetterKeys, 'A');
    }
    const std::size_t size = OrderBytes(kind_);
    const int rc = crypto::EncryptWithDataKey(std::span(order.data(), size), protection_.wrappedKey,
                                              protection_.keyOffset, protection_.selector,
                                              protectedOrder_.data());
    open_ = rc == crypto::kDesOk;
    return rc;
}

int SecureKeypad::KeyValue(std::size_t position, uint8_t& value) const {
    if (!open_ || position >= keyCount()) return crypto::kDesArgumentError;
    SecretBytes<kOrderBytes> order;
    const int rc = crypto::DecryptWithDataKey(std::span(protectedOrder_.data(), OrderBytes(kind_)),
                                              protection_.wrappedKey, protection_.keyOffset,
                                              protection_.selector, order.data());
    if (rc == crypto::kDesOk) value = order[position];
    return rc;
}

int SecureKeypad::ScrambledCaptions(std::vector<std::u16string>& captions) const {
    for (std::u16string& caption : captions) SecureWipe(caption);
    captions.assign(keyCount(), std::u16string());
    if (!open_) return crypto::kDesArgumentError;
    SecretBytes<kOrderBytes> order;
    int rc = crypto::DecryptWithDataKey(std::span(protectedOrder_.data(), OrderBytes(kind_)),
                                        protection_.wrappedKey, protection_.keyOffset,
                                        protection_.selector, order.data());
    for (std::size_t k = 0; rc == crypto::kDesOk && k < keyCount(); ++k) {
        char16_t character = k < kDigitKeys
                                 ? static_cast<char16_t>(u'0' + order[k])
                                 : static_cast<char16_t>(order[k] + (lowerCase_ ? 32 : 0));
        SecretBytes<2> bytes;
        crypto::Utf16ToBytes(std::u16string_view(&character, 1), bytes.data());
        character = 0;
        rc = crypto::ScrambleDisplayText(std::span(bytes.data(), 2), captionOffsets_[k],
                                         captions[k]);
    }
    return rc;
}

int SecureKeypad::Decipher(const EntryField& field, char16_t* chars) const {
    if (!open_) return -1;
    for (std::size_t i = 0; i < field.count_; ++i) {
        const uint8_t* slot = field.slots_.data() + i * kSlotSize;
        SecretBytes<kBlockBytes> block;
        const int rc =
            crypto::DecryptWithDataKey(std::span(slot + 2, kBlockBytes), protection_.wrappedKey,
                                       protection_.keyOffset, protection_.selector, block.data());
        if (rc != crypto::kDesOk) return -1;
        chars[i] = block[slot[0] % kBlockBytes];
    }
    return static_cast<int>(field.count_);
}

int SecureKeypad::Store(EntryField& field, uint8_t character) const {
    uint8_t* slot = field.slots_.data() + field.count_ * kSlotSize;
    SecretBytes<kBlockBytes> block;
    const uint8_t position = crypto::RandomByte() % kBlockBytes;
    block[position] = character;
    const int rc =
        crypto::EncryptWithDataKey(std::span(block.data(), kBlockBytes), protection_.wrappedKey,
                                   protection_.keyOffset, protection_.selector, slot + 2);
    if (rc != crypto::kDesOk) return rc;
    slot[0] = position;
    ++field.count_;
    return rc;
}

// One key on a field: the entry is rebuilt at a random place of a scratch
// buffer of random bytes, changed, shown, and the new character stored.
KeyOutcome SecureKeypad::Rebuild(EntryField& field, std::size_t position, bool correction,
                                 FieldDisplay& display) const {
    if (!open_) return KeyOutcome::kFailed;
    if (correction && field.count_ == 0) return KeyOutcome::kIgnored;
    if (!correction && field.count_ >= field.maxLength_) return KeyOutcome::kIgnored;

    ScratchText scratch;
    char16_t* chars = scratch.chars.data() + crypto::RandomByte() % kScratchStartRange;
    const int count = Decipher(field, chars);
    if (count < 0) return KeyOutcome::kFailed;
    std::size_t shown = static_cast<std::size_t>(count);

    uint8_t character = 0;
    if (correction) {
        --shown;
    } else {
        uint8_t value = 0;
        if (KeyValue(position, value) != crypto::kDesOk) return KeyOutcome::kFailed;
        if (position < kDigitKeys)
            character = static_cast<uint8_t>('0' + value);
        else
            character = static_cast<uint8_t>(value + (lowerCase_ ? 32 : 0));
        value = 0;
        chars[shown++] = character;
    }
    if (FieldDisplayText(std::u16string_view(chars, shown), field.displayType_, displayOffset(),
                         display) != crypto::kDesOk)
        return KeyOutcome::kFailed;
    if (correction) {
        --field.count_;
        // The dropped slot gets fresh random bytes, like a cleared one.
        crypto::RandomBlock(field.slots_.data() + field.count_ * kSlotSize, 2, crypto::kParityNone);
        return KeyOutcome::kEntryChanged;
    }
    const int rc = Store(field, character);
    character = 0;
    return rc == crypto::kDesOk ? KeyOutcome::kEntryChanged : KeyOutcome::kFailed;
}

KeyOutcome SecureKeypad::Press(EntryField& field, std::size_t position,
                               FieldDisplay& display) const {
    if (position >= keyCount()) return KeyOutcome::kIgnored;
    return Rebuild(field, position, false, display);
}

KeyOutcome SecureKeypad::Correct(EntryField& field, FieldDisplay& display) const {
    return Rebuild(field, 0, true, display);
}

void SecureKeypad::Clear(EntryField& field, FieldDisplay& display) const {
    field.Refill();
    SecureWipe(display.text);
    display.length = 0;
}

KeyOutcome SecureKeypad::PressKey(EntryField& field, int controlId, FieldDisplay& display) {
    if (controlId >= kFirstKeyId && controlId < kFirstKeyId + static_cast<int>(keyCount()))
        return Press(field, static_cast<std::size_t>(controlId - kFirstKeyId), display);
    if (controlId == CorrectionKeyId(kind_)) return Correct(field, display);
    if (controlId == ClearKeyId(kind_)) {
        Clear(field, display);
        return KeyOutcome::kEntryChanged;
    }
    if (kind_ == KeypadKind::kEntry && controlId == kEntryCaseKeyId) {
        ToggleCase();
        return KeyOutcome::kCaptionsChanged;
    }
    return KeyOutcome::kIgnored;
}

KeyOutcome SecureKeypad::Append(EntryField& field, char16_t character,
                                FieldDisplay& display) const {
    if (!open_) return KeyOutcome::kFailed;
    if (field.count_ >= kEntrySlots) return KeyOutcome::kIgnored;
    if (Store(field, static_cast<uint8_t>(character)) != crypto::kDesOk) return KeyOutcome::kFailed;
    return Display(field, display) == crypto::kDesOk ? KeyOutcome::kEntryChanged
                                                     : KeyOutcome::kFailed;
}

int SecureKeypad::Display(const EntryField& field, FieldDisplay& display) const {
    std::array<char16_t, kEntrySlots> chars{};
    const int count = Decipher(field, chars.data());
    int rc = crypto::kDesArgumentError;
    if (count >= 0)
        rc = FieldDisplayText(std::u16string_view(chars.data(), static_cast<std::size_t>(count)),
                              field.displayType_, displayOffset(), display);
    SecureWipe(chars);
    return rc;
}

int SecureKeypad::Read(const EntryField& field, std::u16string& characters) const {
    SecureWipe(characters);
    characters.reserve(kEntrySlots);
    characters.resize(field.count_);
    if (Decipher(field, characters.data()) < 0) {
        SecureWipe(characters);
        return crypto::kDesArgumentError;
    }
    return crypto::kDesOk;
}

}  // namespace qorv::dialogs
