// Where the bank simulator finds its keys and its card by default (fixed when
// the build is configured), and the loading of both into a service.
#pragma once

#include <memory>
#include <string>

#include "tools/banksim/bank_service.h"

namespace qorv::banksim {

// The deployment key folder the component's key store was built from.
std::string DefaultKeyFolder();
// The simulated card's default profile.
std::string DefaultCardProfile();
// The guided procedures' configuration documents (tools/banksim/documents).
std::string DefaultDocumentFolder();

// An empty `cardProfile` starts the service without a card. Nothing, with the
// reason in `error`, when the keys or the profile do not load.
std::unique_ptr<BankService> LoadBankService(
    const std::string& keyFolder, const std::string& cardProfile, std::string* error,
    const std::string& documentFolder = DefaultDocumentFolder());

}  // namespace qorv::banksim
