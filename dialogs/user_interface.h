// What the engine asks of the person in front of the screen: message boxes,
// the wait cursor and the secure dialogs. The core reaches them only
// through this interface, so it runs headless and tests can script the
// answers; the Qt views implement it for real use.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qorv::dialogs {

class ConfirmationDialog;     // dialogs/confirmation_dialog.h
class TransferAccountDialog;  // dialogs/transfer_account_dialog.h
class MultiFieldDialog;       // dialogs/multi_field_dialog.h

// Outcomes of a modal dialog.
inline constexpr int kDialogOk = 1;
inline constexpr int kDialogCancelled = 2;

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // One OK button; returns when the person closed it, or when the page
    // went away (InputEnded) while it was shown.
    virtual void ShowMessage(const std::u16string& text, const std::u16string& caption) = 0;
    // The wait cursor while `waiting`, the normal arrow otherwise. Flat, not
    // counted: a second true changes nothing, one false restores.
    virtual void SetWaitCursor(bool waiting) = 0;

    // The page that drives this process went away: an open dialog or message
    // box ends as cancelled and every later one is cancelled at once. Safe to
    // call from any thread, any number of times.
    virtual void InputEnded() { inputEnded_.store(true); }
    // The secure dialogs. Each takes dialog logic that is ready to be shown
    // (its checks before showing are done), shows it, drives its ticks until
    // it ends and returns its outcome (kDialogOk, kDialogCancelled or a
    // dialog's own). Without a person to ask, a dialog ends as cancelled.
    virtual int RunConfirmation(ConfirmationDialog& /*dialog*/) { return kDialogCancelled; }
    virtual int RunTransferAccount(TransferAccountDialog& /*dialog*/) { return kDialogCancelled; }
    virtual int RunMultiField(MultiFieldDialog& /*dialog*/) { return kDialogCancelled; }

    // Between requests, until `arrived` returns true: keeps the windows' side
    // of the process answering. Once a display was opened, assistive
    // technology keeps asking the process questions with no window open, and
    // a process that never reads them stalls the screen reader. WakeIdle,
    // safe from any thread, makes Idle ask `arrived` again. Without windows
    // there is nothing to answer: Idle returns at once and the caller waits
    // on its own.
    virtual void Idle(const std::function<bool()>& /*arrived*/) {}
    virtual void WakeIdle() {}
    // A serving host reads its requests on the thread that serves them
    // until a window may be shown; from then on it must learn of the input's
    // end while a window is up. A user interface that knows when its first
    // window comes keeps `watch`, runs it once just before, and says true;
    // otherwise false, and the caller watches from the start. An empty
    // `watch` takes back the one kept.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): an overrider keeps it
    virtual bool WatchInputBeforeFirstWindow(std::function<void()> /*watch*/) { return false; }

    // True once InputEnded was called: a method that just showed a message
    // box learns that nobody read it.
    bool PersonGone() const { return inputEnded_.load(); }

#ifdef QORV_TEST_HOOKS
    // A plain form for tests of the modal machinery itself (showing,
    // driving, the page going away) apart from any dialog's logic: an edit
    // "1001", a list "1002" holding `items`, OK "1" and Cancel "2". Returns the outcome; `text` and
    // `chosen` what was entered.
    virtual int RunTestForm(const std::vector<std::u16string>& /*items*/, std::u16string& /*text*/,
                            int& /*chosen*/) {
        return kDialogCancelled;
    }
#endif

  private:
    std::atomic<bool> inputEnded_{false};
};

// The wait cursor for one scope: set on construction, the normal arrow on
// every way out of the scope.
class [[nodiscard]] WaitCursorGuard {
  public:
    explicit WaitCursorGuard(UserInterface& ui) : ui_(ui) { ui_.SetWaitCursor(true); }
    ~WaitCursorGuard() { ui_.SetWaitCursor(false); }
    WaitCursorGuard(const WaitCursorGuard&) = delete;
    WaitCursorGuard& operator=(const WaitCursorGuard&) = delete;

  private:
    UserInterface& ui_;
};

// Used where no display is available: messages go to standard error, and a
// dialog that needs a person ends as cancelled at once, saying why there.
class HeadlessUserInterface final : public UserInterface {
  public:
    explicit HeadlessUserInterface(std::string why = "no display") : why_(std::move(why)) {}
    void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
    void SetWaitCursor(bool) override {}
    int RunConfirmation(ConfirmationDialog&) override {
        return CancelWithoutPerson("confirmation dialog");
    }
    int RunTransferAccount(TransferAccountDialog&) override {
        return CancelWithoutPerson("transfer account dialog");
    }
    int RunMultiField(MultiFieldDialog&) override { return CancelWithoutPerson("entry dialog"); }
    // Writes the line that says why `dialog` did not open; returns kDialogCancelled.
    int CancelWithoutPerson(const char* dialog) const;
    const std::string& why() const { return why_; }

#ifdef QORV_TEST_HOOKS
    int RunTestForm(const std::vector<std::u16string>&, std::u16string&, int&) override {
        return CancelWithoutPerson("test form");
    }
#endif

  private:
    std::string why_;
};

// The caption of every message box of the system.
inline constexpr char16_t kMessageCaption[] = u"Qorv銀行";

}  // namespace qorv::dialogs
