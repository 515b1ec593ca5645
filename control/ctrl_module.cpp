// Handlers of the module version and the reader and driver information.
#include "card/pin_pad_direct.h"
#include "control/module_version.h"
#include "control/qorv_client_atm_ctrl.h"

namespace qorv::control {

// The module keeps the version text for the whole process.
ScriptText CQorvClientATMCtrl::GetAPIVersion() const {
    return ModuleVersionText();
}

int32_t CQorvClientATMCtrl::ListWinscardInfo() {
    std::array<std::u16string, 3> items = engine_.PcscLibraryInfo();
    libraryFileVersion_ = std::move(items[0]);
    companyName_ = std::move(items[1]);
    fileDescription_ = std::move(items[2]);
    // Empty until a card is connected: only then does the reader say what it offers.
    pinPadPath_.clear();
    if (engine_.session().slotHandle(currentReaderIndex_)) {
        pinPadPath_ = card::PinPadPathName(engine_.session(), currentReaderIndex_);
    }
    return 0;
}

ScriptText CQorvClientATMCtrl::GetWinscardProperty(int32_t listNo) const {
    switch (listNo) {
        case 0:
            return libraryFileVersion_;
        case 1:
            return companyName_;
        case 2:
            return fileDescription_;
        case 3:
            return pinPadPath_;
        default:
            return std::u16string();
    }
}

ScriptText CQorvClientATMCtrl::GetReaderStatus(int32_t attribId) {
    std::u16string text;
    if (engine_.ReaderStatus(currentReaderIndex_, attribId, text) != 0) return std::nullopt;
    return text;
}

}  // namespace qorv::control
