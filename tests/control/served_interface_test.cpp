// The served table is the control's whole scripting interface: exactly these
// 79 methods with these DISPIDs, parameter types and result types. A method
// lost in a merge, a DISPID typed twice or a parameter dropped fails here.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "control/dispatch_table.h"

namespace qorv::control {
namespace {

constexpr ScriptType kLong = ScriptType::Long;
constexpr ScriptType kText = ScriptType::Text;

struct Expected {
    int32_t dispid;
    const char* name;
    const char* params;  // one letter per parameter: L long, T text
    ScriptType result;
};

constexpr Expected kInterface[] = {
    {1, "ConnectReader", "", kLong},
    {2, "ListReaders", "", kLong},
    {3, "GetReaderNumber", "", kLong},
    {4, "GetReaderName", "L", kText},
    {5, "DisconnectReader", "", kLong},
    {6, "ConnectCard", "T", kLong},
    {7, "DisconnectCard", "", kLong},
    {8, "ReConnectCard", "TL", kLong},
    {9, "CheckCardInsert", "", kLong},
    {10, "GetCardStatus", "", kText},
    {11, "GetReaderStatus", "L", kText},
    {12, "ListEF1001Accounts", "", kLong},
    {13, "GetEF1001TotalAccounts", "", kLong},
    {14, "GetEF1001Account", "L", kText},
    {15, "ListEF1002Accounts", "", kLong},
    {16, "GetEF1002TotalAccounts", "", kLong},
    {17, "GetEF1002Account", "L", kText},
    {18, "GetIssuerBank", "", kText},
    {19, "GetICCRemark", "", kText},
    {20, "ReadCardSN", "", kText},
    {21, "VerifyPIN", "T", kLong},
    {22, "VerifyPINEx", "TT", kLong},
    {23, "VerifyPINSnd", "", kLong},
    {24, "VerifyPINSndEx", "T", kLong},
    {25, "ChangePIN", "TT", kLong},
    {26, "ChangePINEx", "TTTT", kLong},
    {27, "ChangePINSnd", "T", kLong},
    {28, "ChangePINSndEx", "TT", kLong},
    {29, "AccountInquiry", "TTT", kLong},
    {30, "AccountInquiryEx", "TTTTTT", kLong},
    {31, "AccountInquirySnd", "TTTT", kLong},
    {32, "AccountInquirySndEx", "TTTTT", kLong},
    {33, "AccountTransfer", "TTTTTT", kLong},
    {34, "AccountTransferEx", "TTTTTTTTT", kLong},
    {35, "AccountTransferSnd", "TTTTTTT", kLong},
    {36, "AccountTransferSndEx", "TTTTTTTT", kLong},
    {37, "AccountPayment", "TTTTTTT", kLong},
    {38, "AccountPaymentEx", "TTTTTTTTTT", kLong},
    {39, "AccountPaymentSnd", "TTTTTTTT", kLong},
    {40, "AccountPaymentSndEx", "TTTTTTTTT", kLong},
    {41, "AccountPayTax", "TTTTT", kLong},
    {42, "AccountPayTaxEx", "TTTTTTTT", kLong},
    {43, "AccountPayTaxSnd", "TTTTTT", kLong},
    {44, "AccountPayTaxSndEx", "TTTTTTT", kLong},
    {45, "AccountWithdraw", "TTTTT", kLong},
    {46, "AccountWithdrawEx", "TTTTTTTT", kLong},
    {47, "AccountWithdrawSnd", "TTTTTT", kLong},
    {48, "AccountWithdrawSndEx", "TTTTTTT", kLong},
    {49, "GetRespSNUM", "", kText},
    {50, "GetRespTAC", "", kText},
    {51, "GetRespDateTime", "", kText},
    {52, "VerifyRN1andGenerateRN2", "LTLT", kLong},
    {53, "GetEncryptRN2", "", kText},
    {54, "GetEncryptHashRN2", "", kText},
    {55, "GetSessionKeyHash", "", kText},
    {56, "VerifySessionKeyHash", "TT", kLong},
    {57, "DESEncipher", "TTLT", kLong},
    {58, "DESDecipher", "TTLT", kLong},
    {59, "ConvertIntToHex", "LT", kText},
    {60, "ConvertHexToInt", "LT", kText},
    {61, "GetAPIVersion", "", kText},
    {62, "DES", "LLTT", kLong},
    {63, "MAC", "LTTLT", kLong},
    {64, "GetRespLength", "", kLong},
    {65, "GetRespData", "", kText},
    {66, "ListWinscardInfo", "", kLong},
    {67, "GetWinscardProperty", "L", kText},
    {111, "GetTransactionIssuer", "", kText},
    {112, "GetTransactionRemark", "", kText},
    {113, "GetTransactionAccount", "", kText},
    {114, "TransferProc", "TTTTTTTTTTTT", kLong},
    {115, "TransferProcSnd", "TTTTTTTTTTT", kLong},
    {116, "CommAccountProc", "TTTT", kLong},
    {117, "GetClearImportAccount", "", kText},
    {118, "GetEncImportAccount", "", kText},
    {119, "GetClearCommAcc", "", kText},
    {120, "GetEncCommAcc", "", kText},
    {121, "WriteRecordWithSNUMTAC", "TTTT", kLong},
    {122, "WriteRecordWithSNUMTACSnd", "TTT", kLong},
};

std::string ParamLetters(const MethodEntry& entry) {
    std::string letters;
    for (const ParamSpec& p : entry.params) letters += p.type == kLong ? 'L' : 'T';
    return letters;
}

TEST(ServedInterface, IsExactlyTheSeventyNineMethodsWithTheirDispidsAndTypes) {
    const DispatchTable& table = ControlDispatchTable();
    ASSERT_EQ(std::size(kInterface), 79u);
    EXPECT_EQ(table.methods().size(), std::size(kInterface));
    std::set<int32_t> dispids;
    for (const Expected& e : kInterface) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(dispids.insert(e.dispid).second);
        const MethodEntry* byName = table.FindByName(e.name);
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(byName, table.FindByDispid(e.dispid));
        EXPECT_EQ(byName->name, e.name);
        EXPECT_EQ(ParamLetters(*byName), e.params);
        EXPECT_EQ(byName->result, e.result);
    }
}

}  // namespace
}  // namespace qorv::control
