// Which cached results a card connect or disconnect clears and which it
// leaves, the reader index the card methods use afterwards, and the response
// length getter after every kind of operation.
#include <openssl/evp.h>
#include <cstdlib>
#include <ctime>

#include "../crypto/rsa_openssl_test_util.h"
#include "control_fixture.h"
#include "crypto/key_store.h"

namespace qorv::testing {
namespace {

namespace tu = crypto::test_util;

const ScriptValue kReader0 = Text(u"Virtual PCD 00 00");
const ScriptValue kReader1 = Text(u"Virtual PCD 00 01");

std::string AsciiHex(const std::string& text) {
    return ToHex(Bytes(text.begin(), text.end()));
}
std::string RecordHex(const std::string& text) {
    return "0000" + AsciiHex(text);
}

const std::string kRemarkHex = "514F5256B0D3B77EBBC8A6E6202020202020202020202020202020202020";
const std::string kWithdrawRecord = AsciiHex(
    "2541"
    "00000000001000"
    "12345678"
    "ABCDEFGH"
    "20231115061320"
    "0058100012345678");
const std::string kWriteAnswer = "00" + AsciiHex("00000001") + "0100" + "1122334455667788";

class ControlResultsTest : public ControlTest {
  protected:
    void SetUp() override {
        setenv("TZ", "CST-8", 1);
        tzset();
        ctrl.engine().SetTransactionClock([] { return std::time_t{1700000000}; });
        pcsc.AddReader("Virtual PCD 00 00");
        pcsc.AddReader("Virtual PCD 00 01");
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    // The handle the next card command goes out with: a select the card refuses.
    reader::PcscHandle HandleOfCurrentReader() {
        pcsc.Expect("00A4040008A000000172950001", "6A82");
        EXPECT_EQ(Long("VerifyPIN", {Text(u"123456")}), 20481);
        const auto& calls = pcsc.calls();
        for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
            if (it->function == "transmit") return it->handle;
        }
        ADD_FAILURE() << "no command was sent";
        return 0;
    }

    // Fills every cached result a page can see, on the current reader (T=0).
    void FillResults() {
        // EF1001 list: one account in record 3, records 4-10 unused.
        pcsc.Expect("00A4040008A000000172950001", "9000");
        pcsc.Expect("00A40200021001", "9000");
        pcsc.Expect("00B2030412", RecordHex("0058100012345678") + "9000");
        for (int record = 4; record <= 10; ++record) {
            pcsc.Expect("00B2" + ToHex(Bytes{static_cast<uint8_t>(record)}) + "0412",
                        RecordHex(std::string(16, '0')) + "9000");
        }
        ASSERT_EQ(Long("ListEF1001Accounts"), 0);
        ASSERT_EQ(Long("GetEF1001TotalAccounts"), 1);

        // A transaction: SNUM, TAC, date-time, then issuer, remark and account.
        pcsc.Expect("00E2108040" + kWithdrawRecord, "6113");
        pcsc.Expect("00C0000013", kWriteAnswer + "9000");
        pcsc.Expect("00A40200021001", "9000");
        pcsc.Expect("00B20105000000", "6700");
        pcsc.Expect("00B2010408", RecordHex("81200580") + "9000");
        pcsc.Expect("00B2020420", "0000" + kRemarkHex + "9000");
        pcsc.Expect("00B2030412", RecordHex("0058100012345678") + "9000");
        ASSERT_EQ(Long("AccountWithdraw", {Text(u"2541"), Text(u"12345678"), Text(u"ABCDEFGH"),
                                           Text(u"00000000001000"), Text(u"0058100012345678")}),
                  0);
        ASSERT_TRUE(pcsc.ScriptDone());

        // Response data (shared with the clear common-account getter).
        ASSERT_EQ(Long("DES", {0, 8, Text(u"0123456789ABCDEF"), Text(u"4E6F772069732074")}), 0);

        // The session texts of a key agreement with the development keys.
        const tu::Pkey clientPublic = tu::LoadPemKey("client-public.pem", false);
        ASSERT_TRUE(clientPublic);
        uint32_t seed = 11;
        const std::u16string rn1 =
            tu::Hex(tu::OpenSslRsa(clientPublic.get(), tu::RandomBytes(8, seed), true));
        ASSERT_EQ(Long("VerifyRN1andGenerateRN2",
                       {128, ScriptValue(rn1), 128, ScriptValue(std::u16string(256, u'0'))}),
                  0);

        ASSERT_EQ(Long("ListWinscardInfo"), 0);
        sessionKeyHash = Call("GetSessionKeyHash");
        encryptRn2 = Call("GetEncryptRN2");
        encryptHashRn2 = Call("GetEncryptHashRN2");
        ASSERT_NE(sessionKeyHash, kNull);
        ASSERT_NE(encryptRn2, Text(u""));
        for (int item = 0; item < 3; ++item) library[item] = Call("GetWinscardProperty", {item});
    }

    void ExpectCleared() {
        EXPECT_EQ(Call("GetCardStatus"), kNull);
        EXPECT_EQ(Long("GetEF1001TotalAccounts"), -1);
        EXPECT_EQ(Call("GetEF1001Account", {0}), kNull);
        EXPECT_EQ(Long("GetEF1002TotalAccounts"), -1);
        for (const char* getter :
             {"GetRespSNUM", "GetRespTAC", "GetRespDateTime", "GetRespData", "GetClearCommAcc"}) {
            EXPECT_EQ(Call(getter), Text(u"")) << getter;
        }
    }

    void ExpectKept() {
        EXPECT_EQ(Call("GetTransactionIssuer"), Text(u"812"));
        EXPECT_EQ(Call("GetTransactionRemark"),
                  ScriptValue(std::u16string(kRemarkHex.begin(), kRemarkHex.end())));
        EXPECT_EQ(Call("GetTransactionAccount"), Text(u"0058100012345678"));
        EXPECT_EQ(Call("GetSessionKeyHash"), sessionKeyHash);
        EXPECT_EQ(Call("GetEncryptRN2"), encryptRn2);
        EXPECT_EQ(Call("GetEncryptHashRN2"), encryptHashRn2);
        // No operation fills these yet in this fixture; they must stay as they were.
        EXPECT_EQ(Call("GetEncCommAcc"), Text(u""));
        EXPECT_EQ(Call("GetClearImportAccount"), Text(u""));
        for (int item = 0; item < 3; ++item)
            EXPECT_EQ(Call("GetWinscardProperty", {item}), library[item]) << item;
    }

    ScriptValue sessionKeyHash, encryptRn2, encryptHashRn2;
    ScriptValue library[3];
};

TEST_F(ControlResultsTest, ConnectCardWithoutNameClearsResultsAndGoesBackToReaderZero) {
    ASSERT_EQ(Long("ListReaders"), 0);
    ASSERT_EQ(Long("ConnectCard", {kReader0}), 0);
    const reader::PcscHandle first = HandleOfCurrentReader();
    ASSERT_EQ(Long("ConnectCard", {kReader1}), 0);
    const reader::PcscHandle second = HandleOfCurrentReader();
    ASSERT_NE(first, second);
    FillResults();

    EXPECT_EQ(Long("ConnectCard", {kNull}), 4099);
    ExpectCleared();
    ExpectKept();
    EXPECT_EQ(HandleOfCurrentReader(), first) << "the reader index is 0 again";
    // The reader list and count are not results of the card.
    EXPECT_EQ(Long("GetReaderNumber"), 2);
    EXPECT_EQ(Call("GetReaderName", {1}), kReader1);
}

TEST_F(ControlResultsTest, ReConnectCardWithoutNameClearsResultsButKeepsTheReader) {
    ASSERT_EQ(Long("ConnectCard", {kReader0}), 0);
    ASSERT_EQ(Long("ConnectCard", {kReader1}), 0);
    const reader::PcscHandle second = HandleOfCurrentReader();
    FillResults();

    EXPECT_EQ(Long("ReConnectCard", {kNull, 0}), 4099);
    ExpectCleared();
    ExpectKept();
    EXPECT_EQ(HandleOfCurrentReader(), second);
}

TEST_F(ControlResultsTest, ConnectAndDisconnectClearTheSameResults) {
    ASSERT_EQ(Long("ConnectCard", {kReader1}), 0);
    FillResults();
    EXPECT_EQ(Long("DisconnectCard"), 0);
    ExpectCleared();
    ExpectKept();

    ASSERT_EQ(Long("ConnectCard", {kReader1}), 0);
    FillResults();
    ASSERT_EQ(Long("ReConnectCard", {kReader1, 1}), 0);
    EXPECT_EQ(Call("GetCardStatus"), Text(u"3B021450")) << "a successful connect sets it again";
    EXPECT_EQ(Long("GetEF1001TotalAccounts"), -1);
    EXPECT_EQ(Call("GetRespTAC"), Text(u""));
    ExpectKept();
}

TEST_F(ControlResultsTest, ResponseLengthIsZeroAfterEveryKindOfOperation) {
    std::vector<std::string> after;
    const auto check = [&](const std::string& what) {
        EXPECT_EQ(Long("GetRespLength"), 0) << "after " << what;
        after.push_back(what);
    };
    check("nothing");
    ASSERT_EQ(Long("ListReaders"), 0);
    check("ListReaders");
    ASSERT_EQ(Long("ConnectCard", {kReader0}), 0);
    check("ConnectCard");
    FillResults();  // a card listing, a transaction with fetched data, DES, key agreement
    check("card reads, a transaction, DES and the key agreement");
    ASSERT_EQ(Long("MAC", {8, Text(u"0123456789ABCDEF"), Text(u"0000000000000000"), 8,
                           Text(u"4E6F772069732074")}),
              0);
    check("MAC");
    EXPECT_EQ(Long("DESEncipher",
                   {Text(std::u16string(40, u'0').c_str()), Text(std::u16string(256, u'0').c_str()),
                    8, Text(u"0011223344556677")}),
              20741);
    check("a failed DESEncipher");
    EXPECT_NE(Call("ConvertIntToHex", {2, Text(u"AB")}), kNull);
    check("ConvertIntToHex");
    pcsc.Expect("00A4040008A000000172950001", "9000");
    pcsc.Expect("00B0000010", "00010008 1208156300472915 00000000 9000");
    EXPECT_EQ(Call("ReadCardSN"), ScriptValue(std::u16string(u"1208156300472915")));
    check("ReadCardSN");
    EXPECT_EQ(Long("DisconnectCard"), 0);
    check("DisconnectCard");
    EXPECT_EQ(Long("DisconnectReader"), 0);
    check("DisconnectReader");
    EXPECT_EQ(after.size(), 10u);
}

TEST_F(ControlResultsTest, DesEncipherWithAShortHashLeavesTheKeyStoreAlone) {
    // A mark in the buffer of the client's private key (the record the
    // session-key operations load): a load of the store clears it.
    const auto buffer = crypto::test_hooks::KeyStoreBuffers()[1];
    auto* mark = const_cast<uint8_t*>(buffer.data());
    const std::u16string encKey(256, u'0');
    const std::u16string data = u"0011223344556677";
    *mark = 0x5A;
    EXPECT_EQ(Long("DESEncipher", {ScriptValue(std::u16string(39, u'0')), ScriptValue(encKey), 8,
                                   ScriptValue(data)}),
              8194);
    EXPECT_EQ(*mark, 0x5A) << "the store was loaded for a call refused on its arguments";
    EXPECT_EQ(Call("GetRespData"), Text(u""));
    // With 40 digits the call goes as far as the store (and fails on the key).
    EXPECT_EQ(Long("DESEncipher", {ScriptValue(std::u16string(40, u'0')), ScriptValue(encKey), 8,
                                   ScriptValue(data)}),
              20741);
    EXPECT_EQ(*mark, 0) << "the mark must show a load";
    crypto::WipeKeyStore();
}

}  // namespace
}  // namespace qorv::testing
