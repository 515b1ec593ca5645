// Hostile configuration documents and session values from the page, through
// the real host to CommAccountProc, TransferProc and TransferProcSnd: lists
// at the size limit and one character over it, pre-filled values at the
// slot limit, enciphered values of odd length or not hexadecimal, unclosed
// and deeply nested elements, huge attribute values, lone surrogates, and
// missing or wrongly sized session values. Each call must come back in
// bounded time with a clear result code and the messages the person sees,
// the host must answer the next request, and nothing may reach the card.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "integration/scripted_host_fixture.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/openssl_primitives.h"
#include "tools/banksim/session_cipher.h"
#include "tools/banksim/utf16_text.h"

namespace qorv::testing {
namespace {

#ifdef QORV_TEST_HOOKS

using nlohmann::json;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kBadLength = 8194;
constexpr int kArgumentMissing = 8195;
constexpr int kCancelled = 20756;
constexpr int kTooFewElements = 20998;
constexpr char kSessionKey[] = "00112233445566778899AABBCCDDEEFF";
constexpr char kMessageCaption[] = "Qorv銀行";
constexpr char kListDataFailed[] = "獲取XML下拉選單資料失敗";
constexpr char kNoListData[] = "無XML下拉選單資料";
constexpr char kCheckDocument[] = "請確認正確XML資料";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
// A call that opens no window answers within this; one that the person
// goes through within the second.
constexpr auto kQuickAnswer = 5s;
constexpr auto kPersonAnswer = 15s;

// Characters (UTF-16 code units) of a UTF-8 text of the Basic Multilingual Plane.
std::size_t Units(const std::string& utf8) {
    std::size_t units = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++units;
    return units;
}

// List data of exactly `units` characters whose last item carries `lastCode`:
// bank branches "NNNN 分行%%ccc;;", the last item filled up with "x" in its
// display text so that the data ends exactly at the limit.
std::string ListOf(std::size_t units, const std::string& lastCode) {
    std::string list;
    int branch = 0;
    const auto item = [](int n, const std::string& display, const std::string& code) {
        char number[8];
        std::snprintf(number, sizeof number, "%04d", n % 10000);
        return std::string(number) + " " + display + "%%" + code + ";;";
    };
    while (Units(list) + 2 * Units(item(0, "分行", "100")) < units) {
        list += item(branch, "分行", std::to_string(100 + branch % 900));
        ++branch;
    }
    const std::size_t rest = units - Units(list) - Units(item(0, "", lastCode));
    list += item(branch, std::string(rest, 'x'), lastCode);
    return list;
}

// The windows the host reported, in order: the caption in quotes, and for a
// message box ` text "..."` after it (the line the host writes next).
std::vector<std::string> ShownWindows(const std::string& report) {
    constexpr std::string_view kMessageLine = "qorvclientatm-host: message ";
    std::vector<std::string> shown;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(kShownLine)) {
            shown.push_back(line.substr(std::string_view(kShownLine).size() - 1));
        } else if (line.starts_with(kMessageLine) && !shown.empty()) {
            shown.back() += " text " + line.substr(kMessageLine.size());
        }
    }
    return shown;
}

std::string Message(const std::string& text) {
    return std::string("\"") + kMessageCaption + "\" text \"" + text + "\"";
}

std::string Window(const std::string& caption) {
    return "\"" + caption + "\"";
}

class HostileDocumentsThroughTheHost : public ScriptedHostTest {
  protected:
    void SetUp() override {
        ScriptedHostTest::SetUp();
        if (IsSkipped()) return;
        const auto offer = OfferSessionKeyOf(kSessionKey);
        ASSERT_TRUE(offer);
        keyHash_ = offer->sessionKeyHash;
        encryptedKey_ = offer->encryptedSessionKey;
    }

    // A reader named `friendlyName` with the card in it, and the host with a
    // display and the person acting by `script`.
    void Start(const std::string& friendlyName, const std::string& script) {
        StartCard(friendlyName);
        if (HasFatalFailure()) return;
        StartHost(script);
    }

    // Sends a request frame written out by hand (lone surrogate escapes
    // cannot go through a JSON library) and reads the result, which must
    // come within `limit`.
    json CallRaw(const std::string& method, const std::string& paramsText,
                 std::chrono::milliseconds limit) {
        const std::string frame =
            "{\"id\":100,\"method\":\"" + method + "\",\"params\":" + paramsText + "}";
        const auto start = Clock::now();
        EXPECT_TRUE(host_->SendFrame(frame));
        std::string reply;
        EXPECT_TRUE(host_->ReadFrame(reply, 30000)) << method << ": " << Report();
        const auto took = Clock::now() - start;
        EXPECT_LT(took, limit)
            << method << " took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        if (reply.empty()) return json();
        const json answer = json::parse(reply, nullptr, false);
        EXPECT_FALSE(answer.is_discarded()) << "not JSON: " << reply;
        EXPECT_EQ(answer["id"], 100) << reply;
        return answer.contains("result") ? answer["result"] : answer;
    }
    json Call(const std::string& method, const json& params, std::chrono::milliseconds limit) {
        return CallRaw(method, params.dump(), limit);
    }
    // A getter, which also shows that the host still serves requests.
    json Get(const std::string& getter) {
        const auto reply = host_->Call(getter, json::array());
        EXPECT_TRUE(reply) << getter << " not answered: " << Report();
        return reply ? (*reply)["result"] : json();
    }

    json CommParams(const json& document) const {
        return json::array({reader(), keyHash_, encryptedKey_, document});
    }

    std::string Report() const { return HostErrors(); }
    std::vector<std::string> Shown() const { return ShownWindows(Report()); }

    void TearDown() override {
        if (card_) {
            EXPECT_TRUE(card_->WrittenRecords().empty()) << "the card was written to";
        }
        ScriptedHostTest::TearDown();
    }

    std::string keyHash_;
    std::string encryptedKey_;
};

// The common-account form around `rows`, without a PIN field: on a PIN-pad
// reader it opens the dialog, and the PIN would be typed on the pad.
std::string Form(const std::string& rows, const std::string& caption = "Hostile") {
    return "<FunType>0</FunType><Caption>" + caption +
           "</Caption><Title>常用轉入帳號</Title><TimeOut>60</TimeOut><KeyOrder>1</KeyOrder>" +
           rows;
}

std::string ListRow(const std::string& name, const std::string& list, int defaultIndex,
                    char ciph = '0') {
    return "<AtmNode Name=\"" + name + "\" Type=\"0\" KeyType=\"0\" Ciph=\"" + ciph +
           "\" min=\"0\" Default=\"" + std::to_string(defaultIndex) + "\">" + list + "</AtmNode>";
}

std::string InputRow(const std::string& name, char type, char keyType, int maxLength,
                     const std::string& value, char ciph = '0') {
    return "<AtmNode Name=\"" + name + "\" Type=\"" + type + "\" KeyType=\"" + keyType +
           "\" Ciph=\"" + ciph + "\" min=\"0\" Default=\"" + std::to_string(maxLength) + "\">" +
           value + "</AtmNode>";
}

// `text` enciphered for a dialog field under the session key, as the bank does.
std::string Encipher(const std::string& text) {
    const auto units = banksim::Utf16LeFromUtf8(text);
    const auto key = banksim::FromHex(kSessionKey);
    if (!units || !key) return {};
    const auto cipher = banksim::RunSessionCipher(*key, banksim::CipherUse::kDialogField,
                                                  banksim::CipherDirection::kEncipher, *units);
    return cipher ? banksim::ToHex(cipher->view()) : std::string();
}

// A request's JSON text with each "@HI@" and "@LO@" turned into the escape
// of a lone high or low surrogate, which no JSON library writes.
std::string WithLoneSurrogates(std::string text) {
    for (const auto& [mark, escape] : {std::pair<std::string, std::string>{"@HI@", "\\ud800"},
                                       std::pair<std::string, std::string>{"@LO@", "\\udc00"}})
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark))
            text.replace(at, mark.size(), escape);
    return text;
}

// The person confirms the form, then cancels the confirmation: the values
// the form gave are kept for the page all the same.
constexpr char kOkThenCancel[] = "wait-enabled 1\npress 1\nwait 300\nwait-enabled 2\npress 2\n";

TEST_F(HostileDocumentsThroughTheHost, TenListsAtTheLimitAreReadWholeAndOneCharacterMoreIsRefused) {
    // Every row preselects its last item, the one that ends the 4,999 characters.
    std::string rows;
    std::string expected;
    for (int i = 0; i < 10; ++i) {
        const std::string code = std::to_string(901 + i);
        const std::string list = ListOf(4999, code);
        ASSERT_EQ(Units(list), 4999u);
        rows += ListRow("清單" + std::to_string(i + 1), list,
                        static_cast<int>(CountOf(list, ";;")) - 1);
        expected += code + "||";
    }
    // The same form with the fourth list one character longer.
    std::string tooLong;
    for (int i = 0; i < 10; ++i) {
        const std::string list = ListOf(i == 3 ? 5000 : 4999, std::to_string(901 + i));
        tooLong += ListRow("清單", list, static_cast<int>(CountOf(list, ";;")) - 1);
    }
    ASSERT_NO_FATAL_FAILURE(
        Start("ACS APG8201", std::string(kOkThenCancel) + "press 1\n" + kOkThenCancel));

    EXPECT_EQ(Call("CommAccountProc", CommParams(Form(rows)), kPersonAnswer), kCancelled);
    EXPECT_EQ(Get("GetClearCommAcc"), expected);
    EXPECT_EQ(Shown(), (std::vector<std::string>{Window("Hostile"), Window("Qorv銀行_網路Tellra")}))
        << Report();

    EXPECT_EQ(Call("CommAccountProc", CommParams(Form(tooLong)), kPersonAnswer), kCancelled);
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 5u) << Report();
    EXPECT_EQ(shown[2], Message(kListDataFailed));
    // The refused list gives no value; the others are read as before.
    std::string withoutFourth = expected;
    withoutFourth.replace(15, 3, "");
    EXPECT_EQ(Get("GetClearCommAcc"), withoutFourth);
}

TEST_F(HostileDocumentsThroughTheHost, PrefilledValuesBeyondTheRowsRoomAreRefusedNotCut) {
    const std::string digits48 = "123456789012345678901234567890123456789012345678";
    const std::string text127(127, 'a');
    // Dismiss the message, then cancel the form.
    constexpr char kMessageThenCancel[] = "press 1\nwait-enabled 2\npress 2\n";
    ASSERT_NO_FATAL_FAILURE(
        Start("ACS APG8201", std::string(kOkThenCancel) + kMessageThenCancel + kMessageThenCancel));

    // 48 digits fill the slots of a keypad row; an edit row takes 127 characters.
    EXPECT_EQ(Call("CommAccountProc",
                   CommParams(Form(InputRow("帳號", '3', '0', 48, digits48) +
                                   InputRow("備註", '5', '2', 127, text127))),
                   kPersonAnswer),
              kCancelled);
    EXPECT_EQ(Get("GetClearCommAcc"), digits48 + "||" + text127 + "||");
    // One digit more than the slots hold.
    EXPECT_EQ(Call("CommAccountProc",
                   CommParams(Form(InputRow("帳號", '3', '0', 48, digits48 + "9"))), kPersonAnswer),
              kCancelled);
    // One character more than the row's greatest length.
    EXPECT_EQ(Call("CommAccountProc",
                   CommParams(Form(InputRow("帳號", '3', '0', 16, digits48.substr(0, 16)) +
                                   InputRow("備註", '5', '2', 20, text127.substr(0, 21)))),
                   kPersonAnswer),
              kCancelled);
    EXPECT_EQ(Shown(),
              (std::vector<std::string>{Window("Hostile"), Window("Qorv銀行_網路Tellra"),
                                        Message("第1項之預設值錯誤,忽略"), Window("Hostile"),
                                        Message("第2項之預設值錯誤,忽略"), Window("Hostile")}))
        << Report();
    // The cancelled forms left the page's values as the first one gave them.
    EXPECT_EQ(Get("GetClearCommAcc"), digits48 + "||" + text127 + "||");
}

TEST_F(HostileDocumentsThroughTheHost, EncipheredValuesThatCannotBeDecipheredLeaveTheirRowsEmpty) {
    const std::string banks = Encipher("004 臺灣銀行%%004;;812 Qorv銀行%%812;;");
    const std::string account = Encipher("0058100012345678");
    ASSERT_FALSE(banks.empty());
    const std::string rows = ListRow("奇數長度", std::string(33, 'A'), 0, '1') +
                             ListRow("非十六進位", std::string(32, 'Z'), 0, '1') +
                             ListRow("空白", "", 0, '1') + ListRow("銀行", banks, 1, '1') +
                             InputRow("奇數長度", '5', '2', 20, std::string(17, '0'), '1') +
                             InputRow("帳號", '3', '2', 16, account, '1') +
                             InputRow("非數字", '3', '2', 16, Encipher("12ab"), '1');
    // Five messages to dismiss, then the form. Later the form without session
    // values: a message, the form, and on its OK another message.
    ASSERT_NO_FATAL_FAILURE(
        Start("ACS APG8201", "press 1\npress 1\npress 1\npress 1\npress 1\n" +
                                 std::string(kOkThenCancel) +
                                 "press 1\nwait-enabled 1\npress 1\nwait 300\npress 1\nwait 300\n"
                                 "wait-enabled 2\npress 2\n"));
    EXPECT_EQ(Call("CommAccountProc", CommParams(Form(rows)), kPersonAnswer), kCancelled);
    EXPECT_EQ(Shown(), (std::vector<std::string>{Message(kListDataFailed), Message(kListDataFailed),
                                                 Message(kNoListData), Message(kListDataFailed),
                                                 Message("第7項之預設值錯誤,忽略"),
                                                 Window("Hostile"), Window("Qorv銀行_網路Tellra")}))
        << Report();
    // Only the list and the value that deciphered give something.
    EXPECT_EQ(Get("GetClearCommAcc"), "||||||812||||0058100012345678||||");
    const std::string enciphered = Get("GetEncCommAcc");
    EXPECT_FALSE(enciphered.empty());

    // Without session values the enciphered list does not decipher and the
    // entries cannot be enciphered: both are said, and the page gets the
    // clear values with no enciphered ones.
    EXPECT_EQ(Call("CommAccountProc",
                   json::array({reader(), nullptr, nullptr,
                                Form(ListRow("銀行", banks, 1, '1') +
                                     InputRow("帳號", '3', '2', 16, "0058100012345678"))}),
                   kPersonAnswer),
              kCancelled);
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 11u) << Report();
    EXPECT_EQ(shown[7], Message(kListDataFailed));
    EXPECT_EQ(shown[8], Window("Hostile"));
    EXPECT_EQ(shown[9], Message("加密資料錯誤"));
    EXPECT_EQ(Get("GetClearCommAcc"), "||0058100012345678||");
    EXPECT_EQ(Get("GetEncCommAcc"), "");
}

TEST_F(HostileDocumentsThroughTheHost, UnclosedNestedHugeAndEmptyDocumentsEndInBoundedTime) {
    constexpr char kCancel[] = "wait-enabled 2\npress 2\n";
    ASSERT_NO_FATAL_FAILURE(Start("ACS APG8201", std::string(kOkThenCancel) + kCancel + kCancel +
                                                     "press 1\npress 1\npress 1\n"));

    // Nothing closed: the caption and countdown keep the template's, the
    // elements run to the end of the document and have no content.
    const std::string unclosed =
        "<Caption>未關閉<TimeOut>5<AtmNode Name=\"銀行\" Type=\"0\" Default=\"0\">004 "
        "臺灣銀行%%004;;"
        "<AtmNode Name=\"帳號\" Type=\"3\" KeyType=\"2\" Default=\"16\">0058";
    EXPECT_EQ(Call("CommAccountProc", CommParams(unclosed), kPersonAnswer), kCancelled);
    EXPECT_EQ(Get("GetClearCommAcc"), "||||");

    // Ten thousand elements opened inside each other before any closes.
    std::string nested;
    for (int i = 0; i < 10000; ++i) nested += "<AtmNode Type=\"5\">";
    nested += "deep";
    for (int i = 0; i < 10000; ++i) nested += "</AtmNode>";
    EXPECT_EQ(Call("CommAccountProc", CommParams(Form(nested)), kPersonAnswer), kCancelled);

    // A caption, a name and lengths far beyond what is kept.
    const std::string caption(300000, 'C');
    const std::string huge = "<Caption>" + caption + "</Caption><AtmNode Name=\"" +
                             std::string(300000, 'N') +
                             "\" Type=\"3\" KeyType=\"0\" min=\"99999999999999\" "
                             "Default=\"99999999999999\">123</AtmNode>";
    EXPECT_EQ(Call("CommAccountProc", CommParams(huge), kPersonAnswer), kCancelled);

    // No document, and an empty one: the person is told, nothing opens.
    EXPECT_EQ(Call("CommAccountProc", CommParams(nullptr), kPersonAnswer), kCancelled);
    EXPECT_EQ(Call("CommAccountProc", CommParams(""), kPersonAnswer), kCancelled);
    // A countdown already run out: the form (OK never enabled) ends at its
    // first second.
    EXPECT_EQ(
        Call("CommAccountProc",
             CommParams("<Caption>Hostile</Caption><TimeOut>-1</TimeOut><AtmNode Name=\"帳號\" "
                        "Type=\"3\" KeyType=\"0\" min=\"1\" Default=\"8\"/>"),
             kPersonAnswer),
        kCancelled);

    EXPECT_EQ(Shown(),
              (std::vector<std::string>{
                  Window("Qorv銀行_網路Tellra"), Window("Qorv銀行_網路Tellra"), Window("Hostile"),
                  Window(caption.substr(0, 127)), Message(kCheckDocument), Message(kCheckDocument),
                  Window("Hostile"), Message("交易時間逾時，請重新執行交易 !")}))
        << Report();
}

TEST_F(HostileDocumentsThroughTheHost, LoneSurrogatesReachTheFormAsReplacementCharacters) {
    const std::string document = Form(
        ListRow("名@HI@", "甲@LO@銀行%%8@HI@1;;乙銀行%%822;;", 0) +
            InputRow("暱稱", '5', '2', 20, "Lin@LO@") + InputRow("帳號", '3', '2', 16, "12@HI@") +
            // The first three code units of this code end inside a surrogate pair.
            ListRow("表情", "😀%%12😀;;", 0),
        "Lone@HI@Caption@LO@");
    ASSERT_NO_FATAL_FAILURE(Start("ACS APG8201", "press 1\n" + std::string(kOkThenCancel)));
    EXPECT_EQ(
        CallRaw("CommAccountProc", WithLoneSurrogates(CommParams(document).dump()), kPersonAnswer),
        kCancelled);
    EXPECT_EQ(Shown(), (std::vector<std::string>{
                           Message("第3項之預設值錯誤,忽略"),
                           Window(std::string("Lone") + kReplacement + "Caption" + kReplacement),
                           Window("Qorv銀行_網路Tellra")}))
        << Report();
    // The page gets well-formed text: what no UTF-8 can carry comes as U+FFFD.
    EXPECT_EQ(Get("GetClearCommAcc"), std::string("8") + kReplacement + "1||Lin" + kReplacement +
                                          "||||12" + kReplacement + "||");
    EXPECT_FALSE(Get("GetEncCommAcc").get<std::string>().empty());
    // A reader name with a lone surrogate names no reader.
    const json unknownReader =
        CallRaw("CommAccountProc",
                WithLoneSurrogates(
                    json::array({"ACS APG8201@HI@", keyHash_, encryptedKey_, document}).dump()),
                kQuickAnswer);
    EXPECT_TRUE(unknownReader.is_number_integer() && unknownReader != 0) << unknownReader;
    EXPECT_EQ(Shown().size(), 3u) << Report();
}

// The guided transfer's parameters around the session values and document;
// TransferProcSnd takes no PIN.
json TransferParams(const std::string& reader, const json& keyHash, const json& encryptedKey,
                    const json& document, bool withPin = true) {
    json params =
        json::array({"2521", "12345678", "ABCDEFGH", "00000000050000", "0058100012345678", reader});
    if (withPin) params.push_back("123456");
    for (const json& value :
         {json("<MSG><Tag1>轉帳</Tag1></MSG>"), keyHash, encryptedKey, document, json("0")})
        params.push_back(value);
    return params;
}

TEST_F(HostileDocumentsThroughTheHost, TransferSessionValuesAndDocumentsAreCheckedBeforeAnyWindow) {
    // Any window would be closed at once (and the results would differ).
    ASSERT_NO_FATAL_FAILURE(Start("Virtual PCD", "close\n"));
    const std::string twoElements = "<AtmNode Name=\"約定\">王%%812||1;;</AtmNode><AtmNode/>";
    const std::string upperCase = "<ATMNODE/><ATMNODE/><ATMNODE/>";
    const std::string hash = keyHash_;
    const std::string key = encryptedKey_;
    ASSERT_EQ(hash.size(), 40u);
    ASSERT_EQ(key.size(), 256u);
    struct Case {
        json hash, key, document;
        int expected;
    };
    const Case cases[] = {
        // The session values, before any reader is touched.
        {nullptr, key, twoElements, kBadLength},
        {"", key, twoElements, kBadLength},
        {hash.substr(0, 39), key, twoElements, kBadLength},
        {hash + "0", key, twoElements, kBadLength},
        {hash, nullptr, twoElements, kBadLength},
        {hash, "", twoElements, kBadLength},
        {hash, key.substr(0, 253), twoElements, kBadLength},
        {hash, key.substr(0, 255), twoElements, kBadLength},
        {hash, key + "0", twoElements, kBadLength},
        // 254 and 256 pass; then the document, after the reader was connected.
        {hash, key.substr(0, 254), twoElements, kTooFewElements},
        {hash, key, twoElements, kTooFewElements},
        {hash, key, nullptr, kTooFewElements},
        {hash, key, "", kTooFewElements},
        {hash, key, upperCase, kTooFewElements},
    };
    for (const bool withPin : {true, false}) {
        const std::string method = withPin ? "TransferProc" : "TransferProcSnd";
        for (const Case& c : cases) {
            EXPECT_EQ(Call(method, TransferParams(reader(), c.hash, c.key, c.document, withPin),
                           kQuickAnswer),
                      c.expected)
                << method << " " << c.hash << " " << c.key.dump().size() << " " << c.document;
        }
    }
    // Each call closed the reader it connected: no session is left to the page.
    EXPECT_EQ(Get("CheckCardInsert"), -1);
    // A missing PIN is refused before the session values are looked at.
    json noPin = TransferParams(reader(), nullptr, nullptr, twoElements);
    noPin[6] = nullptr;
    EXPECT_EQ(Call("TransferProc", noPin, kQuickAnswer), kArgumentMissing);
    EXPECT_TRUE(Shown().empty()) << Report();
}

TEST_F(HostileDocumentsThroughTheHost, HostileTransferDocumentsOpenTheDialogInBoundedTime) {
    constexpr char kCancel[] = "wait-enabled 2\npress 2\n";
    ASSERT_NO_FATAL_FAILURE(
        Start("Virtual PCD",
              std::string(kCancel) + "press 1\npress 1\npress 1\n" + kCancel + kCancel + kCancel));
    // Three lists of a hundred thousand characters each.
    std::string items;
    while (Units(items) < 100000) items += "王小明-帳戶%%812||0058100012345678$$a@b.c;;";
    const std::string lists = "<AtmNode Name=\"約定\">" + items +
                              "</AtmNode><AtmNode Name=\"常用\">" + items +
                              "</AtmNode><AtmNode Name=\"其他\">" + items + "</AtmNode>";
    EXPECT_EQ(Call("TransferProc", TransferParams(reader(), keyHash_, encryptedKey_, lists),
                   kPersonAnswer),
              kCancelled);

    // Enciphered lists of odd length, not hexadecimal, and empty.
    const std::string enciphered = "<AtmNode Ciph=\"1\">" + std::string(33, 'A') +
                                   "</AtmNode><AtmNode Ciph=\"1\">" + std::string(32, 'Z') +
                                   "</AtmNode><AtmNode Ciph=\"1\"></AtmNode>";
    EXPECT_EQ(Call("TransferProc", TransferParams(reader(), keyHash_, encryptedKey_, enciphered),
                   kPersonAnswer),
              kCancelled);

    // Elements opened and never closed, under a caption with lone surrogates.
    const std::string unclosed =
        "<Caption>Lone@HI@Caption@LO@</Caption><AtmNode<AtmNode Name=\"x\"<AtmNode Default=\"";
    const auto raw = [&](bool withPin) {
        return WithLoneSurrogates(
            TransferParams(reader(), keyHash_, encryptedKey_, unclosed, withPin).dump());
    };
    EXPECT_EQ(CallRaw("TransferProc", raw(true), kPersonAnswer), kCancelled);
    EXPECT_EQ(CallRaw("TransferProcSnd", raw(false), kPersonAnswer), kCancelled);

    const std::string lone = std::string("Lone") + kReplacement + "Caption" + kReplacement;
    EXPECT_EQ(Shown(),
              (std::vector<std::string>{Window("Qorv銀行_網路Tellra"), Message(kListDataFailed),
                                        Message(kListDataFailed), Message(kNoListData),
                                        Window("Qorv銀行_網路Tellra"), Window(lone), Window(lone)}))
        << Report();
    EXPECT_EQ(Get("GetClearImportAccount"), "");
    EXPECT_EQ(Get("CheckCardInsert"), -1);
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::testing
