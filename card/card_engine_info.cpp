// The reader and driver information operations of the engine.
#include <algorithm>

#include "base/utf16.h"
#include "card/card_engine.h"
#include "reader/reader_info.h"

namespace qorv::card {
namespace {

// The control keeps each library item in a 128-unit buffer, terminator included.
constexpr std::size_t kLibraryItemUnits = 127;

constexpr std::array<reader::PcscDword, 3> kAttributes{
    reader::kAttrVendorName, reader::kAttrVendorIfdType, reader::kAttrVendorIfdVersion};

std::u16string LibraryItem(const std::string& value) {
    std::u16string text = Utf8ToUtf16(value);
    if (text.size() > kLibraryItemUnits) text.resize(kLibraryItemUnits);
    return text;
}

}  // namespace

int32_t CCardEngine::ReaderStatus(int32_t readerIndex, int32_t attribId, std::u16string& text) {
    text.clear();
    if (attribId < 0 || attribId >= static_cast<int32_t>(kAttributes.size())) {
        return result::kFailed;
    }
    const reader::PcscDword attribute = kAttributes[static_cast<std::size_t>(attribId)];
    std::vector<uint8_t> bytes;
    const int32_t rc = reader::ReadSlotAttribute(session_, readerIndex, attribute, bytes);
    if (rc != 0) return rc;
    std::string value;
    if (attribute == reader::kAttrVendorIfdVersion) {
        std::optional<std::string> version = reader::FormatIfdVersion(bytes);
        if (!version) return result::kFailed;
        value = std::move(*version);
    } else {
        value = reader::AttributeText(bytes);
    }
    text = dataProcess_.BytesToText({reinterpret_cast<const uint8_t*>(value.data()), value.size()});
    return 0;
}

std::array<std::u16string, 3> CCardEngine::PcscLibraryInfo() {
    const reader::LibraryInfo info =
        reader::DescribePcscLibrary(reader::ResolveLibraryFile(session_.provider().LibraryPath()));
    return {LibraryItem(info.fileVersion), LibraryItem(info.companyName),
            LibraryItem(info.fileDescription)};
}

}  // namespace qorv::card
