// The part 10 driver reads the host's structures as a reader would: the
// product's structures fit pcsc-lite's layout, the typed digits land where
// the card expects its PIN block, malformed structures are refused.
#include "tools/pinpadifd/pin_entry.h"

#include <gtest/gtest.h>

#include <cstddef>

extern "C" {
#include <PCSC/reader.h>
}

#include "card/pin_block.h"
#include "card/pin_entry_structures.h"

namespace qorv::pinpadifd {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes VerifyBytes() {
    const auto s = card::VerifyPinStructure();
    return {s.begin(), s.end()};
}
Bytes ModifyBytes() {
    const auto s = card::ModifyPinStructure();
    return {s.begin(), s.end()};
}

TEST(PinEntryDriver, TheProductsHeadersAreThoseOfReaderH) {
    EXPECT_EQ(offsetof(PIN_VERIFY_STRUCTURE, abData), card::kVerifyStructureHeader);
    EXPECT_EQ(offsetof(PIN_MODIFY_STRUCTURE, abData), card::kModifyStructureHeader);
    EXPECT_EQ(offsetof(PIN_VERIFY_STRUCTURE, wPINMaxExtraDigit), 5u);
    EXPECT_EQ(offsetof(PIN_MODIFY_STRUCTURE, bConfirmPIN), 9u);
    EXPECT_EQ(offsetof(PIN_MODIFY_STRUCTURE, bMsgIndex1), 14u);
}

TEST(PinEntryDriver, TypedDigitsBecomeTheCardsPinBlock) {
    for (const std::string digits : {"123456", "1234567", "123456789012"}) {
        for (const Bytes& structure : {VerifyBytes(), ModifyBytes()}) {
            const auto entry = structure.size() == VerifyBytes().size()
                                   ? ParseVerifyStructure(structure)
                                   : ParseModifyStructure(structure);
            ASSERT_TRUE(entry);
            Bytes apdu = entry->apdu;
            ASSERT_TRUE(InsertPin(*entry, digits, 0, apdu)) << digits;
            card::PinBlock block;
            card::PackPinBlock(std::u16string(digits.begin(), digits.end()), block);
            EXPECT_EQ(Bytes(apdu.begin() + 5, apdu.end()),
                      Bytes(block.data(), block.data() + block.size()))
                << digits;
        }
    }
    const auto entry = ParseVerifyStructure(VerifyBytes());
    Bytes apdu = entry->apdu;
    EXPECT_FALSE(InsertPin(*entry, "12345", 0, apdu)) << "shorter than the structure allows";
    EXPECT_FALSE(InsertPin(*entry, "1234567890123", 0, apdu));
}

TEST(PinEntryDriver, MalformedStructuresAreRefused) {
    const struct {
        const char* what;
        bool modify;
        std::size_t at;          // byte changed (or the size cut to)
        int value;               // -1: cut the structure to `at` bytes
        std::size_t alsoAt = 0;  // a second byte changed, when not 0
        int alsoValue = 0;
    } cases[] = {
        {"header cut short", false, 10, -1},
        {"PIN block cut short", false, 25, -1},
        {"data length one more", false, 15, 0x0E},
        {"Lc disagrees", false, 23, 0x07},
        {"no such PIN type", false, 2, 0x83},
        {"bit units", false, 2, 0x01},
        {"minimum above maximum", false, 6, 0x0D},
        {"no minimum", false, 6, 0x00},
        {"no validation condition", false, 7, 0x00},
        {"block beyond the command", false, 2, 0x81 | (1 << 3)},
        {"block larger than the command", false, 3, 0x09},
        {"modify: header cut short", true, 20, -1},
        {"modify: new PIN beyond the command", true, 6, 0x01},
        {"modify: old PIN beyond the command", true, 9, 0x03, 5, 0x01},
        {"modify: unknown confirmation flags", true, 9, 0x04},
        {"modify: data length one less", true, 20, 0x0C},
    };
    for (const auto& c : cases) {
        Bytes s = c.modify ? ModifyBytes() : VerifyBytes();
        if (c.value < 0) {
            s.resize(c.at);
        } else {
            s[c.at] = static_cast<uint8_t>(c.value);
        }
        if (c.alsoAt != 0) s[c.alsoAt] = static_cast<uint8_t>(c.alsoValue);
        const auto entry = c.modify ? ParseModifyStructure(s) : ParseVerifyStructure(s);
        EXPECT_FALSE(entry) << c.what;
    }
}

}  // namespace
}  // namespace qorv::pinpadifd
