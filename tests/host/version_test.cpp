// The module's version text and the reader and driver information, from the
// control on a scripted PC/SC and from the real host.
#include <gtest/gtest.h>

#include "control/invoke.h"
#include "control/module_version.h"
#include "control/qorv_client_atm_ctrl.h"
#include "reader/reader_info.h"
#include "support/fake_pcsc.h"
#include "support/host_process.h"

namespace qorv::control {
namespace {

using testing::Bytes;

TEST(FileVersion, DotsAndCommasWithBlanksGiveTheSameVersion) {
    EXPECT_EQ(NormaliseFileVersion("1.0.1.3"), "1.0.1.3");
    EXPECT_EQ(NormaliseFileVersion("1, 0, 1, 3"), "1.0.1.3");
    EXPECT_EQ(NormaliseFileVersion("1,0,1,3"), "1.0.1.3");
    EXPECT_EQ(NormaliseFileVersion("1.0.1.3 \t\r\n"), "1.0.1.3");
    // Leading blanks do not shift the first part.
    EXPECT_EQ(NormaliseFileVersion("   1, 0, 1, 3"), "1.0.1.3");
    EXPECT_EQ(NormaliseFileVersion("10 , 20 , 30 , 40 "), "10.20.30.40");
    // A comma decides even when dots are present.
    EXPECT_EQ(NormaliseFileVersion("2, 0.5"), "2.0.5");
}

TEST(FileVersion, NoSeparatorMeansNoVersion) {
    EXPECT_EQ(NormaliseFileVersion("7"), "");
    EXPECT_EQ(NormaliseFileVersion(""), "");
    EXPECT_EQ(NormaliseFileVersion("   "), "");
    EXPECT_EQ(VersionText(""), "Version  ");
    EXPECT_EQ(VersionText("1, 0, 1, 3"), "Version 1.0.1.3 ");
}

class ModuleInfoTest : public ::testing::Test {
  protected:
    ScriptValue Call(const std::string& method, std::vector<ScriptValue> args = {}) {
        const InvokeResult result = InvokeByName(ctrl, method, args);
        EXPECT_EQ(result.hresult, 0) << method << ": " << result.message;
        return result.value;
    }
    void ConnectTheCard() {
        pcsc.AddReader("Virtual PCD 00 00");
        ASSERT_EQ(Call("ConnectReader"), ScriptValue(0));
        ASSERT_EQ(Call("ConnectCard", {std::u16string(u"Virtual PCD 00 00")}), ScriptValue(0));
    }

    testing::FakePcsc pcsc;
    testing::RecordingPauser pauser;
    dialogs::HeadlessUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    CQorvClientATMCtrl ctrl{session, ui};
};

TEST_F(ModuleInfoTest, ApiVersionIsTheBuildsFileVersionOnEveryCall) {
    const ScriptValue expected = std::u16string(u"Version 1.0.1.3 ");
    EXPECT_EQ(Call("GetAPIVersion"), expected);
    EXPECT_EQ(Call("GetAPIVersion"), expected);
    EXPECT_EQ(InvokeByDispid(ctrl, 61, {}).value, expected);
}

TEST_F(ModuleInfoTest, ReaderStatusAnswersTheThreeVendorAttributes) {
    pcsc.attributes[reader::kAttrVendorName] = Bytes{'Q', 'o', 'r', 'v', 0, 'z'};
    pcsc.attributes[reader::kAttrVendorIfdType] = Bytes{'P', 'a', 'd', 0xE9};
    pcsc.attributes[reader::kAttrVendorIfdVersion] = Bytes{0x03, 0x00, 0x02, 0x01};
    pcsc.attributes[0x10103] = Bytes{'S', 'N', '1'};  // the serial number exists
    ConnectTheCard();
    EXPECT_EQ(Call("GetReaderStatus", {0}), ScriptValue(std::u16string(u"Qorv")));
    EXPECT_EQ(Call("GetReaderStatus", {1}), ScriptValue(std::u16string(u"Pad\u00e9")));
    EXPECT_EQ(Call("GetReaderStatus", {2}), ScriptValue(std::u16string(u"01.02.0003")));
    EXPECT_EQ(Call("GetReaderStatus", {3}), ScriptValue(nullptr));
    EXPECT_EQ(Call("GetReaderStatus", {-1}), ScriptValue(nullptr));
    EXPECT_EQ(pcsc.Count("getattrib"), 3);
}

TEST_F(ModuleInfoTest, ReaderStatusFailuresAreNullStrings) {
    EXPECT_EQ(Call("GetReaderStatus", {0}), ScriptValue(nullptr));  // before ConnectReader
    EXPECT_EQ(pcsc.Count("getattrib"), 0);
    ConnectTheCard();
    // The virtual reader supports none of the vendor attributes.
    EXPECT_EQ(Call("GetReaderStatus", {2}), ScriptValue(nullptr));
    // A version attribute too short to hold a version.
    pcsc.attributes[reader::kAttrVendorIfdVersion] = Bytes{0x03, 0x00};
    EXPECT_EQ(Call("GetReaderStatus", {2}), ScriptValue(nullptr));
    pcsc.attributes[reader::kAttrVendorName] = Bytes{'Q'};
    ASSERT_EQ(Call("DisconnectCard"), ScriptValue(0));
    EXPECT_EQ(Call("GetReaderStatus", {0}), ScriptValue(nullptr));  // no card handle
}

TEST_F(ModuleInfoTest, WinscardPropertiesAreEmptyStringsUntilListed) {
    const ScriptValue empty = std::u16string();
    EXPECT_EQ(Call("GetWinscardProperty", {1}), empty);
    // The scripted library has no file, so the items stay empty.
    EXPECT_EQ(Call("ListWinscardInfo"), ScriptValue(0));
    for (const int32_t item : {0, 1, 2, 3, -1}) {
        EXPECT_EQ(Call("GetWinscardProperty", {item}), empty) << item;
    }
}

TEST(HostModuleInfo, RealHostReportsVersionAndThePcscLibrary) {
    testing::HostProcess host({"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm"});
    EXPECT_EQ(host.Call("GetAPIVersion"), "Version 1.0.1.3 ");
    EXPECT_EQ(host.Call("GetWinscardProperty", {1}), "");
    EXPECT_EQ(host.Call("ListWinscardInfo"), 0);
    const std::string library = reader::ResolveLibraryFile("libpcsclite.so.1");
    const reader::LibraryInfo expected = reader::DescribePcscLibrary(library);
    EXPECT_EQ(host.Call("GetWinscardProperty", {0}), expected.fileVersion);
    EXPECT_EQ(host.Call("GetWinscardProperty", {1}), expected.companyName);
    EXPECT_EQ(host.Call("GetWinscardProperty", {2}), expected.fileDescription);
    if (!library.empty()) {
        EXPECT_EQ(host.Call("GetWinscardProperty", {1}), "pcsc-lite");
    }
    EXPECT_EQ(host.Call("GetWinscardProperty", {7}), "");
    EXPECT_EQ(host.CloseAndWait(), 0);
}

}  // namespace
}  // namespace qorv::control
