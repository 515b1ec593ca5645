#include "control_fixture.h"

namespace qorv::testing {
namespace {

const ScriptValue kReader = Text(u"Virtual PCD 00 00");

TEST_F(ControlTest, GettersBeforeAnyCall) {
    EXPECT_EQ(Long("GetReaderNumber"), -1);
    EXPECT_EQ(Long("GetReaderNumber"), -1);  // the -1 is stored
    EXPECT_EQ(Call("GetReaderName", {0}), kNull);
    EXPECT_EQ(Call("GetCardStatus"), kNull);
    EXPECT_EQ(Call("GetSessionKeyHash"), kNull);
    for (const char* getter :
         {"GetRespSNUM", "GetRespTAC", "GetRespDateTime", "GetRespData", "GetTransactionIssuer",
          "GetTransactionRemark", "GetTransactionAccount", "GetClearImportAccount",
          "GetEncImportAccount", "GetClearCommAcc", "GetEncCommAcc", "GetEncryptRN2",
          "GetEncryptHashRN2"}) {
        EXPECT_EQ(Call(getter), Text(u"")) << getter;
    }
    EXPECT_EQ(Long("GetRespLength"), 0);
}

TEST_F(ControlTest, ListReadersFillsTheListAndKeepsTheCountOnFailure) {
    pcsc.AddReader("Virtual PCD 00 00");
    pcsc.AddReader("Virtual PCD 00 01");
    EXPECT_EQ(Long("ListReaders"), 0);
    EXPECT_EQ(Long("GetReaderNumber"), 2);
    EXPECT_EQ(Call("GetReaderName", {1}), Text(u"Virtual PCD 00 01"));
    EXPECT_EQ(Call("GetReaderName", {2}), kNull);
    EXPECT_EQ(Call("GetReaderName", {-1}), kNull);
    pcsc.Force("list", reader::pcsc::kNoReadersAvailable);
    EXPECT_EQ(Long("ListReaders"), -1);
    EXPECT_EQ(Long("GetReaderNumber"), 2);
}

TEST_F(ControlTest, OnlySixteenReadersAreListed) {
    for (int i = 0; i < 18; ++i) pcsc.AddReader("Reader " + std::to_string(i));
    EXPECT_EQ(Long("ListReaders"), 0);
    EXPECT_EQ(Long("GetReaderNumber"), 16);
    EXPECT_EQ(Call("GetReaderName", {15}), Text(u"Reader 15"));
    EXPECT_EQ(Call("GetReaderName", {16}), kNull);
}

TEST_F(ControlTest, NoReaderAttached) {
    EXPECT_EQ(Long("ConnectReader"), 0);
    EXPECT_EQ(Long("ListReaders"), -1);
    EXPECT_EQ(Long("GetReaderNumber"), -1);
}

TEST_F(ControlTest, ConnectCardKeepsTheAtrAsUpperCaseHex) {
    FakeCard card;
    card.atr = {0x3b, 0x9f, 0x95, 0x81, 0x31, 0xfe, 0x9f, 0x00, 0x66, 0x46, 0x53, 0x05};
    pcsc.AddReader("Virtual PCD 00 00", card);
    EXPECT_EQ(Long("ConnectCard", {kReader}), 0);
    EXPECT_EQ(Call("GetCardStatus"), Text(u"3B9F958131FE9F006646530"
                                          u"5"));
    EXPECT_EQ(Long("CheckCardInsert"), 0);
    EXPECT_EQ(Long("DisconnectCard"), 0);
    EXPECT_EQ(Call("GetCardStatus"), kNull);
}

TEST_F(ControlTest, ConnectCardArgumentChecks) {
    pcsc.AddReader("Virtual PCD 00 00");
    EXPECT_EQ(Long("ConnectCard", {kNull}), 4099);
    EXPECT_EQ(Long("ConnectCard", {Text(u"Short")}), 8194);
    EXPECT_EQ(Long("ConnectCard", {ScriptValue(std::u16string(65, u'R'))}), 8194);
    EXPECT_EQ(Long("ReConnectCard", {kNull, 1}), 4099);
    EXPECT_EQ(pcsc.Count("connect"), 0);
    // A 64-unit name is accepted and simply not found.
    EXPECT_EQ(Long("ConnectCard", {ScriptValue(std::u16string(64, u'R'))}),
              reader::pcsc::kUnknownReader);
}

TEST_F(ControlTest, ConnectCardAfterEmptyCountMakesEntryZeroReadable) {
    pcsc.AddReader("Virtual PCD 00 00");
    EXPECT_EQ(Long("GetReaderNumber"), -1);
    EXPECT_EQ(Long("ConnectCard", {kNull}), 4099);
    EXPECT_EQ(Call("GetReaderName", {0}), Text(u""));
}

TEST_F(ControlTest, ReConnectCardBehavesLikeConnectCard) {
    pcsc.AddReader("Virtual PCD 00 00");
    for (const int32_t flag : {0, 1, 7}) {
        EXPECT_EQ(Long("ReConnectCard", {kReader, flag}), 0);
        EXPECT_EQ(Call("GetCardStatus"), Text(u"3B021450"));
    }
    // ReConnectCard leaves the reader count alone.
    EXPECT_EQ(Long("GetReaderNumber"), -1);
}

TEST_F(ControlTest, SharingViolationStillSetsTheReaderIndex) {
    pcsc.AddReader("Virtual PCD 00 00");
    FakeCard held;
    held.heldByOther = true;
    pcsc.AddReader("Virtual PCD 00 01", held);
    EXPECT_EQ(Long("ConnectCard", {Text(u"Virtual PCD 00 01")}), reader::pcsc::kSharingViolation);
    EXPECT_EQ(Call("GetCardStatus"), kNull);
    pcsc.ClearCalls();
    Long("CheckCardInsert");
    ASSERT_GE(pcsc.calls().size(), 1u);
    EXPECT_EQ(pcsc.calls().front().reader, "Virtual PCD 00 01");
}

TEST_F(ControlTest, CheckCardInsertMapsTheProbe) {
    EXPECT_EQ(Long("CheckCardInsert"), -1);  // no session yet
    pcsc.AddReader("Virtual PCD 00 00");
    ASSERT_EQ(Long("ConnectCard", {kReader}), 0);
    EXPECT_EQ(Long("CheckCardInsert"), 0);
    pcsc.RemoveCard("Virtual PCD 00 00");
    EXPECT_EQ(Long("CheckCardInsert"), 1);  // the reconnect reports the removal
    pcsc.Force("reconnect", reader::pcsc::kNoSmartcard);
    EXPECT_EQ(Long("CheckCardInsert"), -1);  // no smart card is any other failure
    pcsc.InsertCard("Virtual PCD 00 00");
    EXPECT_EQ(Long("CheckCardInsert"), 0);
}

TEST_F(ControlTest, DisconnectReaderTwiceIsHarmless) {
    pcsc.AddReader("Virtual PCD 00 00");
    ASSERT_EQ(Long("ConnectCard", {kReader}), 0);
    EXPECT_EQ(Long("DisconnectReader"), 0);
    EXPECT_EQ(Long("DisconnectReader"), 0);
    EXPECT_EQ(pcsc.openContexts(), 0);
    EXPECT_EQ(pcsc.unloads(), 2);
}

TEST_F(ControlTest, MissingLibraryGivesMinusOneEverywhere) {
    pcsc.failLoad = true;
    EXPECT_EQ(Long("ConnectReader"), -1);
    EXPECT_EQ(Long("ListReaders"), -1);
    EXPECT_EQ(Long("ConnectCard", {kReader}), -1);
    EXPECT_EQ(Long("CheckCardInsert"), -1);
    EXPECT_EQ(Long("DisconnectCard"), 0);
    EXPECT_EQ(Long("DisconnectReader"), 0);
}

TEST(ControlLifetime, DestroyingTheControlReleasesTheSessionAndUnloads) {
    FakePcsc pcsc;
    RecordingPauser pauser;
    RecordingUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    pcsc.AddReader("Virtual PCD 00 00");
    {
        control::CQorvClientATMCtrl ctrl{session, ui};
        ASSERT_EQ(ctrl.ConnectCard(u"Virtual PCD 00 00"), 0);
    }
    EXPECT_EQ(pcsc.openContexts(), 0);
    EXPECT_EQ(pcsc.unloads(), 1);
}

}  // namespace
}  // namespace qorv::testing
