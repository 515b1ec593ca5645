// The simulated card's answers, driven directly (no pcscd): the transmission
// rules of T=0 and T=1, PIN handling, the transaction write and the profiles.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tools/tac_reference.h"
#include "tools/cardsim/fisc_card.h"
#include "tools/cardsim/hex.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::cardsim {
namespace {

CardProfile Profile(const std::string& name) {
    CardProfile profile;
    std::string error;
    EXPECT_TRUE(LoadCardProfile(testbed::ProfilePath(name), &profile, &error)) << error;
    return profile;
}

// Sends a command given as hex (spaces allowed) and returns the answer as hex.
std::string Send(FiscCard& card, std::string command) {
    std::erase(command, ' ');
    return ToHex(card.Process(FromHex(command).value()));
}

constexpr char kSelectAid[] = "00A40400 08 A000000172950001";
constexpr char kGoodPin[] = "00200010 08 123456FFFFFFFFFF";
constexpr char kWrongPin[] = "00200010 08 654321FFFFFFFFFF";

TEST(CardApdu, SplitsTheIsoCases) {
    auto parse = [](const char* hex) { return ParseCommandApdu(FromHex(hex).value()); };
    const auto case4 = parse("00A4040002100100");
    ASSERT_TRUE(case4);
    EXPECT_EQ(case4->data, (std::vector<uint8_t>{0x10, 0x01}));
    EXPECT_EQ(case4->le, 256U);
    const auto case2e = parse("00B20105000000");
    ASSERT_TRUE(case2e);
    EXPECT_TRUE(case2e->extended);
    EXPECT_EQ(case2e->le, 65536U);
    EXPECT_FALSE(parse("00A40400021001FFFF"));  // Lc says 2, 4 bytes follow
    EXPECT_FALSE(parse("00A404"));
}

TEST(CardT0, WrongOrMissingLeAnswers6CWithTheRecordLength) {
    FiscCard card(Profile("default"), Protocol::T0);
    EXPECT_EQ(Send(card, kSelectAid), "610C");
    EXPECT_EQ(Send(card, "00A40200021001"), "6110");
    EXPECT_EQ(Send(card, "00B2020428"), "6C20");  // remark asked with 40, the card has 32
    EXPECT_EQ(Send(card, "00B20204"), "6C20");
    const auto remark = Send(card, "00B2020420");
    EXPECT_EQ(remark.size(), (32 + 2) * 2U);
    EXPECT_EQ(remark.substr(remark.size() - 4), "9000");
}

TEST(CardT0, Case4AnswersGetResponseInPiecesAndForgetsItAfterAnotherCommand) {
    FiscCard card(Profile("default"), Protocol::T0);
    EXPECT_EQ(Send(card, kSelectAid), "610C");
    EXPECT_EQ(Send(card, "00C0000004"), "6F0A84086108");          // 4 bytes, 8 still pending
    EXPECT_EQ(Send(card, "00C0000020"), "A0000001729500019000");  // a longer Le gets the rest
    EXPECT_EQ(Send(card, "00C0000008"), "6985");
    EXPECT_EQ(Send(card, kSelectAid), "610C");
    EXPECT_EQ(Send(card, "00B0000010"),
              "00010008"
              "1208156300472915"
              "00000000"
              "9000");
    EXPECT_EQ(Send(card, "00C000000C"), "6985");  // READ BINARY in between dropped the FCI
}

TEST(CardT0, RefusesTheExtendedReadAllSoHostsFallBack) {
    FiscCard card(Profile("default"), Protocol::T0);
    Send(card, kSelectAid);
    Send(card, "00A40200021001");
    EXPECT_EQ(Send(card, "00B20105000000"), "6700");
    EXPECT_EQ(Send(card, "00B201043C").substr(0, 2), "6C");
}

TEST(CardT1, AnswersDataDirectlyCutToAShorterLe) {
    FiscCard card(Profile("default"), Protocol::T1);
    EXPECT_EQ(Send(card, std::string(kSelectAid) + "00"), "6F0A8408A0000001729500019000");
    EXPECT_EQ(Send(card, "00A40200021001"), "9000");
    EXPECT_EQ(Send(card, "00B2010408"),
              "0108383132303035"
              "9000");                             // issuer, first 8 bytes
    const auto remark = Send(card, "00B2020428");  // longer Le: the whole 32-byte record
    EXPECT_EQ(remark.size(), (32 + 2) * 2U);
    EXPECT_EQ(Send(card, "00B20B0412"), "6A83");
}

TEST(CardT1, ReadAllAnswersIssuerRemarkAndFirstAccountUnlessRefused) {
    FiscCard card(Profile("default"), Protocol::T1);
    Send(card, kSelectAid);
    Send(card, "00A40200021001");
    const auto all = FromHex(Send(card, "00B20105000000")).value();
    ASSERT_EQ(all.size(), 10 + 32 + 18 + 2U);
    EXPECT_EQ(std::string(all.begin() + 2, all.begin() + 5), "812");
    EXPECT_EQ(std::string(all.begin() + 44, all.begin() + 60), "0058100012345678");

    FiscCard refusing(Profile("no-extended-read"), Protocol::T1);
    Send(refusing, kSelectAid);
    Send(refusing, "00A40200021001");
    EXPECT_EQ(Send(refusing, "00B20105000000"), "6700");
}

TEST(CardFaults, RecordSixFailsWhileItsNeighboursRead) {
    FiscCard card(Profile("read-error-record6"), Protocol::T1);
    Send(card, kSelectAid);
    Send(card, "00A40200021001");
    EXPECT_EQ(Send(card, "00B2050412").substr(36), "9000");
    EXPECT_EQ(Send(card, "00B2060412"), "6A83");
    EXPECT_EQ(Send(card, "00B2070412").substr(36), "9000");
}

TEST(CardPin, CountsDownLocksAndAGoodPinRestoresTheTries) {
    FiscCard card(Profile("default"), Protocol::T1);
    EXPECT_EQ(Send(card, kGoodPin), "6985");  // application not selected yet
    Send(card, kSelectAid);
    EXPECT_EQ(Send(card, kWrongPin), "63C2");
    EXPECT_EQ(Send(card, kGoodPin), "9000");
    EXPECT_EQ(Send(card, kWrongPin), "63C2");
    EXPECT_EQ(Send(card, kWrongPin), "63C1");
    EXPECT_EQ(Send(card, kWrongPin), "63C0");
    EXPECT_EQ(Send(card, kGoodPin), "6983");
    EXPECT_FALSE(card.pinVerified());

    FiscCard fixedStatus(Profile("pin-6620"), Protocol::T1);
    Send(fixedStatus, kSelectAid);
    EXPECT_EQ(Send(fixedStatus, kWrongPin), "6620");
}

TEST(CardPin, NewPinNeedsTheVerifiedOldPinAndThePinFile) {
    FiscCard card(Profile("default"), Protocol::T1);
    Send(card, kSelectAid);
    Send(card, "00A4020002 00C2");
    EXPECT_EQ(Send(card, "00D20104 08 1234567FFFFFFFFF"), "6982");
    Send(card, kGoodPin);
    Send(card, "00A40200021001");
    EXPECT_EQ(Send(card, "00D20104 08 1234567FFFFFFFFF"), "6982");  // EF1001 is read-only
    Send(card, "00A4020002 00C2");
    EXPECT_EQ(Send(card, "00D20104 08 1234567FFFFFFFFF"), "9000");
    EXPECT_EQ(Send(card, "00B2010408"), "6982");  // the PIN file is never readable
    card.ResetSession();
    Send(card, kSelectAid);
    EXPECT_EQ(Send(card, kGoodPin), "63C2");
    EXPECT_EQ(Send(card, "00200010 08 1234567FFFFFFFFF"), "9000");
    ASSERT_EQ(card.writtenRecords().size(), 2U);
    EXPECT_EQ(card.writtenRecords().back().status, 0x9000);
}

TEST(CardTransaction, NeedsAVerifiedPinInTheSameSessionAndCountsSnum) {
    const auto profile = Profile("default");
    FiscCard card(profile, Protocol::T1);
    const std::string record =
        "30303130"
        "3030303030303030303132303030";
    Send(card, kSelectAid);
    EXPECT_EQ(Send(card, "00E21080 12 " + record + " 00"), "6982");
    Send(card, kGoodPin);
    for (const char* snum : {"00000001", "00000002"}) {
        const auto answer = FromHex(Send(card, "00E21080 12 " + record + " 00")).value();
        ASSERT_EQ(answer.size(), 19 + 2U);
        EXPECT_EQ(std::string(answer.begin() + 1, answer.begin() + 9), snum);
        EXPECT_EQ(answer[9], profile.tacKeyVersion);
        const auto tac = qorv::testing::ReferenceTac(profile.tacKey, snum, FromHex(record).value());
        EXPECT_TRUE(std::equal(tac.begin(), tac.end(), answer.begin() + 11)) << snum;
    }
    card.ResetSession();
    Send(card, kSelectAid);
    EXPECT_EQ(Send(card, "00E21080 12 " + record + " 00"), "6982");
    EXPECT_EQ(card.nextSnum(), 3U);

    FiscCard refusing(Profile("transaction-69f0"), Protocol::T0);
    Send(refusing, kSelectAid);
    Send(refusing, kGoodPin);
    EXPECT_EQ(Send(refusing, "00E21080 12 " + record), "69F0");
    EXPECT_EQ(refusing.nextSnum(), 1U);
}

TEST(CardProfiles, EveryShippedProfileLoadsAndMistakesAreNamed) {
    size_t loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testbed::ProfileFolder())) {
        CardProfile profile;
        std::string error;
        EXPECT_TRUE(LoadCardProfile(entry.path().string(), &profile, &error)) << error;
        ++loaded;
    }
    EXPECT_GE(loaded, 5U);

    CardProfile profile;
    std::string error;
    EXPECT_FALSE(ParseCardProfile(R"({"serial": "00", "pinn": {}})", &profile, &error));
    EXPECT_NE(error.find("pinn"), std::string::npos) << error;

    const auto seven = PinBlockFromDigits("1234567");
    ASSERT_TRUE(seven);
    EXPECT_EQ(ToHex(*seven), "1234567FFFFFFFFF");
    EXPECT_FALSE(PinBlockFromDigits("12345"));
    EXPECT_FALSE(PinBlockFromDigits("12345A"));
}

}  // namespace
}  // namespace qorv::cardsim
