// The graphical keypad of the entry dialogs and the protected holding of the
// characters entered on it.
//
// A SecureKeypad belongs to one dialog: it draws the dialog's data key, the
// display offset of its secure fields and one caption offset per character
// key, and keeps the key order only enciphered under the data key. Each
// EntryField keeps its characters in 48 slots of 16 bytes, every character
// enciphered on its own at a random position of its block. Between two
// events nothing of an entry or of the key order is held in clear: every
// operation deciphers a working copy and wipes it before it returns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/value_protection.h"

namespace qorv::dialogs {

enum class KeypadKind {
    kEntry,     // multi-field dialog: 10 digit keys and 26 letter keys
    kTransfer,  // transfer account dialog: 10 digit keys
};

// Control ids of the keys. A character key's position is its id minus 1042:
// digits 1042..1051 (template captions "1".."9", "0"), letters 1052..1077.
inline constexpr int kFirstKeyId = 1042;
inline constexpr std::size_t kDigitKeys = 10;
inline constexpr std::size_t kLetterKeys = 26;
inline constexpr int kEntryCorrectionKeyId = 1078;  // "更正"
inline constexpr int kEntryClearKeyId = 1079;       // "清除"
inline constexpr int kEntryCaseKeyId = 1080;        // "大/小寫"
inline constexpr int kTransferCorrectionKeyId = 1052;
inline constexpr int kTransferClearKeyId = 1053;

inline constexpr char16_t kCorrectionCaption[] = u"更正";
inline constexpr char16_t kClearCaption[] = u"清除";
inline constexpr char16_t kCaseCaption[] = u"大/小寫";

constexpr std::size_t CharacterKeyCount(KeypadKind kind) {
    return kind == KeypadKind::kEntry ? kDigitKeys + kLetterKeys : kDigitKeys;
}
constexpr int CorrectionKeyId(KeypadKind kind) {
    return kind == KeypadKind::kEntry ? kEntryCorrectionKeyId : kTransferCorrectionKeyId;
}
constexpr int ClearKeyId(KeypadKind kind) {
    return kind == KeypadKind::kEntry ? kEntryClearKeyId : kTransferClearKeyId;
}

// The most characters one field holds, and the size of one slot.
inline constexpr std::size_t kEntrySlots = 48;
inline constexpr std::size_t kSlotSize = 16;

// Display modes of a secure display field (CSecureStatic).
inline constexpr int kModeCells = 0;          // scrambled, upright cells
inline constexpr int kModeTurnedCells = 1;    // scrambled, one angle per paint
inline constexpr int kModeAsterisks = 3;      // asterisks
inline constexpr int kModeTiltedCells = 4;    // scrambled, one angle per character
inline constexpr int kModePlainCells = 5;     // plain, 31 cells
inline constexpr int kModePlainText = 6;      // plain, drawn whole
inline constexpr int kModeScrambledText = 7;  // scrambled, drawn whole
inline constexpr std::size_t kMaxAsterisks = 27;

// What a secure display field is given to show: its window text (scrambled
// or asterisks), its display mode and the number of characters it stands
// for (the only thing the field tells assistive technology).
struct FieldDisplay {
    std::u16string text;
    int mode = kModePlainCells;
    std::size_t length = 0;
};

// The window text and mode for an entry: display types 1 and 2 give mode 0,
// 4 to 7 the mode of that number (text scrambled under displayOffset), any
// other type mode 3 with one asterisk per character (at most 27).
int FieldDisplayText(std::u16string_view characters, int displayType, uint32_t displayOffset,
                     FieldDisplay& display);

class SecureKeypad;

// The protected entry of one secure field.
class EntryField {
  public:
    EntryField();
    ~EntryField();
    EntryField(const EntryField&) = delete;
    EntryField& operator=(const EntryField&) = delete;

    std::size_t count() const { return count_; }
    // Greatest number of characters (bounded by the 48 slots).
    std::size_t maxLength() const { return maxLength_; }
    void setMaxLength(std::size_t length) {
        maxLength_ = length < kEntrySlots ? length : kEntrySlots;
    }
    int displayType() const { return displayType_; }
    void setDisplayType(int type) { displayType_ = type; }

    // Fills every slot with random bytes and empties the entry.
    void Refill();

  private:
    friend class SecureKeypad;
    std::array<uint8_t, kEntrySlots * kSlotSize> slots_{};
    std::size_t count_ = 0;
    std::size_t maxLength_ = 0;
    int displayType_ = 1;
};

// What a key did.
enum class KeyOutcome {
    kIgnored,          // nothing changed (full field, empty field, unknown key)
    kEntryChanged,     // the field's display was updated
    kCaptionsChanged,  // case key: relabel the keys
    kFailed,           // a cipher step failed; the entry is unchanged
};

class SecureKeypad {
  public:
    explicit SecureKeypad(KeypadKind kind);
    ~SecureKeypad();
    SecureKeypad(const SecureKeypad&) = delete;
    SecureKeypad& operator=(const SecureKeypad&) = delete;

    // Draws the data key, display offset and caption offsets and generates
    // the key order: fixed for a selector of 1, 4 or 6, random otherwise.
    // A DES engine result code (0 on success).
    int Open(int keyOrderSelector);

    KeypadKind kind() const { return kind_; }
    std::size_t keyCount() const { return CharacterKeyCount(kind_); }
    uint32_t displayOffset() const { return protection_.displayKeyOffset; }
    uint32_t captionOffset(std::size_t position) const {
        return position < captionOffsets_.size() ? captionOffsets_[position] : 0;
    }
    bool lowerCase() const { return lowerCase_; }

    // The caption of every character key (index: position), each scrambled
    // under the key's own caption offset.
    int ScrambledCaptions(std::vector<std::u16string>& captions) const;
    // The case key: toggles lower case (letters then enter and show lower case).
    void ToggleCase() { lowerCase_ = !lowerCase_; }

    // Character key at position (0-based). kIgnored when the field is full.
    KeyOutcome Press(EntryField& field, std::size_t position, FieldDisplay& display) const;
    // Correction: drops the last character; kIgnored on an empty field.
    KeyOutcome Correct(EntryField& field, FieldDisplay& display) const;
    // Clear: refills the slots with random bytes, empty display text.
    void Clear(EntryField& field, FieldDisplay& display) const;
    // Any key by control id (character, correction, clear, case).
    KeyOutcome PressKey(EntryField& field, int controlId, FieldDisplay& display);

    // Stores one character as a key press would (pre-filled values).
    KeyOutcome Append(EntryField& field, char16_t character, FieldDisplay& display) const;
    // The field's current display (FieldDisplayText of its entry).
    int Display(const EntryField& field, FieldDisplay& display) const;
    // The entered characters, one per entered byte, for OK processing. The
    // caller wipes the text (SecureWipe) once it has used it.
    int Read(const EntryField& field, std::u16string& characters) const;

  private:
    // Deciphers the entry into chars (room for kEntrySlots) and returns its count or -1.
    int Decipher(const EntryField& field, char16_t* chars) const;
    int Store(EntryField& field, uint8_t character) const;
    int KeyValue(std::size_t position, uint8_t& value) const;
    KeyOutcome Rebuild(EntryField& field, std::size_t position, bool correction,
                       FieldDisplay& display) const;

    KeypadKind kind_;
    crypto::DialogProtection protection_{};
    std::array<uint8_t, 40> protectedOrder_{};
    std::array<uint32_t, kDigitKeys + kLetterKeys> captionOffsets_{};
    bool lowerCase_ = false;
    bool open_ = false;
};

}  // namespace qorv::dialogs
