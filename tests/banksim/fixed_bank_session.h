// A bank session under a fixed key, shared by the bank simulator and the
// component (both use the development keys): the bank service holds the
// session as established, and the fixture keeps the key hash and the
// enciphered key that a page would pass the component for it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "base/utf16.h"
#include "tools/banksim/bank_keys.h"
#include "tools/banksim/bank_setup.h"
#include "tools/banksim/key_agreement.h"
#include "tools/banksim/openssl_primitives.h"

namespace qorv::banksim {

class FixedBankSession : public ::testing::Test {
  protected:
    static constexpr char kSessionKey[] = "00112233445566778899AABBCCDDEEFF";

    void SetUp() override {
        std::string error;
        auto keys = BankKeys::LoadFolder(DefaultKeyFolder(), &error);
        ASSERT_TRUE(keys) << error;
        const auto offer = OfferSessionKey(*keys, *FromHex(kSessionKey));
        ASSERT_TRUE(offer.ok()) << offer.error;
        encryptedKey_ = Utf8ToUtf16(offer.value->encryptedSessionKey);
        keyHash_ = Utf8ToUtf16(offer.value->sessionKeyHash);
        service_ = LoadBankService(DefaultKeyFolder(), "", &error);
        ASSERT_TRUE(service_) << error;
        const auto session = service_->RestoreSession(
            nlohmann::json{{"stage", "established"}, {"rn1", "01"}, {"sessionKey", kSessionKey}});
        ASSERT_TRUE(session);
        session_ = *session;
    }

    std::u16string encryptedKey_;
    std::u16string keyHash_;
    std::unique_ptr<BankService> service_;
    std::string session_;
};

}  // namespace qorv::banksim
