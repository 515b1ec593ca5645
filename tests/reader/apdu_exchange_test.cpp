#include "reader/apdu_exchange.h"

#include <gtest/gtest.h>

#include "support/fake_pcsc.h"

namespace qorv::reader {
namespace {

using testing::Bytes;
using testing::FakeCard;
using testing::FakePcsc;
using testing::HexBytes;
using testing::RecordingPauser;
using testing::ToHex;

class ApduExchangeTest : public ::testing::Test {
  protected:
    void Connect(PcscDword protocol) {
        FakeCard card;
        card.protocol = protocol;
        pcsc.AddReader("Reader", card);
        Atr atr;
        int32_t slot = -1;
        ASSERT_EQ(session.ConnectByName(u"Reader", kShareTypeExclusive, slot, atr), 0);
        pcsc.ClearCalls();
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& apdu : pcsc.Transmitted()) out.push_back(ToHex(apdu));
        return out;
    }

    FakePcsc pcsc;
    RecordingPauser pauser;
    ReaderSession session{pcsc, pauser};
    std::array<uint8_t, kResponseCapacity> response{};
};

constexpr CommandHeader kReadRecord{0x00, 0xB2, 0x01, 0x0C};
constexpr CommandHeader kSelect{0x00, 0xA4, 0x04, 0x00};
const Bytes kAid = HexBytes("A0 00 00 01 72 95 00 01");

TEST_F(ApduExchangeTest, T0GetResponseFetchesPendingData) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 0C 00", "61 10");
    pcsc.Expect("00 C0 00 00 10", "00112233445566778899AABBCCDDEEFF 90 00");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0);
    EXPECT_EQ(length, 16);
    EXPECT_EQ(response[15], 0xFF);
}

TEST_F(ApduExchangeTest, T0GetResponseAsksForTheLargerLengthButCopiesWhatWasAnnounced) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 0C 20", "61 10");
    pcsc.Expect("00 C0 00 00 20", "00112233445566778899AABBCCDDEEFF 90 00");
    uint8_t length = 0x20;
    response.fill(0xEE);
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0);
    EXPECT_EQ(length, 16);
    EXPECT_EQ(response[16], 0xEE);
}

TEST_F(ApduExchangeTest, FailedGetResponseLeavesNoLength) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 A4 04 00 08 A0000001 72950001", "61 20");
    // Nothing is scripted for the GET RESPONSE: the fake fails that transmit.
    uint8_t length = 7;
    EXPECT_EQ(Exchange(session, 0, kSelect, 8, &length, kAid.data(), response.data()),
              pcsc::kNotTransacted);
    EXPECT_EQ(length, 0);
}

TEST_F(ApduExchangeTest, GetResponseForSixtyOneZeroAsksForEverythingAndCopiesNothing) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 A4 04 00 08 A0000001 72950001", "61 00");
    pcsc.Expect("00 C0 00 00 00", "90 00");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kSelect, 8, &length, kAid.data(), response.data()), 0);
    EXPECT_EQ(length, 0);
}

TEST_F(ApduExchangeTest, T0ResendsWithTheLengthTheCardAsksFor) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 0C 00", "6C 08");
    pcsc.Expect("00 B2 01 0C 08", "0102030405060708 90 00");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0);
    EXPECT_EQ(length, 8);
}

TEST_F(ApduExchangeTest, T1ResendsWithoutLe) {
    Connect(pcsc::kProtocolT1);
    pcsc.Expect("00 B2 01 0C 00", "6C 08");
    pcsc.Expect("00 B2 01 0C", "0102030405060708 90 00");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0);
    EXPECT_EQ(length, 8);
}

TEST_F(ApduExchangeTest, CardThatCorrectsLeForeverIsGivenUpOn) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 0C 00", "6C 08");
    for (int i = 0; i < kMaxLeCorrections; ++i) pcsc.Expect("00 B2 01 0C 08", "6C 08");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0x6C08);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ApduExchangeTest, WithoutResponseBufferSixCIsReturned) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 0C 00", "6C 08");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, nullptr), 0x6C08);
}

TEST_F(ApduExchangeTest, CaseFourCarriesLeOnlyOnT1) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 A4 04 00 08 A000000172950001", "90 00");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kSelect, 8, &length, kAid.data(), response.data()), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ApduExchangeTest, CaseFourOnT1CarriesLe) {
    Connect(pcsc::kProtocolT1);
    pcsc.Expect("00 A4 04 00 08 A000000172950001 00", "90 00");
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kSelect, 8, &length, kAid.data(), response.data()), 0);
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ApduExchangeTest, StatusWordsBecomeResults) {
    Connect(pcsc::kProtocolT1);
    pcsc.Expect("00 B2 01 0C", "6A 82");
    pcsc.Expect("00 B2 01 0C", "90 01");
    pcsc.Expect("00 B2 01 0C", "90 00");
    pcsc.Expect("00 B2 01 0C", "AA BB 63 C2");
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, nullptr, nullptr, response.data()), 27266);
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, nullptr, nullptr, response.data()), 36865);
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, nullptr, nullptr, response.data()), 0);
    // Data arrived but the caller gave no length slot.
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, nullptr, nullptr, response.data()), -1);
}

TEST_F(ApduExchangeTest, DataWithStatusIsCopiedAndStatusReturned) {
    Connect(pcsc::kProtocolT1);
    pcsc.Expect("00 B2 01 0C 04", "01020304 62 83");
    uint8_t length = 4;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()), 0x6283);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(response[3], 4);
}

TEST_F(ApduExchangeTest, TransmitErrorsAndShortAnswersFail) {
    Connect(pcsc::kProtocolT1);
    pcsc.Force("transmit", pcsc::kRemovedCard);
    uint8_t length = 0;
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()),
              pcsc::kRemovedCard);
    pcsc.Expect("00 B2 01 0C 00", "90");
    EXPECT_EQ(Exchange(session, 0, kReadRecord, 0, &length, nullptr, response.data()),
              pcsc::kCommError);
}

TEST_F(ApduExchangeTest, SlotNeverConnectedFails) {
    Connect(pcsc::kProtocolT1);
    EXPECT_EQ(Exchange(session, 3, kReadRecord, 0, nullptr, nullptr, response.data()),
              pcsc::kInvalidHandle);
    EXPECT_EQ(Exchange(session, 99, kReadRecord, 0, nullptr, nullptr, response.data()),
              pcsc::kInvalidHandle);
    EXPECT_EQ(pcsc.Count("transmit"), 0);
}

TEST_F(ApduExchangeTest, ExtendedSendsThreeByteLeOnT1) {
    Connect(pcsc::kProtocolT1);
    const std::string records(2 * 60, 'A');
    pcsc.Expect("00 B2 01 05 00 00 3C", records + "9000");
    std::array<uint8_t, kExtendedResponseCapacity> big{};
    uint32_t length = 60;
    EXPECT_EQ(
        ExchangeExtended(session, 0, {0x00, 0xB2, 0x01, 0x05}, 0, &length, nullptr, big.data()), 0);
    EXPECT_EQ(length, 60u);
    EXPECT_EQ(big[60], 0x90);  // the whole answer, status included
}

TEST_F(ApduExchangeTest, ExtendedRefusalKeepsTheCallersLength) {
    Connect(pcsc::kProtocolT0);
    pcsc.Expect("00 B2 01 05 00 00 3C", "67 00");
    std::array<uint8_t, kExtendedResponseCapacity> big{};
    uint32_t length = 60;
    EXPECT_EQ(
        ExchangeExtended(session, 0, {0x00, 0xB2, 0x01, 0x05}, 0, &length, nullptr, big.data()),
        0x6700);
    EXPECT_EQ(length, 60u);
}

}  // namespace
}  // namespace qorv::reader
