// The PIN-pad methods through the host on readers named after PIN-pad
// models: the simulated card plays the reader's keypad. The host has no
// display here, so its message boxes go to standard error and the methods
// go on; a confirmation dialog cannot be shown and ends as cancelled.
#include "card_fixture.h"

namespace qorv::testing {
namespace {

using nlohmann::json;

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

class PinPadOnTestBed : public CardOnTestBed {
  protected:
    // A card in a reader of `model`, and a host without a display.
    bool StartPinPad(const std::string& model) {
        if (!StartReaders({{model}})) return false;
        card = InsertCard(0, GetParam(), testbed::ProfilePath("default"));
        if (card == nullptr) return false;
        reader = bed->readerName(0);
        host = std::make_unique<HostProcess>(std::vector<std::string>{
            std::string("TZ=") + kTimeZone, "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
        return true;
    }
    std::string reader;
};
ON_BOTH_PROTOCOLS(PinPadOnTestBed);

#define START_PIN_PAD(model)                                  \
    do {                                                      \
        if (!StartPinPad(model)) {                            \
            if (skipped_) {                                   \
                GTEST_SKIP() << "a private pcscd needs root"; \
            }                                                 \
            return;                                           \
        }                                                     \
    } while (0)

TEST_P(PinPadOnTestBed, VerifyPinSndOnAnApg8201TakesThePinTypedOnThePad) {
    START_PIN_PAD("ACS APG8201");
    HostProcess& host = Host();
    ASSERT_EQ(host.Call("ConnectCard", {reader}), 0);
    ASSERT_TRUE(card->PadTypes("123456"));
    EXPECT_EQ(host.Call("VerifyPINSnd"), 0);
    ASSERT_TRUE(card->PadTypes("111111"));
    EXPECT_EQ(host.Call("VerifyPINSnd"), 1) << "the card's wrong-PIN answer";
    ASSERT_TRUE(card->PadCancels());
    EXPECT_EQ(host.Call("VerifyPINSnd"), 1) << "the pad's cancel answer";
    // The session stays the page's: the card is still connected.
    ASSERT_TRUE(card->PadTypes("123456"));
    EXPECT_EQ(host.Call("VerifyPINSnd"), 0);
    // Without a person the confirmation is cancelled before any command.
    EXPECT_EQ(host.Call("VerifyPINSndEx", {"<Tag1>PIN</Tag1>"}), 20756);
}

TEST_P(PinPadOnTestBed, ChangePinSndOnAnAcr83uWritesTheNewPinTypedOnThePad) {
    START_PIN_PAD("ACS ACR83U");
    HostProcess& host = Host();
    ASSERT_EQ(host.Call("ConnectCard", {reader}), 0);
    ASSERT_TRUE(card->PadTypes("123456", "654321"));
    EXPECT_EQ(host.Call("ChangePINSnd", {"0058100099999999"}), 20757);
    EXPECT_TRUE(card->WrittenRecords().empty());
    EXPECT_EQ(host.Call("ChangePINSnd", {"0058100012345678"}), 0);
    const auto written = card->WrittenRecords();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].ins, 0xD2);
    EXPECT_EQ(written[0].data,
              (std::vector<uint8_t>{0x65, 0x43, 0x21, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    // The PIN typed on the computer is the new one now.
    EXPECT_EQ(host.Call("VerifyPIN", {"123456"}), 1);
    EXPECT_EQ(host.Call("VerifyPIN", {"654321"}), 0);
}

TEST_P(PinPadOnTestBed, TransferSndIsAuthorisedWithThePinTypedOnThePad) {
    START_PIN_PAD("Todos eCode Connectable II");
    HostProcess& host = Host();
    const json params = {
        "2521", "12345678", "ABCDEFGH", "00000000123400", "8120058100099999", "0058100012345678",
        reader};
    ASSERT_TRUE(card->PadTypes("111111"));
    EXPECT_EQ(host.Call("AccountTransferSnd", params), -1)
        << "the write refused with the verify's answer";
    EXPECT_TRUE(card->WrittenRecords().empty());
    ASSERT_TRUE(card->PadTypes("123456"));
    ASSERT_EQ(host.Call("AccountTransferSnd", params), 0);
    const auto written = card->WrittenRecords();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].ins, 0xE2);
    const std::string dateTime = host.Call("GetRespDateTime").get<std::string>();
    EXPECT_EQ(written[0].data, Bytes("2521"
                                     "00000000123400"
                                     "12345678"
                                     "ABCDEFGH" +
                                     dateTime +
                                     "8120058100099999"
                                     "0058100012345678"));
    EXPECT_EQ(host.Call("GetRespSNUM"), "00000001");
    EXPECT_EQ(host.Call("GetTransactionAccount"), "0058100012345678");
    EXPECT_EQ(host.Call("GetTransactionIssuer"), "812");
    // The method closed its own session: the next card step needs a connect.
    EXPECT_EQ(host.Call("CheckCardInsert"), -1);
}

}  // namespace
}  // namespace qorv::testing
