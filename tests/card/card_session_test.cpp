// The card session of methods that open their own session on a named reader.
#include <gtest/gtest.h>

#include "card/card_session.h"
#include "support/fake_pcsc.h"

namespace qorv::testing {
namespace {

constexpr char16_t kReader[] = u"Virtual PCD 00 00";

class CardSessionTest : public ::testing::Test {
  protected:
    void SetUp() override { pcsc.AddReader("Virtual PCD 00 00"); }
    FakePcsc pcsc;
    RecordingPauser pauser;
    reader::ReaderSession session{pcsc, pauser};
    card::CCardEngine engine{session};
};

TEST_F(CardSessionTest, EveryExitResetsTheCardAndReleasesTheContext) {
    for (const bool earlyReturn : {false, true}) {
        [&] {
            card::CardSession card(engine, kReader);
            ASSERT_EQ(card.result(), 0);
            EXPECT_TRUE(session.slotHandle(card.slot()));
            EXPECT_EQ(pcsc.openContexts(), 1);
            if (earlyReturn) return;
            EXPECT_GT(card.atr().length, 0u);
        }();
        EXPECT_EQ(pcsc.Count("disconnect"), earlyReturn ? 2 : 1);
        EXPECT_EQ(pcsc.calls()[pcsc.calls().size() - 2].mode, reader::pcsc::kResetCard);
        EXPECT_EQ(pcsc.openContexts(), 0);
        EXPECT_FALSE(session.contextEstablished());
        EXPECT_EQ(session.api(), nullptr);
    }
}

TEST_F(CardSessionTest, AFailedConnectStillClosesTheSession) {
    pcsc.RemoveCard("Virtual PCD 00 00");
    {
        card::CardSession card(engine, kReader);
        EXPECT_NE(card.result(), 0);
        EXPECT_EQ(pcsc.openContexts(), 1);
    }
    EXPECT_EQ(pcsc.openContexts(), 0);
    EXPECT_EQ(session.api(), nullptr);
}

TEST_F(CardSessionTest, AKeptSessionStaysConnected) {
    {
        card::CardSession card(engine, kReader);
        ASSERT_EQ(card.result(), 0);
        card.Keep();
    }
    EXPECT_EQ(pcsc.Count("disconnect"), 0);
    EXPECT_EQ(pcsc.openContexts(), 1);
    EXPECT_TRUE(session.currentCard());
}

TEST_F(CardSessionTest, ANameRefusedBeforeConnectingTouchesNoReader) {
    {
        card::CardSession missing(engine, std::nullopt);
        EXPECT_EQ(missing.result(), 8195);
        card::CardSession tooShort(engine, u"PCD");
        EXPECT_EQ(tooShort.result(), 8194);
        card::CardSession tooLong(engine, std::u16string(65, u'R'));
        EXPECT_EQ(tooLong.result(), 8194);
    }
    EXPECT_TRUE(pcsc.calls().empty());
    EXPECT_EQ(pcsc.loads(), 0);
}

}  // namespace
}  // namespace qorv::testing
