// What the engine asks of the person in front of the screen: message boxes,
// the wait cursor and, later, the secure dialogs. The core reaches them only
// through this interface, so it runs headless and tests can script the
// answers; the Qt views implement it for real use.
#pragma once

#include <string>

namespace qorv::dialogs {

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // One OK button; returns when the person closed it.
    virtual void ShowMessage(const std::u16string& text, const std::u16string& caption) = 0;
    virtual void SetWaitCursor(bool waiting) = 0;
};

// Used where no display is available: messages go to standard error.
class HeadlessUserInterface final : public UserInterface {
  public:
    void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
    void SetWaitCursor(bool) override {}
};

// The caption of every message box of the system.
inline constexpr char16_t kMessageCaption[] = u"Qorv銀行";

}  // namespace qorv::dialogs
