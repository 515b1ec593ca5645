#include <set>

#include "control/dispatch_table.h"
#include "control/hresult.h"
#include "control_fixture.h"

namespace qorv::testing {
namespace {

using control::InvokeByDispid;
using control::InvokeByName;

TEST(DispatchTable, EntriesAreUniqueAndLeaveTheTypeLibraryOnlyRangeEmpty) {
    std::set<int32_t> dispids;
    std::set<std::string> names;
    for (const auto& method : control::ControlDispatchTable().methods()) {
        EXPECT_TRUE(dispids.insert(method.dispid).second) << method.dispid;
        EXPECT_TRUE(names.insert(method.name).second) << method.name;
        EXPECT_FALSE(method.dispid >= 68 && method.dispid <= 110) << method.name;
        EXPECT_TRUE((method.dispid >= 1 && method.dispid <= 67) ||
                    (method.dispid >= 111 && method.dispid <= 122))
            << method.name;
    }
    EXPECT_EQ(control::TypeLibraryOnlyMethods().size(), 43u);
}

TEST_F(ControlTest, TypeLibraryOnlyMethodsAreNotServed) {
    for (const auto& declared : control::TypeLibraryOnlyMethods()) {
        EXPECT_EQ(InvokeByName(ctrl, declared.name, {}).hresult, control::kDispUnknownName);
        EXPECT_EQ(InvokeByDispid(ctrl, declared.dispid, {}).hresult, control::kDispMemberNotFound);
    }
    EXPECT_EQ(InvokeByDispid(ctrl, 78, {}).hresult, control::kDispMemberNotFound);
    EXPECT_EQ(InvokeByDispid(ctrl, 0, {}).hresult, control::kDispMemberNotFound);
    EXPECT_EQ(InvokeByDispid(ctrl, 123, {}).hresult, control::kDispMemberNotFound);
    EXPECT_EQ(InvokeByName(ctrl, "NoSuchMethod", {}).hresult, control::kDispUnknownName);
}

TEST_F(ControlTest, NamesMatchWithoutRegardToAsciiCase) {
    EXPECT_EQ(Long("getreadernumber"), -1);
    EXPECT_EQ(Long("GETRESPLENGTH"), 0);
    EXPECT_EQ(InvokeByDispid(ctrl, 3, {}).value, ScriptValue(-1));
    // Only ASCII letters fold: a dotless i does not match 'I'.
    EXPECT_EQ(InvokeByName(ctrl, "GetReaderNumber\xC4\xB1", {}).hresult, control::kDispUnknownName);
}

TEST_F(ControlTest, ParameterCountMustMatch) {
    EXPECT_EQ(InvokeByName(ctrl, "GetReaderName", {}).hresult, control::kDispBadParamCount);
    EXPECT_EQ(InvokeByName(ctrl, "GetRespData", {1}).hresult, control::kDispBadParamCount);
    EXPECT_EQ(InvokeByName(ctrl, "ReConnectCard", {Text(u"Virtual PCD")}).hresult,
              control::kDispBadParamCount);
}

TEST_F(ControlTest, ArgumentsAreCoercedAsAutomationDoes) {
    pcsc.AddReader("Virtual PCD 00 00");
    ASSERT_EQ(Long("ListReaders"), 0);
    // Decimal text for a long, blanks and sign allowed.
    EXPECT_EQ(Call("GetReaderName", {Text(u" +0 ")}), Text(u"Virtual PCD 00 00"));
    EXPECT_EQ(Call("GetReaderName", {Text(u"-1")}), kNull);
    for (const char16_t* bad : {u"", u"0x0", u"1.0", u"one", u"4294967296", u"\uFF10"}) {
        EXPECT_EQ(InvokeByName(ctrl, "GetReaderName", {Text(bad)}).hresult,
                  control::kDispTypeMismatch);
    }
    EXPECT_EQ(InvokeByName(ctrl, "GetReaderName", {kNull}).hresult, control::kDispTypeMismatch);
    // A number for a text becomes its decimal text (and is then too short a name).
    EXPECT_EQ(Long("ConnectCard", {123456}), reader::pcsc::kUnknownReader);
    EXPECT_EQ(pcsc.calls().back().reader, "123456");
    EXPECT_EQ(Long("ConnectCard", {-1}), 8194);
}

}  // namespace
}  // namespace qorv::testing
