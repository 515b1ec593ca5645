// The one message-box recorder of the tests: every message the dialog logic
// shows, in order, with its caption; `onShow` runs inside the box (a test
// looks at the dialog while the box is up).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/message_sink.h"

namespace qorv::testing {

class RecordedMessages final : public dialogs::MessageSink {
  public:
    using MessageSink::ShowMessage;
    void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
        messages.emplace_back(text);
        captions.emplace_back(caption);
        if (onShow) onShow();
    }

    std::vector<std::u16string> messages;
    std::vector<std::u16string> captions;
    std::function<void()> onShow;
};

}  // namespace qorv::testing
