// The reader methods through the real host, pcscd and vpcd.
#include <PCSC/winscard.h>

#include <nlohmann/json.hpp>

#include "testbed_fixture.h"

namespace qorv::testing {
namespace {

using nlohmann::json;
using testbed::CardPresence;
using testbed::CardProtocol;

constexpr const char* kT0Atr = "3B";  // both ATRs start with the initial character

TEST_F(TestBedTest, NoReaderConfigured) {
    START_READERS({});
    EXPECT_EQ(Host().Call("ConnectReader"), 0);
    EXPECT_EQ(Host().Call("ListReaders"), -1);
    EXPECT_EQ(Host().Call("GetReaderNumber"), -1);
    EXPECT_EQ(Host().Call("ConnectCard", {"Virtual PCD 00 00"}),
              Signed(0x80100009));  // unknown reader
}

TEST_F(TestBedTest, OneReaderWithAT1Card) {
    START_READERS({{"Virtual PCD"}});
    ASSERT_NE(InsertCard(0, CardProtocol::T1), nullptr);
    HostProcess& host = Host();
    EXPECT_EQ(host.Call("ListReaders"), 0);
    EXPECT_EQ(host.Call("GetReaderNumber"), 2);  // vpcd has a second, empty slot
    EXPECT_EQ(host.Call("GetReaderName", {0}), "Virtual PCD 00 00");
    EXPECT_EQ(host.Call("GetReaderName", {2}), nullptr);
    EXPECT_EQ(host.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
    const json atr = host.Call("GetCardStatus");
    ASSERT_TRUE(atr.is_string());
    EXPECT_EQ(atr.get<std::string>().rfind(kT0Atr, 0), 0u);
    EXPECT_EQ(host.Call("CheckCardInsert"), 0);
    EXPECT_EQ(host.Call("DisconnectCard"), 0);
    EXPECT_EQ(host.Call("GetCardStatus"), nullptr);
    EXPECT_EQ(host.Call("DisconnectReader"), 0);
    EXPECT_EQ(host.Call("DisconnectReader"), 0);
}

TEST_F(TestBedTest, T0AndT1CardsAnswerWithDifferentAtrs) {
    START_READERS({{"Reader T0"}, {"Reader T1"}});
    ASSERT_NE(InsertCard(0, CardProtocol::T0), nullptr);
    ASSERT_NE(InsertCard(1, CardProtocol::T1), nullptr);
    HostProcess& host = Host();
    EXPECT_EQ(host.Call("ListReaders"), 0);
    EXPECT_EQ(host.Call("GetReaderNumber"), 4);
    EXPECT_EQ(host.Call("ConnectCard", {bed->readerName(0)}), 0);
    const json t0 = host.Call("GetCardStatus");
    EXPECT_EQ(host.Call("ConnectCard", {bed->readerName(1)}), 0);
    const json t1 = host.Call("GetCardStatus");
    ASSERT_TRUE(t0.is_string() && t1.is_string());
    EXPECT_NE(t0, t1);
    // The page works with the second reader now; the first stays connected.
    EXPECT_EQ(host.Call("CheckCardInsert"), 0);
}

TEST_F(TestBedTest, CardAbsent) {
    START_READERS({{"Virtual PCD"}});
    EXPECT_EQ(Host().Call("ConnectCard", {"Virtual PCD 00 00"}), Signed(0x8010000C));
    EXPECT_EQ(Host().Call("GetCardStatus"), nullptr);
}

TEST_F(TestBedTest, CardTakenOutAndPutBack) {
    START_READERS({{"Virtual PCD"}});
    testbed::SimulatedCard* card = InsertCard(0, CardProtocol::T0);
    ASSERT_NE(card, nullptr);
    HostProcess& host = Host();
    ASSERT_EQ(host.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
    ASSERT_TRUE(card->Remove());
    ASSERT_TRUE(testbed::WaitForCard(bed->readerName(0), CardPresence::Absent));
    const json whileOut = host.Call("CheckCardInsert");
    EXPECT_TRUE(whileOut == 1 || whileOut == -1) << whileOut;
    EXPECT_NE(whileOut, 0);
    ASSERT_TRUE(card->Insert());
    ASSERT_TRUE(testbed::WaitForCard(bed->readerName(0), CardPresence::Present));
    // The card is back: a new connect works and the probe finds it.
    EXPECT_EQ(host.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
    EXPECT_EQ(host.Call("CheckCardInsert"), 0);
}

TEST_F(TestBedTest, APcscdRestartUnderAConnectedHostNeedsNoListingFirst) {
    START_READERS({{"Virtual PCD"}});
    ASSERT_NE(InsertCard(0, CardProtocol::T1), nullptr);
    HostProcess& host = Host();
    ASSERT_EQ(host.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
    std::string error;
    ASSERT_TRUE(bed->Restart(&error)) << error;
    ASSERT_TRUE(testbed::WaitForCard(bed->readerName(0), CardPresence::Present));
    // The host's context belongs to the pcscd that went away.
    EXPECT_EQ(host.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
    const json atr = host.Call("GetCardStatus");
    ASSERT_TRUE(atr.is_string());
    EXPECT_EQ(atr.get<std::string>().rfind(kT0Atr, 0), 0u);
}

TEST_F(TestBedTest, CardHeldByAnotherProgram) {
    START_READERS({{"Virtual PCD"}});
    ASSERT_NE(InsertCard(0, CardProtocol::T1), nullptr);
    SCARDCONTEXT context = 0;
    ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context), SCARD_S_SUCCESS);
    SCARDHANDLE other = 0;
    DWORD protocol = 0;
    ASSERT_EQ(SCardConnect(context, "Virtual PCD 00 00", SCARD_SHARE_EXCLUSIVE,
                           SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &other, &protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(Host().Call("ConnectCard", {"Virtual PCD 00 00"}), Signed(0x8010000B));
    SCardDisconnect(other, SCARD_LEAVE_CARD);
    SCardReleaseContext(context);
    EXPECT_EQ(Host().Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
}

TEST_F(TestBedTest, EndOfInputReleasesTheCardForOthers) {
    START_READERS({{"Virtual PCD"}});
    ASSERT_NE(InsertCard(0, CardProtocol::T1), nullptr);
    {
        HostProcess first;
        ASSERT_EQ(first.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
        HostProcess second;
        EXPECT_EQ(second.Call("ConnectCard", {"Virtual PCD 00 00"}), Signed(0x8010000B));
        EXPECT_EQ(first.CloseAndWait(), 0);
        EXPECT_EQ(second.Call("ConnectCard", {"Virtual PCD 00 00"}), 0);
    }
}

}  // namespace
}  // namespace qorv::testing
