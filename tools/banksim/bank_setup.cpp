#include "tools/banksim/bank_setup.h"

namespace qorv::banksim {

std::string DefaultKeyFolder() {
    return QORV_BANKSIM_KEY_DIR;
}

std::string DefaultCardProfile() {
    return QORV_BANKSIM_CARD_PROFILE;
}

std::string DefaultDocumentFolder() {
    return QORV_BANKSIM_DOCUMENT_DIR;
}

std::unique_ptr<BankService> LoadBankService(const std::string& keyFolder,
                                             const std::string& cardProfile, std::string* error,
                                             const std::string& documentFolder) {
    auto keys = BankKeys::LoadFolder(keyFolder, error);
    if (!keys) return nullptr;
    std::optional<BankCard> card;
    if (!cardProfile.empty()) {
        cardsim::CardProfile profile;
        if (!cardsim::LoadCardProfile(cardProfile, &profile, error)) {
            *error = cardProfile + ": " + *error;
            return nullptr;
        }
        card = BankCardFromProfile(profile, error);
        if (!card) {
            *error = cardProfile + ": " + *error;
            return nullptr;
        }
    }
    return std::make_unique<BankService>(std::move(*keys), std::move(card), documentFolder);
}

}  // namespace qorv::banksim
