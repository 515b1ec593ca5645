#include "reader/reader_info.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include "support/fake_pcsc.h"

namespace qorv::reader {
namespace {

using testing::Bytes;
using testing::FakePcsc;
using testing::RecordingPauser;

constexpr const char* kReader = "Virtual PCD 00 00";

class ReaderAttributeTest : public ::testing::Test {
  protected:
    void SetUp() override { pcsc.AddReader(kReader); }

    int32_t Connect() {
        Atr atr;
        int32_t slot = -1;
        const int32_t rc =
            session.ConnectByName(u"Virtual PCD 00 00", kShareTypeExclusive, slot, atr);
        connectedSlot = slot;
        return rc;
    }

    FakePcsc pcsc;
    RecordingPauser pauser;
    ReaderSession session{pcsc, pauser};
    int32_t connectedSlot = -1;
    std::vector<uint8_t> bytes;
};

TEST(IfdVersion, PrintsMajorMinorBuildFromTheLittleEndianNumber) {
    EXPECT_EQ(FormatIfdVersion(Bytes{0x03, 0x00, 0x02, 0x01}), "01.02.0003");
    EXPECT_EQ(FormatIfdVersion(Bytes{0x01, 0xEF, 0xCD, 0xAB, 0x99}), "ab.cd.ef01");
    EXPECT_EQ(FormatIfdVersion(Bytes{0, 0, 0, 0}), "00.00.0000");
    // Fewer than four bytes is no version; nothing past them is read.
    EXPECT_EQ(FormatIfdVersion(Bytes{0x03, 0x00, 0x02}), std::nullopt);
    EXPECT_EQ(FormatIfdVersion(Bytes{}), std::nullopt);
}

TEST(AttributeText, EndsAtTheFirstZeroByteOrTheReturnedLength) {
    EXPECT_EQ(AttributeText(Bytes{'A', 'C', 'S', 0, 'x'}), "ACS");
    EXPECT_EQ(AttributeText(Bytes{'A', 'C', 'S'}), "ACS");
    EXPECT_EQ(AttributeText(Bytes{0, 'A'}), "");
}

TEST_F(ReaderAttributeTest, NothingIsAskedWithoutASessionOrACardHandle) {
    EXPECT_EQ(ReadSlotAttribute(session, 0, kAttrVendorName, bytes), result::kNoSession);
    ASSERT_EQ(session.OpenSession(), 0);
    // Context, but no card connected in the slot.
    EXPECT_EQ(ReadSlotAttribute(session, 0, kAttrVendorName, bytes), result::kFailed);
    EXPECT_EQ(ReadSlotAttribute(session, -1, kAttrVendorName, bytes), result::kFailed);
    EXPECT_EQ(ReadSlotAttribute(session, 16, kAttrVendorName, bytes), result::kFailed);
    EXPECT_EQ(pcsc.Count("getattrib"), 0);
}

TEST_F(ReaderAttributeTest, ReadsTheAttributeOfTheConnectedSlot) {
    pcsc.attributes[kAttrVendorName] = Bytes{'V', 'i', 'r', 't', 0};
    ASSERT_EQ(session.OpenSession(), 0);
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(ReadSlotAttribute(session, connectedSlot, kAttrVendorName, bytes), 0);
    EXPECT_EQ(bytes, (Bytes{'V', 'i', 'r', 't', 0}));
    ASSERT_EQ(pcsc.Count("getattrib"), 1);
    EXPECT_EQ(pcsc.calls().back().mode, kAttrVendorName);
    EXPECT_EQ(pcsc.calls().back().handle, *session.slotHandle(connectedSlot));
}

TEST_F(ReaderAttributeTest, PcscErrorsPassThrough) {
    ASSERT_EQ(session.OpenSession(), 0);
    ASSERT_EQ(Connect(), 0);
    // vpcd answers every vendor attribute like this.
    EXPECT_EQ(ReadSlotAttribute(session, connectedSlot, kAttrVendorIfdVersion, bytes),
              pcsc::kUnsupportedFeature);
    pcsc.attributes[kAttrVendorName] = Bytes{'A'};
    pcsc.Force("getattrib", pcsc::kRemovedCard);
    EXPECT_EQ(ReadSlotAttribute(session, connectedSlot, kAttrVendorName, bytes),
              pcsc::kRemovedCard);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(ReaderAttributeTest, BufferIsHeldTo128Bytes) {
    ASSERT_EQ(session.OpenSession(), 0);
    ASSERT_EQ(Connect(), 0);
    pcsc.attributes[kAttrVendorName] = Bytes(128, 'x');
    ASSERT_EQ(ReadSlotAttribute(session, connectedSlot, kAttrVendorName, bytes), 0);
    EXPECT_EQ(bytes.size(), 128u);
    pcsc.attributes[kAttrVendorName] = Bytes(129, 'x');
    EXPECT_EQ(ReadSlotAttribute(session, connectedSlot, kAttrVendorName, bytes),
              pcsc::kInsufficientBuffer);
}

TEST(PcscLibraryInfo, VersionComesFromTheLibraryFileName) {
    EXPECT_EQ(VersionFromLibraryFileName("/usr/lib/x86_64-linux-gnu/libpcsclite.so.1.0.0"),
              "1.0.0");
    EXPECT_EQ(VersionFromLibraryFileName("libpcsclite.so.1"), "1");
    EXPECT_EQ(VersionFromLibraryFileName("/opt/lib/libpcsclite.so"), "");
    EXPECT_EQ(VersionFromLibraryFileName("/odd.so.9/libpcsclite.so"), "");

    const LibraryInfo info = DescribePcscLibrary("/usr/lib/x86_64-linux-gnu/libpcsclite.so.1.0.0");
    EXPECT_EQ(info.fileVersion, "1.0.0");
    EXPECT_EQ(info.companyName, "pcsc-lite");
    EXPECT_NE(info.fileDescription.find("libpcsclite.so.1.0.0"), std::string::npos);

    const LibraryInfo none = DescribePcscLibrary("");
    EXPECT_EQ(none.fileVersion + none.companyName + none.fileDescription, "");
}

TEST(PcscLibraryInfo, ResolvesTheInstalledLibraryThroughItsLinks) {
    EXPECT_EQ(ResolveLibraryFile("libqorv-no-such-library.so.7"), "");
    const std::string resolved = ResolveLibraryFile("libpcsclite.so.1");
    if (resolved.empty()) GTEST_SKIP() << "libpcsclite.so.1 is not installed";
    EXPECT_EQ(resolved.front(), '/');
    char* real = realpath(resolved.c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(resolved, real);  // links followed
    free(real);
    EXPECT_NE(resolved.find("libpcsclite.so."), std::string::npos);
}

}  // namespace
}  // namespace qorv::reader
