#include "reader/reader_session.h"

#include <gtest/gtest.h>

#include "reader/reader_names.h"
#include "support/fake_pcsc.h"

namespace qorv::reader {
namespace {

using testing::FakeCard;
using testing::FakePcsc;
using testing::RecordingPauser;

constexpr const char* kReaderA = "Virtual PCD 00 00";
constexpr const char* kReaderB = "Virtual PCD 00 01";

class ReaderSessionTest : public ::testing::Test {
  protected:
    FakePcsc pcsc;
    RecordingPauser pauser;
    ReaderSession session{pcsc, pauser};
    Atr atr;
    int32_t slot = -1;

    int32_t ConnectExclusive(const std::u16string& name) {
        slot = -1;
        return session.ConnectByName(name, kShareTypeExclusive, slot, atr);
    }
};

TEST_F(ReaderSessionTest, MissingLibraryIsReportedAndRetriedNextTime) {
    pcsc.failLoad = true;
    EXPECT_EQ(session.OpenSession(), result::kFailed);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), result::kFailed);
    EXPECT_EQ(pcsc.loads(), 2);
    pcsc.failLoad = false;
    pcsc.missingEntryPoint = true;
    EXPECT_EQ(session.LoadBinding(), result::kFailed);
    pcsc.missingEntryPoint = false;
    EXPECT_EQ(session.LoadBinding(), 0);
}

TEST_F(ReaderSessionTest, NoReaderAttached) {
    EXPECT_EQ(session.OpenSession(), 0);
    EXPECT_EQ(session.slotName(0), u"");
    std::array<ReaderName, kSlotCount> names{};
    int32_t count = 99;
    EXPECT_EQ(session.ListReaderNames(names, count), pcsc::kNoReadersAvailable);
    EXPECT_EQ(count, 99);
}

TEST_F(ReaderSessionTest, ListingReleasesTheOldContextAndPausesBeforeTheNewOne) {
    pcsc.AddReader(kReaderA);
    pcsc.AddReader(kReaderB);
    ASSERT_EQ(session.OpenSession(), 0);
    std::array<ReaderName, kSlotCount> names{};
    int32_t count = 0;
    ASSERT_EQ(session.ListReaderNames(names, count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(NameOf(names[0]), u"Virtual PCD 00 00");
    EXPECT_EQ(NameOf(names[1]), u"Virtual PCD 00 01");
    EXPECT_EQ(pauser.pauses, std::vector<int>{50});
    EXPECT_EQ(pcsc.openContexts(), 1);
}

TEST_F(ReaderSessionTest, LongNamesAreCutToTheTableEntry) {
    const std::string longName(80, 'R');
    pcsc.AddReader(longName);
    ASSERT_EQ(session.OpenSession(), 0);
    EXPECT_EQ(session.slotName(0).size(), kNameUnits - 1);
    // The name is still connected by its full text.
    EXPECT_EQ(ConnectExclusive(std::u16string(80, u'R')), 0);
    EXPECT_EQ(slot, 0);
}

TEST_F(ReaderSessionTest, FreshConnectSetsSlotProtocolAndAtr) {
    FakeCard t1;
    t1.protocol = pcsc::kProtocolT1;
    t1.atr = {0x3B, 0x88, 0x80, 0x01};
    pcsc.AddReader(kReaderA);
    pcsc.AddReader(kReaderB, t1);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 01"), 0);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(atr.length, 4u);
    EXPECT_EQ(atr.bytes[1], 0x88);
    EXPECT_EQ(session.slotProtocolBlock(1), session.api()->t1Pci);
    EXPECT_EQ(session.currentCard(), session.slotHandle(1));
    // A fresh connection needs no transaction of its own.
    EXPECT_EQ(pcsc.Count("begin"), 0);
    EXPECT_EQ(pcsc.calls().back().function, "status");
}

TEST_F(ReaderSessionTest, UnknownNameConnectsIntoSlotZero) {
    for (int i = 0; i < 9; ++i) pcsc.AddReader("Reader " + std::to_string(i));
    ASSERT_EQ(session.OpenSession(), 0);
    ASSERT_EQ(ConnectExclusive(u"Reader 8"), 0);  // ninth reader: not searched
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(pcsc.calls()[pcsc.calls().size() - 2].function, "connect");
    // The miss made the table be listed again before giving up.
    EXPECT_EQ(pcsc.Count("list"), 2);
}

TEST_F(ReaderSessionTest, CardHeldByAnotherProgramGivesSharingViolationWithTheSlot) {
    pcsc.AddReader(kReaderA);
    FakeCard held;
    held.heldByOther = true;
    pcsc.AddReader(kReaderB, held);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 01"), pcsc::kSharingViolation);
    EXPECT_EQ(slot, 1);
    // A shared connect was tried before giving up.
    ASSERT_EQ(pcsc.Count("connect"), 2);
    EXPECT_EQ(pcsc.calls().back().mode, pcsc::kShareShared);
}

TEST_F(ReaderSessionTest, SecondConnectReusesTheHandleItAlreadyHolds) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    const auto first = session.slotHandle(0);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    EXPECT_EQ(session.slotHandle(0), first);
    EXPECT_EQ(slot, 0);
}

// A card pulled and put back, and a context that pcscd no longer knows (it
// was restarted or crashed): one new context, one more connect.
TEST(ReaderSessionRecovery, RemovedCardOrStaleContextReestablishesTheContextOnce) {
    for (const int32_t first :
         {pcsc::kRemovedCard, pcsc::kNoService, pcsc::kServiceStopped, pcsc::kInvalidHandle}) {
        FakePcsc pcsc;
        RecordingPauser pauser;
        ReaderSession session{pcsc, pauser};
        Atr atr;
        int32_t slot = -1;
        pcsc.AddReader(kReaderA);
        ASSERT_EQ(session.OpenSession(), 0);
        pcsc.Force("connect", first);
        EXPECT_EQ(session.ConnectByName(u"Virtual PCD 00 00", kShareTypeExclusive, slot, atr), 0)
            << std::hex << first;
        EXPECT_EQ(slot, 0);
        EXPECT_EQ(pauser.pauses, (std::vector<int>{20, 20}));
        const std::vector<std::string> expected{"connect", "release", "establish",
                                                "connect", "begin",   "status"};
        auto names = pcsc.CallNames();
        names.erase(names.begin(), names.end() - static_cast<long>(expected.size()));
        EXPECT_EQ(names, expected) << std::hex << first;
        EXPECT_EQ(pcsc.openContexts(), 1);

        // Never more than one more try.
        pcsc.Force("connect", first, 2);
        session.ConnectByName(u"Virtual PCD 00 00", kShareTypeExclusive, slot, atr);
        EXPECT_EQ(pcsc.Count("establish"), 3) << std::hex << first;
    }
}

TEST_F(ReaderSessionTest, UnresponsiveCardPausesTenThenTwenty) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(session.OpenSession(), 0);
    pcsc.Force("connect", pcsc::kUnresponsiveCard, 2);
    // Both connects fail; no handle of the slot exists, so a shared connect follows.
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    EXPECT_EQ(pauser.pauses, (std::vector<int>{10, 20}));
    EXPECT_EQ(pcsc.calls()[pcsc.calls().size() - 3].mode, pcsc::kShareShared);
    EXPECT_TRUE(session.contextEstablished());
}

TEST_F(ReaderSessionTest, OtherConnectErrorResetsTheSlotsOwnHandle) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    pauser.pauses.clear();
    pcsc.Force("connect", pcsc::kCommError);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    EXPECT_EQ(pauser.pauses, std::vector<int>{20});
    EXPECT_EQ(pcsc.Count("reconnect"), 1);
    EXPECT_EQ(pcsc.Count("begin"), 1);  // a reused connection takes a transaction
}

TEST_F(ReaderSessionTest, OtherConnectErrorWithoutHandleIsReturnedWithoutSlot) {
    pcsc.AddReader(kReaderA);
    pcsc.Force("connect", pcsc::kCommError);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), pcsc::kCommError);
    EXPECT_EQ(slot, -1);
}

TEST_F(ReaderSessionTest, FailedStatusAfterConnectIsReturned) {
    pcsc.AddReader(kReaderA);
    pcsc.Force("status", pcsc::kRemovedCard);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), pcsc::kRemovedCard);
    EXPECT_EQ(slot, -1);
}

TEST_F(ReaderSessionTest, EstablishFailureIsReturnedAndLeavesNoSession) {
    pcsc.AddReader(kReaderA);
    pcsc.Force("establish", pcsc::kNoService);
    EXPECT_EQ(session.OpenSession(), pcsc::kNoService);
    EXPECT_FALSE(session.contextEstablished());
}

TEST_F(ReaderSessionTest, ProbeNeedsASession) {
    pcsc.AddReader(kReaderA);
    EXPECT_EQ(session.ProbeCard(0, kShareTypeExclusive, atr), result::kNoSession);
}

TEST_F(ReaderSessionTest, ProbeOfConnectedCardReadsItsStatus) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    atr = {};
    EXPECT_EQ(session.ProbeCard(0, kShareTypeExclusive, atr), 0);
    EXPECT_EQ(atr.length, 4u);
}

TEST_F(ReaderSessionTest, ProbeOfPulledCardReportsWhatTheReconnectSays) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    pcsc.RemoveCard(kReaderA);
    pauser.pauses.clear();
    // The connect finds no card; the reconnect of our handle reports the removal.
    EXPECT_EQ(session.ProbeCard(0, kShareTypeExclusive, atr), pcsc::kRemovedCard);
    EXPECT_EQ(pauser.pauses, std::vector<int>{20});
    pcsc.Force("reconnect", pcsc::kNoSmartcard);
    EXPECT_EQ(session.ProbeCard(0, kShareTypeExclusive, atr), pcsc::kNoSmartcard);
}

TEST_F(ReaderSessionTest, ProbeAfterReinsertionConnectsTheNewCard) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    const auto before = session.slotHandle(0);
    pcsc.RemoveCard(kReaderA);
    pcsc.InsertCard(kReaderA);
    EXPECT_EQ(session.ProbeCard(0, kShareTypeExclusive, atr), 0);
    EXPECT_NE(session.slotHandle(0), before);
    EXPECT_EQ(session.currentCard(), session.slotHandle(0));
}

TEST_F(ReaderSessionTest, EveryDisconnectPausesTwoHundredMilliseconds) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    pauser.pauses.clear();
    EXPECT_EQ(session.DisconnectSlot(0, kDispositionReset), 0);
    EXPECT_EQ(pcsc.calls().back().mode, pcsc::kResetCard);
    EXPECT_EQ(session.DisconnectSlot(0, kDispositionReset), 0);  // nothing left to disconnect
    EXPECT_EQ(pauser.pauses, (std::vector<int>{200, 200}));
    EXPECT_FALSE(session.slotHandle(0));
}

TEST_F(ReaderSessionTest, ReleaseEndsEverythingAndUnloads) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(session.OpenSession(), 0);
    ASSERT_EQ(session.OpenSession(), 0);  // drops the first context without releasing it
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    EXPECT_EQ(pcsc.openContexts(), 2);
    EXPECT_EQ(session.CloseReaderSession(0), 0);
    EXPECT_EQ(pcsc.openContexts(), 0);
    EXPECT_EQ(pcsc.unloads(), 1);
    EXPECT_EQ(session.api(), nullptr);
    EXPECT_EQ(session.slotName(0), u"");
    // Twice in a row is harmless.
    EXPECT_EQ(session.ReleaseSession(), 0);
}

TEST_F(ReaderSessionTest, DisconnectByNameWithoutHandleReleasesTheSession) {
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(session.OpenSession(), 0);
    EXPECT_EQ(session.DisconnectByName(u"Virtual PCD 00 00", kDispositionReset), 0);
    EXPECT_FALSE(session.contextEstablished());
    EXPECT_EQ(pauser.pauses, std::vector<int>{200});
}

}  // namespace
}  // namespace qorv::reader

namespace qorv::reader {
namespace {

TEST_F(ReaderSessionTest, ConnectsNeverWaitBehindTheSessionsOwnTransaction) {
    // A card taken out and put back is connected again through the recovery
    // path, which takes a transaction; pcscd would make the next connect to
    // the reader wait for it forever.
    pcsc.AddReader(kReaderA);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    pcsc.RemoveCard(kReaderA);
    pcsc.InsertCard(kReaderA);
    pcsc.Force("connect", pcsc::kRemovedCard);
    ASSERT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    ASSERT_EQ(pcsc.Count("begin"), 1);
    EXPECT_EQ(session.ProbeCard(slot, kShareTypeExclusive, atr), 0);
    EXPECT_EQ(ConnectExclusive(u"Virtual PCD 00 00"), 0);
    EXPECT_EQ(pcsc.connectsBehindTransaction(), 0);
    EXPECT_GE(pcsc.Count("end"), 1);
}

}  // namespace
}  // namespace qorv::reader
