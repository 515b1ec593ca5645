// The dialogs' configuration document comes from the page: any text must be
// read without a crash, a read past the text or unbounded work, and what is
// read must stay inside the limits the dialogs are built for.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dialogs/config_document.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/message_sink.h"
#include "dialogs/multi_field_dialog.h"
#include "dialogs/page_text.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "tests/support/recorded_messages.h"

namespace {

using namespace qorv::dialogs;

// Stands in for the session cipher: "deciphers" hex of the low bytes and
// refuses texts that begin with "FF", so both outcomes are reached.
class HexDecipher final : public FieldDecipher {
  public:
    bool Decipher(std::u16string_view hex, std::u16string& plain) override {
        plain.clear();
        if (hex.size() % 2 != 0 || hex.substr(0, 2) == u"FF") return false;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int hi = Nibble(hex[i]);
            const int lo = Nibble(hex[i + 1]);
            if (hi < 0 || lo < 0) return false;
            plain.push_back(static_cast<char16_t>(hi * 16 + lo));
        }
        return true;
    }

  private:
    static int Nibble(char16_t c) {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        return -1;
    }
};

// The session cipher's other direction: the text's units as hex.
class HexEncipher final : public FieldEncipher {
  public:
    bool Encipher(std::u16string_view plain, std::u16string& hex) override {
        static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
        hex.clear();
        for (char16_t c : plain) {
            for (int shift = 12; shift >= 0; shift -= 4) hex.push_back(kDigits[(c >> shift) & 0xF]);
        }
        return true;
    }
};

class RefusedPin final : public CardPinCheck {
  public:
    int32_t VerifyPin(std::u16string_view) override { return 1; }
};

class PresentCard final : public CardPresenceProbe {
  public:
    CardPresence Poll() override { return CardPresence::Present; }
};

// A form the page filled in whole is confirmed at once: every row the bank
// receives reaches the confirmation's host block as data, in the form's
// order, shown inert, and none is dropped.
void CheckConfirmedForm(const std::u16string& document) {
    HexDecipher decipher;
    HexEncipher encipher;
    RefusedPin pin;
    qorv::testing::RecordedMessages messages;
    MultiFieldDialog form(document, {decipher, encipher, pin, messages});
    if (form.Open()) return;
    form.PressOk();
    if (form.outcome() != kOutcomeOk) return;
    // Every row but the secrets (the card PIN, another secret) reaches the
    // confirmation, in the form's order: none is dropped.
    const HostBlock& rows = form.confirmationRows();
    std::size_t shownRows = 0;
    for (const EntryRow& row : form.document().rows) {
        if (row.type == u'6' || row.type == u'7') continue;
        FUZZ_CHECK(shownRows < rows.size() && rows[shownRows].label == row.nameCopy);
        ++shownRows;
    }
    FUZZ_CHECK(shownRows == rows.size());
    PresentCard card;
    ConfirmationRequest request;
    request.mode = ConfirmationMode::PinInForm;
    request.title = form.confirmationTitle();
    request.produced = rows;
    ConfirmationDialog confirmation(std::move(request), card, messages);
    if (confirmation.Open()) return;
    const HostBlock& shown = confirmation.view().hostBlock;
    FUZZ_CHECK(shown.size() == rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(shown[i].value == InertText(rows[i].value));
        FUZZ_CHECK(!HasUnsafeCharacter(shown[i].value));
        FUZZ_CHECK(!HasUnsafeCharacter(shown[i].label));
    }
}

void CheckEntry(const std::u16string& document, bool asPlainBytes) {
    HexDecipher decipher;
    qorv::testing::RecordedMessages messages;
    EntryDocument entry;
    const bool read = ReadEntryDocument(document, decipher, messages, entry);
    if (document.empty()) FUZZ_CHECK(!read);
    if (!read) return;
    FUZZ_CHECK(entry.rows.size() <= 10);
    FUZZ_CHECK(entry.titleCopy.size() <= 63);
    for (std::size_t i = 0; i < entry.rows.size(); ++i) {
        const EntryRow& row = entry.rows[i];
        FUZZ_CHECK(row.type >= u'0' && row.type <= u'7');
        FUZZ_CHECK(row.nameCopy.size() <= 63);
        FUZZ_CHECK(row.selectedIndex < static_cast<int>(row.items.size()));
        for (std::size_t maxLength : {std::size_t{0}, std::size_t{16}, std::size_t{48}}) {
            std::u16string plain;
            const PrefillResult prefill =
                ResolvePrefill(row, static_cast<int>(i) + 1, maxLength, decipher, messages, plain);
            if (prefill == PrefillResult::kApply) FUZZ_CHECK(plain.size() <= maxLength);
        }
        if (row.IsDropDown() && !row.items.empty()) {
            (void)ReadSelectedItem(row.listData, row.IsEnciphered(), row.selectedIndex,
                                   ListKind::kEntryRow, decipher, messages);
        }
    }
    (void)asPlainBytes;
}

void CheckTransfer(const std::u16string& document) {
    HexDecipher decipher;
    qorv::testing::RecordedMessages messages;
    TransferDocument transfer;
    if (!ReadTransferDocument(document, decipher, messages, transfer)) return;
    FUZZ_CHECK(transfer.listCount <= transfer.lists.size());
    FUZZ_CHECK(transfer.keyType >= 0 && transfer.keyType <= 6);
    for (const TransferList& list : transfer.lists) {
        FUZZ_CHECK(list.name.size() <= 63);
        if (!list.items.empty())
            FUZZ_CHECK(list.selectedIndex >= 0 &&
                       list.selectedIndex < static_cast<int>(list.items.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qorv::fuzz::FuzzInput input(data, size);
    const bool wide = input.Flag();
    // Documents are mostly ASCII markup: the narrow form makes each byte one
    // character so the fuzzer reaches the markup quickly; the wide form
    // brings every UTF-16 unit in.
    std::u16string document;
    if (wide) {
        document = input.RestText();
    } else {
        for (uint8_t byte : input.RestBytes()) document.push_back(byte);
    }
    CheckEntry(document, !wide);
    CheckTransfer(document);
    CheckConfirmedForm(document);
    return 0;
}
