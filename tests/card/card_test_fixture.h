// A control on a scripted PC/SC with one connected card, for the card tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/user_interface.h"
#include "support/fake_pcsc.h"

namespace qorv::testing {

class CardTest : public ::testing::Test {
  protected:
    void Connect(reader::PcscDword protocol = reader::pcsc::kProtocolT0) {
        FakeCard card;
        card.protocol = protocol;
        pcsc.AddReader("Virtual PCD 00 00", card);
        ASSERT_EQ(ctrl.ConnectCard(u"Virtual PCD 00 00"), 0);
        pcsc.ClearCalls();
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& apdu : pcsc.Transmitted()) out.push_back(ToHex(apdu));
        return out;
    }
    void ExpectSelectApplication() { pcsc.Expect("00A4040008A000000172950001", "9000"); }
    void ExpectSelectEf1001() { pcsc.Expect("00A40200021001", "9000"); }

    FakePcsc pcsc;
    RecordingPauser pauser;
    reader::ReaderSession session{pcsc, pauser};
    dialogs::HeadlessUserInterface ui;
    control::CQorvClientATMCtrl ctrl{session, ui};
};

inline std::string AsciiHex(const std::string& text) {
    return ToHex(Bytes(text.begin(), text.end()));
}

// Card records as the tests write them: two unused bytes, then ASCII text.
inline std::string RecordHex(const std::string& text) {
    return "0000" + AsciiHex(text);
}

}  // namespace qorv::testing
