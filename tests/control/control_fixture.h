// A control on a scripted PC/SC, called the way the host calls it.
#pragma once

#include <gtest/gtest.h>

#include "control/invoke.h"
#include "control/qorv_client_atm_ctrl.h"
#include "support/fake_pcsc.h"
#include "support/recording_user_interface.h"

namespace qorv::testing {

class ControlTest : public ::testing::Test {
  protected:
    ScriptValue Call(const std::string& method, std::vector<ScriptValue> args = {}) {
        const control::InvokeResult result = control::InvokeByName(ctrl, method, args);
        EXPECT_EQ(result.hresult, 0) << method << ": " << result.message;
        return result.value;
    }
    int32_t Long(const std::string& method, std::vector<ScriptValue> args = {}) {
        const auto value = Call(method, std::move(args));
        EXPECT_TRUE(std::holds_alternative<int32_t>(value)) << method;
        return std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : -999;
    }

    FakePcsc pcsc;
    RecordingPauser pauser;
    RecordingUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    control::CQorvClientATMCtrl ctrl{session, ui};
};

inline ScriptValue Text(const char16_t* text) {
    return std::u16string(text);
}
inline const ScriptValue kNull = nullptr;

}  // namespace qorv::testing
