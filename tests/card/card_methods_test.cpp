// The card methods as a page reaches them: DISPIDs, parameter names, and the
// null string versus the empty string.
#include "card_test_fixture.h"
#include "control/dispatch_table.h"
#include "control/invoke.h"

namespace qorv::testing {
namespace {

using control::ScriptType;
using control::ScriptValue;

struct Declared {
    int32_t dispid;
    const char* name;
    std::vector<std::string> params;
    ScriptType result;
};

TEST(CardMethodsTable, EveryCardMethodHasItsDispidParametersAndResultType) {
    const Declared declared[] = {
        {12, "ListEF1001Accounts", {}, ScriptType::Long},
        {13, "GetEF1001TotalAccounts", {}, ScriptType::Long},
        {14, "GetEF1001Account", {"AccountNo"}, ScriptType::Text},
        {15, "ListEF1002Accounts", {}, ScriptType::Long},
        {16, "GetEF1002TotalAccounts", {}, ScriptType::Long},
        {17, "GetEF1002Account", {"AccountNo"}, ScriptType::Text},
        {18, "GetIssuerBank", {}, ScriptType::Text},
        {19, "GetICCRemark", {}, ScriptType::Text},
        {20, "ReadCardSN", {}, ScriptType::Text},
        {21, "VerifyPIN", {"pPwdStr"}, ScriptType::Long},
        {25, "ChangePIN", {"pOldPwdStr", "pNewPwdStr"}, ScriptType::Long},
        {29, "AccountInquiry", {"pPCode", "pFdChkCode", "pAccountNumber"}, ScriptType::Long},
        {33,
         "AccountTransfer",
         {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pImprtAccnt", "pAccount"},
         ScriptType::Long},
        {37,
         "AccountPayment",
         {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pPaymentType", "pCancelNo", "pAccount"},
         ScriptType::Long},
        {41,
         "AccountPayTax",
         {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount"},
         ScriptType::Long},
        {45,
         "AccountWithdraw",
         {"pPCode", "pFdid", "pFdChkCode", "pMoney", "pAccount"},
         ScriptType::Long},
    };
    const auto& table = control::ControlDispatchTable();
    for (const auto& d : declared) {
        const auto* entry = table.FindByDispid(d.dispid);
        ASSERT_NE(entry, nullptr) << d.name;
        EXPECT_EQ(entry->name, d.name);
        EXPECT_EQ(entry->result, d.result) << d.name;
        std::vector<std::string> params;
        for (const auto& p : entry->params) {
            params.push_back(p.name);
            const auto type = p.name == "AccountNo" ? ScriptType::Long : ScriptType::Text;
            EXPECT_EQ(p.type, type) << d.name << " " << p.name;
        }
        EXPECT_EQ(params, d.params) << d.name;
    }
}

class CardMethodsTest : public CardTest {
  protected:
    ScriptValue Call(const char* name, const std::vector<ScriptValue>& args = {}) {
        const auto result = control::InvokeByName(ctrl, name, args);
        EXPECT_EQ(result.hresult, 0) << name << ": " << result.message;
        return result.value;
    }
};

TEST_F(CardMethodsTest, FailedReadsAnswerNullOrEmptyAsEachMethodDoes) {
    Connect();
    for (int i = 0; i < 3; ++i) pcsc.Expect("00A4040008A000000172950001", "6A82");
    EXPECT_EQ(Call("GetIssuerBank"), ScriptValue(std::u16string()));
    EXPECT_EQ(Call("GetICCRemark"), ScriptValue(std::u16string()));
    EXPECT_EQ(Call("ReadCardSN"), ScriptValue(nullptr));
    EXPECT_EQ(Call("GetEF1001Account", {int32_t{0}}), ScriptValue(nullptr));
    EXPECT_EQ(Call("GetEF1002TotalAccounts"), ScriptValue(int32_t{-1}));
    EXPECT_EQ(Call("GetRespTAC"), ScriptValue(std::u16string()));
}

TEST_F(CardMethodsTest, PinAndTransactionReachTheCardThroughTheTable) {
    Connect();
    ExpectSelectApplication();
    pcsc.Expect("0020001008123456FFFFFFFFFF", "9000");
    EXPECT_EQ(Call("VerifyPIN", {std::u16string(u"123456")}), ScriptValue(int32_t{0}));
    EXPECT_EQ(Call("ChangePIN", {std::u16string(u"123456"), nullptr}), ScriptValue(int32_t{8195}));
    EXPECT_EQ(Call("AccountWithdraw",
                   {std::u16string(u"2541"), std::u16string(u"12345678"),
                    std::u16string(u"ABCDEFGH"), nullptr, std::u16string(u"0058100012345678")}),
              ScriptValue(int32_t{8195}));
    EXPECT_TRUE(pcsc.ScriptDone());
}

}  // namespace
}  // namespace qorv::testing
