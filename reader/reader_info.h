// Reader and driver information: one PC/SC attribute of a connected reader,
// and what the system knows of the PC/SC client library file. Neither
// changes any card or session state.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/reader_session.h"

namespace qorv::reader {

inline constexpr PcscDword kAttrVendorName = 0x10100;
inline constexpr PcscDword kAttrVendorIfdType = 0x10101;
inline constexpr PcscDword kAttrVendorIfdVersion = 0x10102;

// Attributes are read into a buffer of this size; pcsc-lite refuses buffers
// larger than its 264-byte message limit, so this stays well below it.
inline constexpr std::size_t kAttributeBufferBytes = 128;

// Reads one attribute of the card held in `slot`. Returns 0 with the bytes the
// reader returned, result::kNoSession without a context, result::kFailed without the
// library or a card handle, or the PC/SC error.
int32_t ReadSlotAttribute(ReaderSession& session, int32_t slot, PcscDword attribute,
                          std::vector<uint8_t>& bytes);

// The IFD version attribute as major.minor.build ("01.02.0003"): its first
// four bytes as a little-endian number. Nothing when the reader returned
// fewer than four bytes.
std::optional<std::string> FormatIfdVersion(std::span<const uint8_t> attribute);

// The attribute's bytes up to the first zero byte.
std::string AttributeText(std::span<const uint8_t> attribute);

// pcsc-lite ships no version resource. These three items stand in for the
// file version, company name and file description that the page asks for.
struct LibraryInfo {
    std::string fileVersion;
    std::string companyName;
    std::string fileDescription;
};

// The library that `libraryName` (as the binding opens it, e.g.
// "libpcsclite.so.1") resolves to, with links followed; empty when the
// dynamic loader cannot find it.
std::string ResolveLibraryFile(const char* libraryName);

// The version in a shared library's file name: "1.0.0" for
// ".../libpcsclite.so.1.0.0"; empty when the name carries none.
std::string VersionFromLibraryFileName(std::string_view path);

// The three items for a resolved library file; all empty for an empty path.
LibraryInfo DescribePcscLibrary(std::string_view resolvedPath);

}  // namespace qorv::reader
