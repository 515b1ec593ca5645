#include "reader/reader_info.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>

#include <array>
#include <cstdio>

namespace qorv::reader {
namespace {

// The part of a path after its last slash.
std::string_view FileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

int32_t ReadSlotAttribute(ReaderSession& session, int32_t slot, PcscDword attribute,
                          std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!session.contextEstablished()) return result::kNoSession;
    if (session.LoadBinding() != 0) return result::kFailed;
    const std::optional<PcscHandle> handle = session.slotHandle(slot);
    if (!handle) return result::kFailed;

    std::array<uint8_t, kAttributeBufferBytes> buffer{};
    PcscDword length = buffer.size();
    const int32_t rc =
        ToResult(session.api()->getAttrib(*handle, attribute, buffer.data(), &length));
    if (rc != pcsc::kSuccess) return rc;
    // A library that claims more than it was given is not trusted further.
    if (length > buffer.size()) return pcsc::kInsufficientBuffer;
    bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    return 0;
}

std::optional<std::string> FormatIfdVersion(std::span<const uint8_t> attribute) {
    if (attribute.size() < 4) return std::nullopt;
    const uint32_t value =
        static_cast<uint32_t>(attribute[0]) | static_cast<uint32_t>(attribute[1]) << 8 |
        static_cast<uint32_t>(attribute[2]) << 16 | static_cast<uint32_t>(attribute[3]) << 24;
    std::array<char, 9> digits{};
    std::snprintf(digits.data(), digits.size(), "%08x", value);
    const std::string_view hex(digits.data(), 8);
    std::string text;
    text.append(hex.substr(0, 2)).append(".").append(hex.substr(2, 2)).append(".");
    text.append(hex.substr(4, 4));
    return text;
}

std::string AttributeText(std::span<const uint8_t> attribute) {
    std::string text;
    for (const uint8_t byte : attribute) {
        if (byte == 0) break;
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

std::string ResolveLibraryFile(const char* libraryName) {
    // dlopen only counts a reference when the binding has the library loaded
    // already, and loads it briefly otherwise; pcsc-lite does nothing on load.
    void* module = dlopen(libraryName, RTLD_LAZY | RTLD_LOCAL);
    if (module == nullptr) return {};
    std::string path;
    struct link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
        std::array<char, PATH_MAX> resolved{};
        if (realpath(map->l_name, resolved.data()) != nullptr) path = resolved.data();
    }
    dlclose(module);
    return path;
}

std::string VersionFromLibraryFileName(std::string_view path) {
    const std::string_view file = FileName(path);
    const std::size_t so = file.find(".so.");
    if (so == std::string_view::npos) return {};
    return std::string(file.substr(so + 4));
}

LibraryInfo DescribePcscLibrary(std::string_view resolvedPath) {
    if (resolvedPath.empty()) return {};
    LibraryInfo info;
    info.fileVersion = VersionFromLibraryFileName(resolvedPath);
    info.companyName = "pcsc-lite";
    info.fileDescription =
        "PC/SC smart card client library (" + std::string(FileName(resolvedPath)) + ")";
    return info;
}

}  // namespace qorv::reader
