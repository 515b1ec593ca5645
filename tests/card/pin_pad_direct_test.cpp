// PIN entry on readers with secure PIN entry of their own: the structures'
// bytes, the reader's answers, and which readers take that path.
#include "card/pin_pad_direct.h"

#include "card/pin_entry_structures.h"
#include "card/pin_pad.h"
#include "card_test_fixture.h"

namespace qorv::testing {
namespace {

constexpr reader::PcscDword kVerifyDirect = 0x42330006;
constexpr reader::PcscDword kModifyDirect = 0x42330007;
constexpr char kFeatures[] = "06 04 42 33 00 06 07 04 42 33 00 07";
constexpr char kVerifyCommand[] = "00 20 00 10 08 FF FF FF FF FF FF FF FF";
constexpr char kWritePinCommand[] = "00 D2 01 04 08 FF FF FF FF FF FF FF FF";

TEST(PinEntryStructures, BytesFollowTheReadersPackedLittleEndianLayout) {
    const auto verify = card::VerifyPinStructure();
    const auto modify = card::ModifyPinStructure();
    const struct {
        Bytes built;
        std::string expected;
    } cases[] = {
        // 60 s, 15 s, BCD bytes at 0, 8-byte block, 6-12 digits (0x060C), OK
        // key, one message, zh-TW, "enter PIN", data length 13, the verify.
        {{verify.begin(), verify.end()},
         "3C 0F 81 08 00 0C 06 02 01 04 04 00 000000 0D000000" + std::string(kVerifyCommand)},
        // Offsets 0/0, new PIN confirmed without the current one, two
        // messages: "enter new PIN", "confirm", then the PIN record write.
        {{modify.begin(), modify.end()},
         "3C 0F 81 08 00 00 00 0C 06 01 02 02 04 04 01 02 00 000000 0D000000" +
             std::string(kWritePinCommand)},
    };
    for (const auto& c : cases) EXPECT_EQ(ToHex(c.built), ToHex(HexBytes(c.expected)));
}

TEST(PinEntryStructures, TheReadersAnswerBecomesTheCardsStatus) {
    const struct {
        int32_t control;
        const char* answer;
        int32_t result;
    } cases[] = {
        {0, "90 00", 0},
        {0, "64 00", 0x6400},  // nothing typed in time
        {0, "64 01", 0x6401},  // cancelled on the reader
        {0, "63 C2", 0x63C2},
        {0, "01 02 90 00", 0},
        // A refused structure, or no status word, verified nothing.
        {static_cast<int32_t>(0x80100016), "", -1},
        {static_cast<int32_t>(0x80100016), "90 00", -1},
        {0, "90", -1},
        {0, "", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(card::PadAnswerResult(c.control, HexBytes(c.answer)), c.result) << c.answer;
    }
}

TEST(PinEntryStructures, TheReadersOwnPropertiesNarrowTheEntry) {
    const struct {
        reader::PinPadProperties reader;
        bool fits;
        uint8_t fewest, most, messages;
    } cases[] = {
        {{}, true, 6, 12, 1},
        {{.lcdLayout = 0x0210, .minPinSize = 4, .maxPinSize = 8}, true, 6, 8, 1},
        {{.minPinSize = 8, .maxPinSize = 16}, true, 8, 12, 1},
        {{.lcdLayout = 0}, true, 6, 12, 0},   // no display, no prompts
        {{.maxPinSize = 4}, false, 6, 4, 1},  // this card's PINs never fit
    };
    for (const auto& c : cases) {
        auto verify = card::VerifyPinStructure();
        auto modify = card::ModifyPinStructure();
        EXPECT_EQ(card::FitToReader(verify, card::kVerifyFields, c.reader), c.fits);
        EXPECT_EQ(card::FitToReader(modify, card::kModifyFields, c.reader), c.fits);
        EXPECT_EQ(ToHex({verify[5], verify[6], verify[8]}), ToHex({c.most, c.fewest, c.messages}));
        EXPECT_EQ(ToHex({modify[7], modify[8], modify[11]}),
                  ToHex({c.most, c.fewest, static_cast<uint8_t>(c.messages * 2)}));
    }
}

class PinDirectTest : public CardTest {
  protected:
    void ConnectReader(const std::string& name,
                       reader::PcscDword protocol = reader::pcsc::kProtocolT0) {
        FakeCard card;
        card.protocol = protocol;
        pcsc.AddReader(name, card);
        ASSERT_EQ(ctrl.ConnectCard(std::u16string(name.begin(), name.end())), 0);
        pcsc.ClearCalls();
    }
    void ExpectDirect(reader::PcscDword code, const std::string& structure,
                      const std::string& answer) {
        pcsc.ExpectControl(code, ToHex(Bytes(structure.begin(), structure.end())), answer);
    }
    static std::string Verify() {
        const auto s = card::VerifyPinStructure();
        return {s.begin(), s.end()};
    }
    static std::string Modify() {
        const auto s = card::ModifyPinStructure();
        return {s.begin(), s.end()};
    }
};

TEST_F(PinDirectTest, AReaderOutsideTheModelTableTakesTheVerifyAsAStructure) {
    ConnectReader("Cherry SmartTerminal ST-2xxx 00 00");
    ExpectSelectApplication();
    pcsc.ExpectControl(reader::kGetFeatureRequest, "", kFeatures);
    ExpectDirect(kVerifyDirect, Verify(), "90 00");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 0);
    ExpectSelectApplication();
    pcsc.Force("control", static_cast<int32_t>(0x80100016));
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 1) << "a refused structure is no success";
    EXPECT_TRUE(pcsc.ScriptDone());
    EXPECT_EQ(Sent().size(), 2u) << "no placeholder reached the card";
    EXPECT_EQ(card::ClassifyConnectedPinPadReader(ctrl.engine(), 0, u"Cherry SmartTerminal"),
              card::kReaderClassPinDirect);
}

TEST_F(PinDirectTest, TheChangeVerifiesTheOldPinThenWritesTheNewOne) {
    ConnectReader("Cherry SmartTerminal ST-2xxx 00 00");
    pcsc.ExpectControl(reader::kGetFeatureRequest, "", kFeatures);
    ExpectDirect(kVerifyDirect, Verify(), "90 00");
    pcsc.Expect("00A4020002 00C2", "9000");
    ExpectDirect(kModifyDirect, Modify(), "90 00");
    EXPECT_EQ(card::ChangePinOnPad(ctrl.engine(), 0), 0);
    // A wrong old PIN writes nothing.
    ExpectDirect(kVerifyDirect, Verify(), "66 08");
    EXPECT_EQ(card::ChangePinOnPad(ctrl.engine(), 0), 20484);
    ExpectDirect(kVerifyDirect, Verify(), "90 00");
    pcsc.Expect("00A4020002 00C2", "9000");
    ExpectDirect(kModifyDirect, Modify(), "64 00");
    EXPECT_EQ(card::ChangePinOnPad(ctrl.engine(), 0), 1);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinDirectTest, ASuppliedRecordRefusedForWantOfAPinIsWrittenAfterThePinOnTheReader) {
    ConnectReader("Cherry SmartTerminal ST-2xxx 00 00", reader::pcsc::kProtocolT1);
    const std::string write = "00E2108003414243 00";
    const std::string answer = "00" + AsciiHex("00000001") + "0100" + "1122334455667788";
    pcsc.Expect(write, "6982");
    pcsc.ExpectControl(reader::kGetFeatureRequest, "", kFeatures);
    ExpectDirect(kVerifyDirect, Verify(), "90 00");
    pcsc.Expect(write, answer + "9000");
    card::TransactionResults results;
    EXPECT_EQ(ctrl.engine().WriteSuppliedRecord(0, u"1080", u"ABC", results), 0);
    EXPECT_EQ(results.snum, u"00000001");
    // Cancelled on the reader: the write is not sent again.
    pcsc.Expect(write, "6982");
    ExpectDirect(kVerifyDirect, Verify(), "64 01");
    EXPECT_NE(ctrl.engine().WriteSuppliedRecord(0, u"1080", u"ABC", results), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(PinDirectTest, ModelsAndReadersWithoutSecureEntryKeepThePlaceholder) {
    // An ACR83U that announces part 10 is still driven as the model table says.
    ConnectReader("ACS ACR83U 00 00");
    ExpectSelectApplication();
    pcsc.Expect(kVerifyCommand, "9000");
    EXPECT_EQ(card::VerifyPinOnPad(ctrl.engine(), 0), 0);
    EXPECT_EQ(pcsc.Count("control"), 0);
    EXPECT_EQ(card::PinPadPathName(session, 0), u"model table, class 2");

    // Verify only: the change takes the placeholder.
    ConnectReader("Gemalto PC Pinpad 00 00");
    pcsc.ExpectControl(reader::kGetFeatureRequest, "", "06 04 42 33 00 06");
    pcsc.Expect("00A4020002 00C2", "9000");
    pcsc.Expect("0020001008F0F0F0F0F0F0F0F0", "9000");
    EXPECT_EQ(card::ChangePinOnPad(ctrl.engine(), 1), 0);
    EXPECT_EQ(card::PinPadPathName(session, 1), u"part 10");
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
