#include "control/module_version.h"

#include <vector>

#include "base/utf16.h"

#ifndef QORV_FILE_VERSION
#error "QORV_FILE_VERSION must be defined by the build"
#endif

namespace qorv::control {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string NormaliseFileVersion(std::string_view fileVersion) {
    const std::string_view value = Trim(fileVersion);
    char separator = 0;
    if (value.find(',') != std::string_view::npos) {
        separator = ',';
    } else if (value.find('.') != std::string_view::npos) {
        separator = '.';
    } else {
        return {};
    }
    std::string version;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = value.find(separator, start);
        const std::string_view part = value.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (start != 0) version.push_back('.');
        version.append(Trim(part));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return version;
}

std::string VersionText(std::string_view fileVersion) {
    return "Version " + NormaliseFileVersion(fileVersion) + " ";
}

const std::u16string& ModuleVersionText() {
    // The build's file version is this module's version resource.
    static const std::u16string text = Utf8ToUtf16(VersionText(QORV_FILE_VERSION));
    return text;
}

}  // namespace qorv::control
