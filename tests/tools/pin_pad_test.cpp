// The simulated PIN-pad reader in front of the card, driven directly: the
// placeholder commands get the PIN the customer typed, a cancel on the pad
// never reaches the card, and an unverified transaction write is verified by
// the reader first.
#include <gtest/gtest.h>

#include "tools/cardsim/hex.h"
#include "tools/cardsim/pin_pad.h"
#include "tools/testbed/testbed_paths.h"

namespace qorv::cardsim {
namespace {

constexpr char kSelectAid[] = "00A40400 08 A000000172950001";
constexpr char kSelectPinFile[] = "00A40200 02 00C2";
constexpr char kVerifyOnPad[] = "00200010 08 FFFFFFFFFFFFFFFF";
constexpr char kVerifyOnPadClass2[] = "80200010";
constexpr char kChangeOnPad[] = "00200010 08 F0F0F0F0F0F0F0F0";
constexpr char kGoodPin[] = "00200010 08 123456FFFFFFFFFF";
constexpr char kNewPin[] = "00200010 08 654321FFFFFFFFFF";
// A 64-byte withdrawal record.
constexpr char kWrite[] =
    "00E21080 40"
    "32353130"
    "3030303030303030313030303030"
    "3132333435363738"
    "4142434445464748"
    "3230323530313032303330343035"
    "30303538313030303132333435363738"
    "00";

CardProfile Profile(const std::string& name) {
    CardProfile profile;
    std::string error;
    EXPECT_TRUE(LoadCardProfile(testbed::ProfilePath(name), &profile, &error)) << error;
    return profile;
}

struct Pad {
    explicit Pad(const std::string& profile = "pin-pad", Protocol protocol = Protocol::T1)
        : card(Profile(profile), protocol), reader(card.profile().pinPad) {}
    std::string Send(std::string command) {
        std::erase(command, ' ');
        return ToHex(reader.Process(card, FromHex(command).value()));
    }
    FiscCard card;
    PinPadReader reader;
};

TEST(PinPad, VerifyPlaceholdersCarryTheTypedPin) {
    Pad pad;
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kVerifyOnPad), "9000");
    EXPECT_TRUE(pad.card.pinVerified());
    EXPECT_EQ(pad.reader.lastPlaceholder(), "0020001008FFFFFFFFFFFFFFFF");
    pad.card.ResetSession();
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kVerifyOnPadClass2), "9000");
    EXPECT_TRUE(pad.card.pinVerified());
    // Tests tell the two forms apart by what the reader says it took.
    EXPECT_EQ(pad.reader.lastPlaceholder(), "80200010");

    // A wrong PIN typed on the pad is the card's refusal, tries counted.
    ASSERT_EQ(pad.reader.HandleControl("111111"), "ok pad typed");
    EXPECT_EQ(pad.Send(kVerifyOnPad), "63C2");
    EXPECT_EQ(pad.Send(kVerifyOnPadClass2), "63C1");
    EXPECT_FALSE(pad.card.pinVerified());
}

TEST(PinPad, TheCardsOwnWrongPinStatusComesBackThroughThePad) {
    Pad pad("pin-6620");
    ASSERT_EQ(pad.reader.HandleControl("999999"), "ok pad typed");
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kVerifyOnPad), "6620");
}

TEST(PinPad, CancelOrNothingTypedNeverReachesTheCard) {
    Pad pad("pin-pad-cancel");
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kVerifyOnPad), "6401");
    EXPECT_EQ(pad.Send(kVerifyOnPadClass2), "6401");
    pad.Send(kSelectPinFile);
    EXPECT_EQ(pad.Send(kChangeOnPad), "6401");
    EXPECT_EQ(pad.Send(kWrite), "6401");
    ASSERT_EQ(pad.reader.HandleControl("timeout"), "ok pad timeout");
    EXPECT_EQ(pad.Send(kVerifyOnPad), "6400");
    EXPECT_EQ(pad.card.profile().pinTries, 3);
    EXPECT_TRUE(pad.card.writtenRecords().empty());
}

TEST(PinPad, AReaderWithoutAPadPassesThePlaceholdersToTheCard) {
    Pad pad("default");
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kVerifyOnPad), "63C2");  // FF x8 is a wrong PIN to the card
    EXPECT_EQ(pad.Send(kVerifyOnPadClass2), "6E00");
    EXPECT_EQ(pad.Send(kWrite), "6982");
}

TEST(PinPad, ChangeOnThePadVerifiesTheOldPinThenWritesTheNewOne) {
    Pad pad;
    pad.Send(kSelectAid);
    pad.Send(kSelectPinFile);
    EXPECT_EQ(pad.Send(kChangeOnPad), "9000");
    ASSERT_EQ(pad.card.writtenRecords().size(), 1U);
    EXPECT_EQ(pad.card.writtenRecords()[0].ins, 0xD2);
    EXPECT_EQ(ToHex(pad.card.writtenRecords()[0].data), "654321FFFFFFFFFF");
    pad.card.ResetSession();
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kGoodPin), "63C2");
    EXPECT_EQ(pad.Send(kNewPin), "9000");
}

TEST(PinPad, ChangeWithAWrongOldPinOrNoNewPinWritesNothing) {
    Pad pad;
    ASSERT_EQ(pad.reader.HandleControl("111111 654321"), "ok pad typed, new PIN typed");
    pad.Send(kSelectAid);
    pad.Send(kSelectPinFile);
    EXPECT_EQ(pad.Send(kChangeOnPad), "63C2");
    ASSERT_EQ(pad.reader.HandleControl("123456"), "ok pad typed");
    EXPECT_EQ(pad.Send(kChangeOnPad), "6400");
    EXPECT_TRUE(pad.card.writtenRecords().empty());
    EXPECT_EQ(pad.card.profile().pinTries, 2);
}

TEST(PinPad, UnverifiedTransactionWriteIsVerifiedByTheReaderFirst) {
    for (const auto protocol : {Protocol::T0, Protocol::T1}) {
        Pad pad("pin-pad", protocol);
        pad.Send(kSelectAid);
        std::string write(kWrite);
        if (protocol == Protocol::T0) {
            write.resize(write.size() - 2);  // no Le on T=0
            EXPECT_EQ(pad.Send(write), "6113");
            EXPECT_EQ(pad.Send("00C0000013").substr(2, 16), "3030303030303031");
        } else {
            const auto answer = pad.Send(write);
            EXPECT_EQ(answer.size(), (19 + 2) * 2U);
            EXPECT_EQ(answer.substr(answer.size() - 4), "9000");
        }
        EXPECT_EQ(pad.card.nextSnum(), 2U);
    }

    Pad wrong;
    ASSERT_EQ(wrong.reader.HandleControl("111111"), "ok pad typed");
    wrong.Send(kSelectAid);
    EXPECT_EQ(wrong.Send(kWrite), "63C2");
    EXPECT_TRUE(wrong.card.writtenRecords().empty());
    EXPECT_EQ(wrong.card.nextSnum(), 1U);
}

TEST(PinPad, AWriteAfterTheHostVerifiedGoesStraightToTheCard) {
    Pad pad("pin-pad-cancel");
    pad.Send(kSelectAid);
    EXPECT_EQ(pad.Send(kGoodPin), "9000");
    const auto answer = pad.Send(kWrite);
    EXPECT_EQ(answer.substr(answer.size() - 4), "9000");
}

TEST(PinPad, ControlLinesAndProfileEntries) {
    PinPadReader reader;
    EXPECT_EQ(reader.Describe(), "off");
    EXPECT_EQ(reader.HandleControl("12345").rfind("error", 0), 0U);
    EXPECT_EQ(reader.HandleControl("123456 12a456").rfind("error", 0), 0U);
    EXPECT_EQ(reader.HandleControl("").rfind("error", 0), 0U);
    EXPECT_EQ(reader.HandleControl("1 2 3").rfind("error", 0), 0U);
    EXPECT_EQ(reader.Describe(), "off");
    EXPECT_EQ(reader.HandleControl("cancel"), "ok pad cancel");
    EXPECT_EQ(reader.Describe(), "cancel");
    EXPECT_EQ(reader.HandleControl("123456789012 654321"), "ok pad typed, new PIN typed");
    EXPECT_EQ(reader.Describe(), "typed, new PIN typed");
    EXPECT_EQ(reader.HandleControl("off"), "ok pad off");
    EXPECT_FALSE(reader.settings().active);

    const std::string base = R"({"name":"x","serial":"0000000000000000","issuer":"81200580",
        "remark":"000000000000000000000000000000000000000000000000000000000000",
        "pin":{"value":"123456"},"transaction":{"tacKey":"00000000000000000000000000000000"},)";
    CardProfile profile;
    std::string error;
    EXPECT_TRUE(ParseCardProfile(base + R"("pinPad":{"pin":"123456","newPin":"1234567"}})",
                                 &profile, &error))
        << error;
    EXPECT_TRUE(profile.pinPad.active);
    EXPECT_EQ(ToHex(*profile.pinPad.newPin), "1234567FFFFFFFFF");
    EXPECT_FALSE(ParseCardProfile(base + R"("pinPad":{"newPin":"654321"}})", &profile, &error));
    EXPECT_NE(error.find("pinPad.pin"), std::string::npos) << error;
    EXPECT_FALSE(ParseCardProfile(base + R"("pinPad":{"pin":"12345"}})", &profile, &error));
    EXPECT_FALSE(ParseCardProfile(base + R"("pinPad":{"answer":"later"}})", &profile, &error));
    EXPECT_FALSE(ParseCardProfile(base + R"("pinPad":{"pins":"123456"}})", &profile, &error));
}

}  // namespace
}  // namespace qorv::cardsim
