// Requests that only builds with test hooks answer: they reach the user
// interface directly, so tests can open a message box or a form through the
// real host before any method shows one. Release and package builds compile
// none of this, so a page can never reach it.
//   {"id": 3, "testHook": "ShowMessage", "params": ["text", "caption"]}  -> {"id": 3, "result": 0}
//   {"id": 4, "testHook": "RunTestForm", "params": ["item", ...]}
//       -> {"id": 4, "result": {"outcome": 1, "text": "...", "chosen": 0}}
//   {"id": 5, "testHook": "RunConfirmation", "params": ["<MSG><Tag1>...</Tag1></MSG>"]}
//       -> {"id": 5, "result": 20756}   (the confirmation dialog, the card staying in)
#pragma once

#include <string>
#include <string_view>

#include "dialogs/user_interface.h"

namespace qorv::host {

// False when `request` is no test-hook request (it then goes to the control).
bool HandleTestHook(dialogs::UserInterface& ui, std::string_view request, std::string& reply);

}  // namespace qorv::host
