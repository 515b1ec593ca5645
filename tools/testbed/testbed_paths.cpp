#include "tools/testbed/testbed_paths.h"

namespace qorv::testbed {

std::string CardsimPath() {
    return QORV_CARDSIM_PATH;
}

std::string ProfileFolder() {
    return QORV_CARDSIM_PROFILE_DIR;
}

std::string ProfilePath(std::string_view name) {
    return ProfileFolder() + "/" + std::string(name) + ".json";
}

std::string DefaultProfilePath() {
    return ProfilePath("default");
}

}  // namespace qorv::testbed
