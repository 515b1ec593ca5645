// Where the build put the card program and where its profiles are (absolute
// paths fixed at configure time).
#pragma once

#include <string>
#include <string_view>

namespace qorv::testbed {

std::string CardsimPath();
std::string ProfileFolder();
// A profile of tools/cardsim/profiles by name, e.g. ProfilePath("pin-6620").
std::string ProfilePath(std::string_view name);
std::string DefaultProfilePath();

}  // namespace qorv::testbed
