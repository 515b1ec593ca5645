#include "host/protocol.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/user_interface.h"
#include "support/fake_pcsc.h"

namespace qorv::host {
namespace {

using nlohmann::json;

constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);

class ProtocolTest : public ::testing::Test {
  protected:
    json Handle(const std::string& request) { return json::parse(HandleRequest(ctrl, request)); }

    testing::FakePcsc pcsc;
    testing::RecordingPauser pauser;
    dialogs::HeadlessUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    control::CQorvClientATMCtrl ctrl{session, ui};
};

TEST_F(ProtocolTest, ResultsKeepTheirTypeAndNullness) {
    EXPECT_EQ(Handle(R"({"id":1,"method":"GetReaderNumber","params":[]})"),
              json::parse(R"({"id":1,"result":-1})"));
    EXPECT_EQ(Handle(R"({"id":2,"method":"GetCardStatus"})"),
              json::parse(R"({"id":2,"result":null})"));
    EXPECT_EQ(Handle(R"({"id":3,"dispid":49,"params":[]})"),
              json::parse(R"({"id":3,"result":""})"));
}

TEST_F(ProtocolTest, TextKeepsEveryUnitBothWays) {
    // A reader name with bytes beyond ASCII comes back unchanged.
    pcsc.AddReader("Lecteur \xC3\xA9\xC3\xBF \xE8\xAE\x80");
    ASSERT_EQ(Handle(R"({"id":1,"method":"ListReaders"})")["result"], 0);
    EXPECT_EQ(Handle(R"({"id":2,"method":"GetReaderName","params":[0]})")["result"],
              "Lecteur \xC3\xA9\xC3\xBF \xE8\xAE\x80");
    EXPECT_EQ(Handle("{\"id\":3,\"method\":\"ConnectCard\",\"params\":[\"Lecteur \\u00e9\\u00ff "
                     "\\u8b80\"]}")["result"],
              0);
}

TEST_F(ProtocolTest, AutomationErrorsCarryCodeAndName) {
    const json unknown = Handle(R"({"id":9,"method":"FISC_ReadRecord","params":[]})");
    EXPECT_EQ(unknown["id"], 9);
    EXPECT_EQ(unknown["error"]["code"], static_cast<int32_t>(0x80020006));
    EXPECT_EQ(unknown["error"]["name"], "DISP_E_UNKNOWNNAME");
    EXPECT_EQ(Handle(R"({"id":9,"dispid":78})")["error"]["name"], "DISP_E_MEMBERNOTFOUND");
    EXPECT_EQ(Handle(R"({"id":9,"dispid":4294967296})")["error"]["name"], "DISP_E_MEMBERNOTFOUND");
    EXPECT_EQ(Handle(R"({"id":9,"method":"GetReaderName","params":[]})")["error"]["name"],
              "DISP_E_BADPARAMCOUNT");
    EXPECT_EQ(Handle(R"({"id":9,"method":"GetReaderName","params":["x"]})")["error"]["name"],
              "DISP_E_TYPEMISMATCH");
}

TEST_F(ProtocolTest, BadShapesAreRefusedWithInvalidArg) {
    struct Case {
        const char* request;
        bool idKnown;
    };
    const Case cases[] = {
        {"not json", false},
        {"[1,2]", false},
        {R"({"method":"GetRespData"})", false},
        {R"({"id":"7","method":"GetRespData"})", false},
        {R"({"id":1.5,"method":"GetRespData"})", false},
        {R"({"id":7})", true},
        {R"({"id":7,"method":"GetRespData","dispid":65})", true},
        {R"({"id":7,"method":65})", true},
        {R"({"id":7,"dispid":"65"})", true},
        {R"({"id":7,"method":"GetReaderName","params":0})", true},
        {R"({"id":7,"method":"GetReaderName","params":[true]})", true},
        {R"({"id":7,"method":"GetReaderName","params":[1.5]})", true},
        {R"({"id":7,"method":"GetReaderName","params":[{}]})", true},
        {R"({"id":7,"method":"GetReaderName","params":[2147483648]})", true},
        {R"({"id":7,"method":"GetReaderName","params":[-2147483649]})", true},
    };
    for (const auto& c : cases) {
        const json reply = Handle(c.request);
        EXPECT_EQ(reply["error"]["code"], kInvalidArg) << c.request;
        EXPECT_EQ(reply["error"]["name"], "E_INVALIDARG") << c.request;
        EXPECT_EQ(reply["id"], c.idKnown ? json(7) : json(nullptr)) << c.request;
    }
}

TEST_F(ProtocolTest, LimitsOfLongParameters) {
    EXPECT_EQ(Handle(R"({"id":1,"method":"GetReaderName","params":[2147483647]})")["result"],
              nullptr);
    EXPECT_EQ(Handle(R"({"id":1,"method":"GetReaderName","params":[-2147483648]})")["result"],
              nullptr);
}

}  // namespace
}  // namespace qorv::host
