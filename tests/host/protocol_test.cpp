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

TEST_F(ProtocolTest, NestingBeyondSixteenLevelsIsRefusedBeforeAnythingIsBuilt) {
    auto nested = [](int levels) {
        return std::string(static_cast<std::size_t>(levels), '[') +
               std::string(static_cast<std::size_t>(levels), ']');
    };
    // The request object and the parameter list are two of the sixteen levels.
    const json fits = Handle(R"({"id":4,"method":"GetReaderName","params":[)" + nested(14) + "]}");
    EXPECT_EQ(fits["id"], 4);
    EXPECT_EQ(fits["error"]["message"], "a parameter must be a string, null or an integer");
    const json deep = Handle(R"({"id":4,"method":"GetReaderName","params":[)" + nested(15) + "]}");
    EXPECT_EQ(deep["error"]["code"], kInvalidArg);
    EXPECT_EQ(deep["error"]["message"], "JSON nested deeper than 16 levels");
    EXPECT_EQ(Handle(R"({"id":4,"x":{"a":{"b":)" + nested(14) + "}}}")["error"]["message"],
              "JSON nested deeper than 16 levels");
    // Nearly 1 MiB of brackets, as a page could send: refused, no deep recursion.
    const std::string flood(1000000, '[');
    EXPECT_EQ(Handle(flood)["error"]["message"], "JSON nested deeper than 16 levels");
    EXPECT_EQ(Handle(nested(16))["error"]["message"], "a request must be a JSON object");
}

TEST_F(ProtocolTest, AnUnknownNameIsEchoedCutSoTheReplyStaysSmall) {
    const std::string name(1000000, 'A');
    const std::string reply = HandleRequest(ctrl, R"({"id":3,"method":")" + name + R"("})");
    EXPECT_LT(reply.size(), 300u);
    const json parsed = json::parse(reply);
    EXPECT_EQ(parsed["id"], 3);
    EXPECT_EQ(parsed["error"]["name"], "DISP_E_UNKNOWNNAME");
    EXPECT_EQ(parsed["error"]["message"], "unknown method " + std::string(40, 'A') + "...");
    // A cut never splits a character: 39 ASCII letters, then a three-byte one.
    const json cjk =
        Handle(R"({"id":3,"method":")" + std::string(39, 'B') + "\xE8\xAE\x80\xE8\xAE\x80\"}");
    EXPECT_EQ(cjk["error"]["message"], "unknown method " + std::string(39, 'B') + "...");
    // Short names are echoed whole.
    EXPECT_EQ(Handle(R"({"id":3,"method":"FISC_Nope"})")["error"]["message"],
              "unknown method FISC_Nope");
}

TEST_F(ProtocolTest, LoneSurrogateEscapesReadAsReplacementCharacterWithTheRequestsId) {
    // Chromium hands the host U+FFFD for a lone surrogate; Firefox passes the
    // escape on. Both must reach the control the same way.
    pcsc.AddReader(
        "A\xEF\xBF\xBD"
        "B\xEF\xBF\xBD"
        "C\xEF\xBF\xBD\xF0\x9F\x98\x80");
    ASSERT_EQ(Handle(R"({"id":1,"method":"ListReaders"})")["result"], 0);
    const json high = Handle(R"({"id":21,"method":"ConnectCard","params":)"
                             R"(["A\ud800B\uDFFFC\udbff\ud83d\ude00"]})");
    EXPECT_EQ(high["id"], 21);
    EXPECT_EQ(high["result"], 0);
    const json chromium = Handle(
        "{\"id\":22,\"method\":\"ConnectCard\",\"params\":[\"A\xEF\xBF\xBD"
        "B\xEF\xBF\xBD"
        "C\xEF\xBF\xBD\xF0\x9F\x98\x80\"]}");
    EXPECT_EQ(chromium["id"], 22);
    EXPECT_EQ(chromium["result"], 0);
    // A lone surrogate in a method name is no reason to lose the id either.
    EXPECT_EQ(Handle(R"({"id":23,"method":"Get\udc00"})")["id"], 23);
    // Broken escapes and invalid UTF-8 stay malformed.
    for (const char* bad :
         {R"({"id":1,"method":"\u12"})", R"({"id":1,"method":"\x"})",
          "{\"id\":1,\"method\":\"\xED\xA0\x80\"}", "{\"id\":1,\"method\":\"\xC0\xAF\"}",
          "{\"id\":1,\"method\":\"a\x01\"}"}) {
        const json reply = Handle(bad);
        EXPECT_EQ(reply["id"], nullptr) << bad;
        EXPECT_EQ(reply["error"]["message"], "malformed JSON") << bad;
    }
}

TEST_F(ProtocolTest, EscapesAndTextResultsRoundTrip) {
    const std::string name = "R \"q\" \\ / \t\x01 \xC3\xA9 \xF0\x9F\x98\x80";
    pcsc.AddReader(name);
    ASSERT_EQ(Handle(R"({"id":1,"method":"ListReaders"})")["result"], 0);
    EXPECT_EQ(Handle(R"({"id":2,"method":"GetReaderName","params":[0]})")["result"], name);
    EXPECT_EQ(Handle(R"({"id":3,"method":"ConnectCard","params":)"
                     R"(["R \"q\" \\ \/ \t\u0001 \u00e9 \ud83d\ude00"]})")["result"],
              0);
}

TEST_F(ProtocolTest, IdsAndMembers) {
    // Ids are echoed as integers over the whole 64-bit range; beyond it they are no integers.
    EXPECT_EQ(HandleRequest(ctrl, R"({"id":-9223372036854775808})"),
              R"({"id":-9223372036854775808,"error":{"code":-2147024809,"name":"E_INVALIDARG",)"
              R"("message":"a request names either \"method\" or \"dispid\""}})");
    EXPECT_EQ(Handle(R"({"id":18446744073709551615,"method":"GetReaderNumber"})")["id"],
              json(18446744073709551615u));
    EXPECT_EQ(Handle(R"({"id":18446744073709551616,"method":"GetReaderNumber"})")["id"], nullptr);
    EXPECT_EQ(Handle(R"({"id":1e2,"method":"GetReaderNumber"})")["id"], nullptr);
    EXPECT_EQ(Handle(R"({"id":-0,"method":"GetReaderNumber"})")["id"], 0);
    // Unknown members are read and ignored; a known one named twice is refused.
    EXPECT_EQ(Handle(R"( { "x" : [1, {"y": null}, true, false, -1.5e3] , "id" : 5,)"
                     R"( "method" : "GetReaderNumber" } )")["result"],
              -1);
    const json twice = Handle(R"({"id":6,"method":"GetReaderNumber","method":"ListReaders"})");
    EXPECT_EQ(twice["id"], 6);
    EXPECT_EQ(twice["error"]["code"], kInvalidArg);
    for (const char* bad :
         {"", " ", "{", R"({"id":1,})", R"({"id":01})", R"({"id":1} x)",
          R"({"id":1,"params":[1,]})", R"({"id":-})", R"({"id":1.})", R"({"id":tru})"}) {
        EXPECT_EQ(Handle(bad)["error"]["message"], "malformed JSON") << bad;
    }
    // A DISPID beyond 32 bits names no method.
    EXPECT_EQ(Handle(R"({"id":9,"dispid":-2147483649})")["error"]["name"], "DISP_E_MEMBERNOTFOUND");
    EXPECT_EQ(Handle(R"({"id":9,"dispid":99999999999999999999})")["error"]["message"],
              "\"dispid\" must be an integer");
}

}  // namespace
}  // namespace qorv::host
