#include "host/host_user_interface.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "widgets/dialog_module.h"

namespace qorv::host {
namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Whether a display is worth asking the module about at all; without one the
// host stays headless and Qt is never loaded.
bool DisplayNamed() {
#ifdef QORV_TEST_HOOKS
    // Test builds may run the real widgets on Qt's offscreen platform.
    if (const char* platform = std::getenv("QT_QPA_PLATFORM");
        platform != nullptr && std::strcmp(platform, "offscreen") == 0) {
        return true;
    }
#endif
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

std::string ExecutableFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string folder(path, static_cast<std::size_t>(length));
    const auto slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

}  // namespace

HostUserInterface::HostUserInterface(std::string modulePath, std::string scriptedPerson)
    : modulePath_(std::move(modulePath)), scriptedPerson_(std::move(scriptedPerson)) {}

HostUserInterface::~HostUserInterface() {
    std::lock_guard lock(mutex_);
    module_.reset();  // the module itself stays loaded: Qt is not made to be unloaded
}

dialogs::UserInterface& HostUserInterface::Active() {
    // Not under the lock: a watch that finds the input ended tells
    // InputEnded, which takes it.
    if (watchInput_) std::exchange(watchInput_, nullptr)();
    std::lock_guard lock(mutex_);
    if (module_) return *module_;
    if (headless_) return *headless_;
    std::string why;
    if (PersonGone()) {
        // Nobody is left to see a window: Qt is not worth loading for it.
        why = "the page went away";
    } else if (!DisplayNamed()) {
        why = "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
    } else if (void* library = dlopen(modulePath_.c_str(), RTLD_NOW | RTLD_LOCAL);
               library == nullptr) {
        const char* error = dlerror();
        why = std::string("the dialog module cannot be loaded: ") + (error ? error : "?");
    } else if (auto open = reinterpret_cast<widgets::OpenDialogModuleFn>(
                   dlsym(library, widgets::kDialogModuleEntryName));
               open == nullptr) {
        why = "the dialog module has no entry point";
    } else {
        widgets::DialogModuleOptions options;
        options.scriptedPersonPath = scriptedPerson_.empty() ? nullptr : scriptedPerson_.c_str();
        char reason[512] = {};
        module_.reset(open(&options, reason, sizeof reason));
        if (module_) {
            if (PersonGone()) module_->InputEnded();
            return *module_;
        }
        why = reason;
    }
    headless_ = std::make_unique<dialogs::HeadlessUserInterface>(why);
    if (PersonGone()) headless_->InputEnded();
    return *headless_;
}

void HostUserInterface::ShowMessage(const std::u16string& text, const std::u16string& caption) {
    Active().ShowMessage(text, caption);
}

void HostUserInterface::SetWaitCursor(bool waiting) {
    // The wait cursor shows over the host's own windows only, so it is no
    // reason to load the module; once loaded, the module keeps it.
    std::lock_guard lock(mutex_);
    if (module_) module_->SetWaitCursor(waiting);
}

void HostUserInterface::InputEnded() {
    UserInterface::InputEnded();
    std::lock_guard lock(mutex_);
    if (module_) module_->InputEnded();
    if (headless_) headless_->InputEnded();
}

void HostUserInterface::Idle(const std::function<bool()>& arrived) {
    dialogs::UserInterface* module = nullptr;
    {
        std::lock_guard lock(mutex_);
        module = module_.get();
    }
    // Not under the lock: WakeIdle and InputEnded take it from the reader.
    // The module goes only with this object, on this thread.
    if (module != nullptr) module->Idle(arrived);
}

void HostUserInterface::WakeIdle() {
    std::lock_guard lock(mutex_);
    if (module_) module_->WakeIdle();
}

bool HostUserInterface::WatchInputBeforeFirstWindow(std::function<void()> watch) {
    watchInput_ = std::move(watch);
    return true;
}

int HostUserInterface::RunConfirmation(dialogs::ConfirmationDialog& dialog) {
    return Active().RunConfirmation(dialog);
}

int HostUserInterface::RunTransferAccount(dialogs::TransferAccountDialog& dialog) {
    return Active().RunTransferAccount(dialog);
}

int HostUserInterface::RunMultiField(dialogs::MultiFieldDialog& dialog) {
    return Active().RunMultiField(dialog);
}

#ifdef QORV_TEST_HOOKS
int HostUserInterface::RunTestForm(const std::vector<std::u16string>& items, std::u16string& text,
                                   int& chosen) {
    return Active().RunTestForm(items, text, chosen);
}
#endif

std::unique_ptr<dialogs::UserInterface> PickUserInterface() {
    std::string module = ExecutableFolder() + "/" + widgets::kDialogModuleFileName;
    if (access(module.c_str(), R_OK) != 0) module = QORV_DIALOG_MODULE_INSTALL_PATH;
    std::string person;
#ifdef QORV_TEST_HOOKS
    if (const char* script = std::getenv("QORV_SCRIPTED_PERSON")) person = script;
#endif
    return std::make_unique<HostUserInterface>(module, person);
}

}  // namespace qorv::host
