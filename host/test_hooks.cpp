#include "host/test_hooks.h"

#include <nlohmann/json.hpp>

#include "base/utf16.h"
#include "dialogs/confirmation_dialog.h"
#include "dialogs/message_sink.h"
#include "procedures/confirmation_runner.h"

namespace qorv::host {

bool HandleTestHook(dialogs::UserInterface& ui, std::string_view request, std::string& reply) {
#ifndef QORV_TEST_HOOKS
    (void)ui;
    (void)request;
    (void)reply;
    return false;
#else
    using nlohmann::json;
    if (request.find("\"testHook\"") == std::string_view::npos) return false;
    const json parsed = json::parse(request.begin(), request.end(), nullptr, false);
    if (!parsed.is_object() || !parsed.contains("testHook")) return false;
    const json id = parsed.value("id", json(nullptr));
    const std::string hook =
        parsed["testHook"].is_string() ? parsed["testHook"].get<std::string>() : "";
    std::vector<std::u16string> params;
    if (parsed.contains("params") && parsed["params"].is_array()) {
        for (const auto& param : parsed["params"]) {
            params.push_back(param.is_string() ? Utf8ToUtf16(param.get<std::string>()) : u"");
        }
    }
    json result;
    if (hook == "ShowMessage") {
        ui.ShowMessage(params.empty() ? u"" : params[0],
                       params.size() > 1 ? params[1] : std::u16string(dialogs::kMessageCaption));
        result = 0;
    } else if (hook == "RunTestForm") {
        std::u16string text;
        int chosen = -1;
        const int outcome = ui.RunTestForm(params, text, chosen);
        result = {{"outcome", outcome}, {"text", Utf16ToUtf8(text)}, {"chosen", chosen}};
    } else if (hook == "RunConfirmation") {
        // The confirmation dialog with the summary given, over a card that
        // stays in the reader: a window test's way to the real dialog
        // without a card.
        struct CardStaysIn final : dialogs::CardPresenceProbe {
            dialogs::CardPresence Poll() override { return dialogs::CardPresence::Present; }
        } probe;
        dialogs::UserInterfaceMessageSink messages(ui);
        dialogs::ConfirmationRequest request;
        request.message = params.empty() ? u"" : params[0];
        dialogs::ConfirmationDialog dialog(std::move(request), probe, messages);
        const auto ended = dialog.Open();
        result = procedures::ConfirmationResult(ended ? *ended : ui.RunConfirmation(dialog));
    } else {
        reply = json({{"id", id}, {"error", {{"message", "unknown test hook"}}}}).dump();
        return true;
    }
    reply = json({{"id", id}, {"result", result}}).dump();
    return true;
#endif
}

}  // namespace qorv::host
