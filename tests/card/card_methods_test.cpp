// Pages that bind by DISPID reach the card methods under their fixed numbers.
#include <gtest/gtest.h>

#include "control/dispatch_table.h"

namespace qorv::control {
namespace {

TEST(CardMethodsTable, DispidsNamesAndParameterCounts) {
    const struct {
        int32_t dispid;
        const char* name;
        std::size_t params;
    } declared[] = {{12, "ListEF1001Accounts", 0},
                    {13, "GetEF1001TotalAccounts", 0},
                    {14, "GetEF1001Account", 1},
                    {15, "ListEF1002Accounts", 0},
                    {16, "GetEF1002TotalAccounts", 0},
                    {17, "GetEF1002Account", 1},
                    {18, "GetIssuerBank", 0},
                    {19, "GetICCRemark", 0},
                    {20, "ReadCardSN", 0},
                    {21, "VerifyPIN", 1},
                    {25, "ChangePIN", 2},
                    {29, "AccountInquiry", 3},
                    {33, "AccountTransfer", 6},
                    {37, "AccountPayment", 7},
                    {41, "AccountPayTax", 5},
                    {45, "AccountWithdraw", 5}};
    for (const auto& d : declared) {
        const MethodEntry* entry = ControlDispatchTable().FindByDispid(d.dispid);
        ASSERT_NE(entry, nullptr) << d.name;
        EXPECT_EQ(entry->name, d.name);
        EXPECT_EQ(entry->params.size(), d.params) << d.name;
    }
    EXPECT_EQ(ControlDispatchTable().FindByDispid(14)->params[0].type, ScriptType::Long);
}

}  // namespace
}  // namespace qorv::control
