// A PIN-pad reader that is no model of the table but announces secure PIN
// entry (PC/SC part 10), through the real host and a private pcscd with the
// project's part 10 driver (tools/pinpadifd): the simulated card's pad
// controls say what the customer types, the driver puts it into the
// structures the host sent and logs what it received.
#include "card_fixture.h"

namespace qorv::testing {
namespace {

using nlohmann::json;

// The structures as the card needs them: BCD into an FF-filled 8-byte
// block of its own verify (00 20 00 10) and PIN record write (00 D2 01 04).
constexpr char kVerifyStructure[] =
    "3C0F8108000C060201040400000000"
    "0D000000"
    "0020001008FFFFFFFFFFFFFFFF";
constexpr char kModifyStructure[] =
    "3C0F81080000000C0601020204040102000000000D000000"
    "00D2010408FFFFFFFFFFFFFFFF";
constexpr char kFeatureRequest[] = "42000D48";
constexpr char kVerifyCode[] = "42330006";
constexpr char kModifyCode[] = "42330007";

class Part10PinPad : public CardOnTestBed {
  protected:
    bool Start() {
        testbed::ReaderSpec spec{testbed::kPart10PinPadReader};
        spec.part10PinPad = true;
        if (!StartReaders({spec})) return false;
        card = InsertCard(0, GetParam(), testbed::ProfilePath("default"));
        if (card == nullptr) return false;
        reader = bed->readerName(0);
        host = std::make_unique<HostProcess>(std::vector<std::string>{
            std::string("TZ=") + kTimeZone, "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
        return true;
    }
    // The driver's log lines of one control code, the code cut off.
    std::vector<std::string> Received(const std::string& code) const {
        std::vector<std::string> out;
        for (const std::string& line : bed->PinPadControls(0)) {
            if (line.starts_with(code)) out.push_back(line.substr(code.size() + 1));
        }
        return out;
    }
    // The writes the card carried out (a refused one is recorded too).
    std::vector<testbed::WrittenRecord> Written() const {
        std::vector<testbed::WrittenRecord> done;
        for (const auto& record : card->WrittenRecords()) {
            if (record.status == 0x9000) done.push_back(record);
        }
        return done;
    }
    std::string reader;
};
ON_BOTH_PROTOCOLS(Part10PinPad);

#define START_PART10()                                                  \
    do {                                                                \
        if (!Start()) {                                                 \
            if (skipped_) GTEST_SKIP() << "a private pcscd needs root"; \
            return;                                                     \
        }                                                               \
    } while (0)

TEST_P(Part10PinPad, VerifyAndChangeTakeThePinTypedOnTheReader) {
    START_PART10();
    HostProcess& host = Host();
    ASSERT_EQ(host.Call("ConnectCard", {reader}), 0);
    ASSERT_EQ(host.Call("ListWinscardInfo"), 0);
    EXPECT_EQ(host.Call("GetWinscardProperty", {3}), "part 10");
    ASSERT_TRUE(card->PadTypes("111111"));
    EXPECT_EQ(host.Call("VerifyPINSnd"), 1) << "the card's wrong-PIN answer";
    ASSERT_TRUE(card->PadCancels());
    EXPECT_EQ(host.Call("VerifyPINSnd"), 1) << "64 01 from the reader";
    ASSERT_TRUE(card->PadTimesOut());
    EXPECT_EQ(host.Call("VerifyPINSnd"), 1) << "64 00 from the reader";
    ASSERT_TRUE(card->PadTypes("123456"));
    EXPECT_EQ(host.Call("VerifyPINSnd"), 0);
    EXPECT_EQ(Received(kFeatureRequest).size(), 1u) << "features asked once per connect";
    EXPECT_EQ(Received(kVerifyCode), std::vector<std::string>(4, kVerifyStructure))
        << "never a PIN in what the host sent";
    EXPECT_TRUE(card->WrittenRecords().empty());

    // A wrong old PIN writes nothing; the right one the new PIN typed twice.
    ASSERT_TRUE(card->PadTypes("222222", "654321"));
    EXPECT_EQ(host.Call("ChangePINSnd", {"0058100012345678"}), 1);
    EXPECT_TRUE(card->WrittenRecords().empty());
    ASSERT_TRUE(card->PadTypes("123456"));
    EXPECT_EQ(host.Call("ChangePINSnd", {"0058100012345678"}), 1) << "no new PIN typed";
    EXPECT_TRUE(card->WrittenRecords().empty());
    ASSERT_TRUE(card->PadTypes("123456", "654321"));
    EXPECT_EQ(host.Call("ChangePINSnd", {"0058100012345678"}), 0);
    const auto written = card->WrittenRecords();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].data,
              (std::vector<uint8_t>{0x65, 0x43, 0x21, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Received(kModifyCode), std::vector<std::string>(2, kModifyStructure));
    EXPECT_EQ(host.Call("VerifyPIN", {"654321"}), 0);
}

TEST_P(Part10PinPad, TransferSndIsAuthorisedWithThePinTypedOnTheReader) {
    START_PART10();
    HostProcess& host = Host();
    const json params = {
        "2521", "12345678", "ABCDEFGH", "00000000123400", "8120058100099999", "0058100012345678",
        reader};
    ASSERT_TRUE(card->PadTypes("111111"));
    EXPECT_EQ(host.Call("AccountTransferSnd", params), -1);
    ASSERT_TRUE(card->PadCancels());
    EXPECT_EQ(host.Call("AccountTransferSnd", params), -1);
    EXPECT_TRUE(Written().empty());
    ASSERT_TRUE(card->PadTypes("123456"));
    ASSERT_EQ(host.Call("AccountTransferSnd", params), 0);
    const auto written = Written();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].ins, 0xE2);
    EXPECT_EQ(host.Call("GetRespSNUM"), "00000001");
    EXPECT_EQ(Received(kVerifyCode), std::vector<std::string>(3, kVerifyStructure));
}

}  // namespace
}  // namespace qorv::testing
