// The feature list a reader with secure PIN entry announces, and that it is
// asked once per connect.
#include "reader/pin_pad_features.h"

#include <gtest/gtest.h>

#include "reader/reader_session.h"
#include "support/fake_pcsc.h"

namespace qorv::reader {
namespace {

using testing::FakePcsc;
using testing::HexBytes;
using testing::RecordingPauser;

TEST(PinPadFeatureList, CodesAreTakenFromWellFormedEntriesOnly) {
    const struct {
        const char* tlv;
        std::optional<PcscDword> verify{}, modify{}, properties{}, tlvProperties{};
    } cases[] = {
        {"06 04 42 33 00 06  07 04 42 33 00 07  0A 04 42 33 00 0A  12 04 42 33 00 12", 0x42330006,
         0x42330007, 0x4233000A, 0x42330012},
        // Unknown tags and entries of another length are stepped over.
        {"01 04 42 33 00 01  06 02 00 06  07 04 00 00 00 07", std::nullopt, 7},
        {"13 00  06 04 01 02 03 04", 0x01020304},
        // A last entry cut short is not read past the answer's end.
        {"07 04 42 33 00 07  06 04 42 33", std::nullopt, 0x42330007},
        {"06", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const PinPadFeatures f = ParseFeatureList(HexBytes(c.tlv));
        EXPECT_EQ(f.verifyPinDirect, c.verify) << c.tlv;
        EXPECT_EQ(f.modifyPinDirect, c.modify) << c.tlv;
        EXPECT_EQ(f.ifdPinProperties, c.properties) << c.tlv;
        EXPECT_EQ(f.getTlvProperties, c.tlvProperties) << c.tlv;
    }
}

TEST(PinPadFeatureList, PropertiesAreLittleEndianAndSizeChecked) {
    PinPadProperties p;
    ParseTlvProperties(
        HexBytes("01 02 10 02  02 01 02  03 01 0F  06 01 04  07 02 0C 00  08 03 41 42 43"), p);
    EXPECT_EQ(p.lcdLayout, 0x0210);
    EXPECT_EQ(p.entryValidation, 0x02);
    EXPECT_EQ(p.timeOut2, 0x0F);
    EXPECT_EQ(p.minPinSize, 4);
    EXPECT_FALSE(p.maxPinSize) << "a one-byte property in two bytes is not taken";
    PinPadProperties old;
    ParsePinProperties(HexBytes("10 02 02 0F"), old);
    EXPECT_EQ(old.lcdLayout, 0x0210);
    EXPECT_EQ(old.timeOut2, 0x0F);
}

TEST(PinPadFeatureCache, AskedOncePerConnectAndNeverWithoutACard) {
    FakePcsc pcsc;
    RecordingPauser pauser;
    ReaderSession session{pcsc, pauser};
    pcsc.AddReader("Cherry SmartTerminal ST-2xxx 00 00");
    Atr atr;
    int32_t slot = -1;
    ASSERT_EQ(session.OpenSession(), 0);
    EXPECT_FALSE(session.pinPadFeatures(0).verifyPinDirect);
    EXPECT_EQ(pcsc.Count("control"), 0) << "no card handle, no control call";

    const auto connect = [&] {
        return session.ConnectByName(u"Cherry SmartTerminal ST-2xxx 00 00", kShareTypeExclusive,
                                     slot, atr);
    };
    ASSERT_EQ(connect(), 0);
    pcsc.ExpectControl(kGetFeatureRequest, "", "06 04 42 33 00 06 12 04 42 33 00 12");
    pcsc.ExpectControl(0x42330012, "", "07 01 0C");
    EXPECT_EQ(session.pinPadFeatures(slot).verifyPinDirect, 0x42330006);
    EXPECT_EQ(session.pinPadFeatures(slot).properties.maxPinSize, 12);
    EXPECT_EQ(pcsc.Count("control"), 2);

    // A new connection is a new reader as far as anyone knows.
    ASSERT_EQ(session.DisconnectSlot(slot, kDispositionLeave), 0);
    ASSERT_EQ(connect(), 0);
    pcsc.Force("control", pcsc::kUnsupportedFeature);
    EXPECT_FALSE(session.pinPadFeatures(slot).verifyPinDirect);
    EXPECT_FALSE(session.pinPadFeatures(slot).verifyPinDirect);
    EXPECT_EQ(pcsc.Count("control"), 3);
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::reader
