// The host's choice between the dialog module and standard error, made the
// first time a window is needed.
#include "host/host_user_interface.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qorv::host {
namespace {

#ifdef QORV_TEST_HOOKS

// The display variables of this process for one test.
class DisplayVariables {
  public:
    DisplayVariables(const char* display, const char* wayland) {
        Set("DISPLAY", display);
        Set("WAYLAND_DISPLAY", wayland);
        Set("QT_QPA_PLATFORM", "");
    }
    ~DisplayVariables() {
        for (const auto& [name, value] : saved_) {
            if (value.has_value()) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

  private:
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name, value, 1);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::string FormCancelledBecause(HostUserInterface& ui) {
    std::u16string text;
    int chosen = 0;
    ::testing::internal::CaptureStderr();
    const int outcome = ui.RunTestForm({u"a"}, text, chosen);
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(outcome, dialogs::kDialogCancelled);
    return said;
}

TEST(HostUserInterface, SaysWhyNoWindowCanBeShown) {
    {
        const DisplayVariables none("", "");
        HostUserInterface ui("/nonexistent/libqorv_dialogs_qt.so", "");
        EXPECT_EQ(FormCancelledBecause(ui),
                  "qorvclientatm-host: test form cancelled: no display (DISPLAY and "
                  "WAYLAND_DISPLAY are not set)\n");
        // Decided once: the second window is told the same.
        EXPECT_NE(FormCancelledBecause(ui).find("no display"), std::string::npos);
    }
    {
        const DisplayVariables x(":0", "");
        HostUserInterface ui("/nonexistent/libqorv_dialogs_qt.so", "");
        EXPECT_NE(FormCancelledBecause(ui).find("the dialog module cannot be loaded: "
                                                "/nonexistent/libqorv_dialogs_qt.so"),
                  std::string::npos);
    }
    {
        // The page went away before any window: Qt is not even loaded.
        const DisplayVariables x(":0", "");
        HostUserInterface ui("/nonexistent/libqorv_dialogs_qt.so", "");
        ui.InputEnded();
        EXPECT_TRUE(ui.PersonGone());
        EXPECT_EQ(FormCancelledBecause(ui),
                  "qorvclientatm-host: test form cancelled: the page went away\n");
    }
}

TEST(HostUserInterface, MessagesWithoutADisplayGoToStandardErrorWithTheirCaption) {
    const DisplayVariables none("", "");
    HostUserInterface ui("/nonexistent/libqorv_dialogs_qt.so", "");
    int watched = 0;
    EXPECT_TRUE(ui.WatchInputBeforeFirstWindow([&] { ++watched; }));
    ui.SetWaitCursor(true);  // no window, nothing loaded: nothing to do
    EXPECT_EQ(watched, 0);
    ::testing::internal::CaptureStderr();
    ui.ShowMessage(u"超過允許插拔時間,取消交易", dialogs::kMessageCaption);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Qorv銀行] 超過允許插拔時間,取消交易\n");
    ui.SetWaitCursor(false);
    // The serving loop watches its input from the first window on, once.
    EXPECT_EQ(watched, 1);
    ::testing::internal::CaptureStderr();
    ui.ShowMessage(u"again", dialogs::kMessageCaption);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(watched, 1);
}

#endif  // QORV_TEST_HOOKS

}  // namespace
}  // namespace qorv::host
