// The module's version as GetAPIVersion reports it. The file version is
// written either with dots ("1.0.1.3") or, as version resources often have
// it, with commas and blanks ("1, 0, 1, 3"); both give "1.0.1.3".
#pragma once

#include <string>
#include <string_view>

namespace qorv::control {

// Trims the value, splits it at "," when it holds a comma, else at "." when
// it holds a dot, trims every part and joins the parts with ".". A value with
// neither separator gives an empty version.
std::string NormaliseFileVersion(std::string_view fileVersion);

// "Version " + the normalised version + " ": the trailing blank is part of
// the text pages have always received.
std::string VersionText(std::string_view fileVersion);

// The version text of this build, computed once per process.
const std::u16string& ModuleVersionText();

}  // namespace qorv::control
