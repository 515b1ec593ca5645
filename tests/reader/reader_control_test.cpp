// Commands to the reader itself (SCardControl), which PIN-pad readers with
// their own PIN entry take.
#include <gtest/gtest.h>

#include "reader/reader_session.h"
#include "support/fake_pcsc.h"

namespace qorv::reader {
namespace {

using testing::FakePcsc;
using testing::HexBytes;
using testing::RecordingPauser;

// pcsc-lite's SCARD_CTL_CODE(3400): the reader's feature list.
constexpr PcscDword kGetFeatureRequest = 0x42000D48;

class ReaderControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pcsc.AddReader("Virtual PCD 00 00");
        ASSERT_EQ(session.OpenSession(), 0);
        ASSERT_EQ(session.ConnectByName(u"Virtual PCD 00 00", kShareTypeExclusive, slot, atr), 0);
    }
    FakePcsc pcsc;
    RecordingPauser pauser;
    ReaderSession session{pcsc, pauser};
    Atr atr;
    int32_t slot = -1;
    std::vector<uint8_t> answer{0xEE};
};

TEST_F(ReaderControlTest, TheReadersAnswerComesBackOnTheSlotsHandle) {
    pcsc.ExpectControl(kGetFeatureRequest, "", "06 04 42 33 00 06");
    EXPECT_EQ(session.ControlReader(slot, kGetFeatureRequest, {}, answer), 0);
    EXPECT_EQ(answer, HexBytes("06 04 42 33 00 06"));
    EXPECT_EQ(pcsc.calls().back().function, "control");
    EXPECT_EQ(pcsc.calls().back().handle, *session.slotHandle(slot));
    EXPECT_TRUE(pcsc.ScriptDone());
}

TEST_F(ReaderControlTest, FailuresLeaveNoAnswerBehind) {
    pcsc.Force("control", pcsc::kCommError);
    EXPECT_EQ(session.ControlReader(slot, kGetFeatureRequest, {}, answer), pcsc::kCommError);
    EXPECT_TRUE(answer.empty());
    // A slot without a card handle never reaches the reader.
    answer = {0xEE};
    EXPECT_EQ(session.ControlReader(5, kGetFeatureRequest, {}, answer), pcsc::kInvalidHandle);
    EXPECT_TRUE(answer.empty());
    EXPECT_EQ(pcsc.Count("control"), 1);
    session.ReleaseSession();
    EXPECT_EQ(session.ControlReader(slot, kGetFeatureRequest, {}, answer), result::kNoSession);
}

}  // namespace
}  // namespace qorv::reader
