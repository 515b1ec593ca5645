// The private pcscd as clients see it: reader names, ATRs and protocols,
// insertion and removal, exclusive use by another process, pcscd restarts.
#include <sys/wait.h>
#include <unistd.h>

#include "tests/tools/pcsc_session.h"

namespace qorv::testing {
namespace {

using testbed::CardPresence;
using testbed::CardProtocol;
using testbed::WaitForCard;

TEST_F(PcscdTestBedTest, ListsEveryReaderSlotUnderItsFriendlyNameAndOneBedPerProcess) {
    auto bed = StartBed({{"Virtual PCD"}, {"CASTLES EZpad"}});
    ASSERT_TRUE(bed);
    EXPECT_NE(bed->vpcdPort(0), bed->vpcdPort(1));
    EXPECT_EQ(bed->readerName(1), "CASTLES EZpad 00 00");
    PcscSession session;
    ASSERT_EQ(session.established(), SCARD_S_SUCCESS);
    LONG result = 0;
    EXPECT_EQ(session.ListReaders(&result), bed->ExpectedReaderNames());
    EXPECT_EQ(bed->ExpectedReaderNames().size(), 4U);

    std::string error;
    EXPECT_FALSE(testbed::PcscTestBed::Start({}, &error));
    EXPECT_NE(error.find("already running"), std::string::npos) << error;
    EXPECT_FALSE(testbed::PcscTestBed::Start({{"Same"}, {"Same"}}, &error));
}

TEST_F(PcscdTestBedTest, WithoutReadersTheListIsEmpty) {
    auto bed = StartBed({});
    ASSERT_TRUE(bed);
    PcscSession session;
    LONG result = 0;
    EXPECT_TRUE(session.ListReaders(&result).empty());
    EXPECT_EQ(result, static_cast<LONG>(SCARD_E_NO_READERS_AVAILABLE));
}

TEST_F(PcscdTestBedTest, EachCardConnectsWithTheAtrOfItsProtocol) {
    auto bed = StartBed({{"Virtual PCD"}, {"ACS ACR83U"}});
    ASSERT_TRUE(bed);
    auto t0 = StartCard(bed->vpcdPort(0), CardProtocol::T0);
    auto t1 = StartCard(bed->vpcdPort(1), CardProtocol::T1);
    ASSERT_TRUE(t0 && t1);
    ASSERT_TRUE(WaitForCard(bed->readerName(0), CardPresence::Present));
    ASSERT_TRUE(WaitForCard(bed->readerName(1), CardPresence::Present));

    PcscSession session;
    ASSERT_EQ(session.Connect(bed->readerName(0)), SCARD_S_SUCCESS);
    EXPECT_EQ(session.protocol(), static_cast<DWORD>(SCARD_PROTOCOL_T0));
    EXPECT_EQ(session.Atr(),
              "3B6800005"
              "14F525646495343");
    ASSERT_EQ(session.Connect(bed->readerName(1)), SCARD_S_SUCCESS);
    EXPECT_EQ(session.protocol(), static_cast<DWORD>(SCARD_PROTOCOL_T1));
    EXPECT_EQ(session.Atr().substr(0, 6), "3B8801");
    // The second slot of a reader stays empty.
    EXPECT_EQ(session.Connect(bed->ExpectedReaderNames()[1]),
              static_cast<LONG>(SCARD_E_NO_SMARTCARD));
}

TEST_F(PcscdTestBedTest, RemovalAndInsertionReachPcscdAndOpenHandles) {
    auto bed = StartBed({{"Virtual PCD"}});
    ASSERT_TRUE(bed);
    auto card = StartCard(bed->vpcdPort(0), CardProtocol::T1);
    ASSERT_TRUE(card);
    const auto reader = bed->readerName(0);
    ASSERT_TRUE(WaitForCard(reader, CardPresence::Present));
    PcscSession session;
    ASSERT_EQ(session.Connect(reader), SCARD_S_SUCCESS);

    ASSERT_TRUE(card->Remove());
    ASSERT_TRUE(WaitForCard(reader, CardPresence::Absent));
    LONG result = 0;
    session.Transmit("00A4040008A000000172950001", &result);
    EXPECT_EQ(result, static_cast<LONG>(SCARD_W_REMOVED_CARD));
    PcscSession other;
    EXPECT_EQ(other.Connect(reader), static_cast<LONG>(SCARD_E_NO_SMARTCARD));

    ASSERT_TRUE(card->Insert());
    ASSERT_TRUE(WaitForCard(reader, CardPresence::Present));
    EXPECT_EQ(other.Connect(reader), SCARD_S_SUCCESS);
    EXPECT_TRUE(other.Transmit("00A4040008A00000017295000100").ends_with("9000"));
}

TEST_F(PcscdTestBedTest, ACardHeldExclusivelyByAnotherProcessGivesASharingViolation) {
    auto bed = StartBed({{"Virtual PCD"}});
    ASSERT_TRUE(bed);
    auto card = StartCard(bed->vpcdPort(0), CardProtocol::T0);
    ASSERT_TRUE(card);
    const auto reader = bed->readerName(0);
    ASSERT_TRUE(WaitForCard(reader, CardPresence::Present));

    int held[2];
    int release[2];
    ASSERT_EQ(pipe(held), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        // The other application: connects exclusively and keeps the card until told.
        close(held[0]);
        close(release[1]);
        {
            PcscSession exclusive;
            const char ok = exclusive.Connect(reader, SCARD_SHARE_EXCLUSIVE) == SCARD_S_SUCCESS;
            (void)!write(held[1], &ok, 1);
            char ignored;
            (void)!read(release[0], &ignored, 1);
        }  // disconnects before the process ends, so pcscd frees the card at once
        _exit(0);
    }
    close(held[1]);
    close(release[0]);
    char ok = 0;
    ASSERT_EQ(read(held[0], &ok, 1), 1);
    ASSERT_TRUE(ok);

    PcscSession session;
    EXPECT_EQ(session.Connect(reader, SCARD_SHARE_EXCLUSIVE),
              static_cast<LONG>(SCARD_E_SHARING_VIOLATION));
    EXPECT_EQ(session.Connect(reader, SCARD_SHARE_SHARED),
              static_cast<LONG>(SCARD_E_SHARING_VIOLATION));
    close(release[1]);
    waitpid(holder, nullptr, 0);
    close(held[0]);
    EXPECT_EQ(session.Connect(reader, SCARD_SHARE_EXCLUSIVE), SCARD_S_SUCCESS);
}

TEST_F(PcscdTestBedTest, TheCardComesBackAfterAPcscdRestart) {
    auto bed = StartBed({{"Virtual PCD"}});
    ASSERT_TRUE(bed);
    auto card = StartCard(bed->vpcdPort(0), CardProtocol::T1);
    ASSERT_TRUE(card);
    ASSERT_TRUE(WaitForCard(bed->readerName(0), CardPresence::Present));
    std::string error;
    ASSERT_TRUE(bed->Restart(&error)) << error;
    ASSERT_TRUE(WaitForCard(bed->readerName(0), CardPresence::Present));
    PcscSession session;
    EXPECT_EQ(session.Connect(bed->readerName(0)), SCARD_S_SUCCESS);
    EXPECT_NE(card->Status().find("\"connected\":true"), std::string::npos);
}

}  // namespace
}  // namespace qorv::testing
