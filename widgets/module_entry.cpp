// The dialog module's one exported function (see dialog_module.h).
#include <QFile>
#include <QLibraryInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <type_traits>

#include "widgets/dialog_module.h"
#include "widgets/display_probe.h"
#include "widgets/qt_user_interface.h"

namespace {

using namespace qorv::widgets;

void Tell(char* why, std::size_t whySize, const std::string& text) {
    if (why == nullptr || whySize == 0) return;
    std::snprintf(why, whySize, "%s", text.c_str());
}

bool WaylandPluginInstalled() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/";
    return QFile::exists(folder + "libqwayland-generic.so") ||
           QFile::exists(folder + "libqwayland-egl.so");
}

#ifdef QORV_TEST_HOOKS
std::unique_ptr<ScriptedPerson> LoadPerson(const char* path, std::string& error) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = std::string("cannot read ") + path;
        return nullptr;
    }
    const QByteArray script = file.readAll();
    std::vector<PersonStep> steps;
    if (!ParsePersonScript(
            std::string_view(script.constData(), static_cast<std::size_t>(script.size())), steps,
            error)) {
        return nullptr;
    }
    return std::make_unique<ScriptedPerson>(std::move(steps));
}
#endif

DisplayChoice ChoosePlatform() {
#ifdef QORV_TEST_HOOKS
    if (const char* platform = std::getenv("QT_QPA_PLATFORM");
        platform != nullptr && std::strcmp(platform, "offscreen") == 0) {
        return {Platform::Offscreen, {}, nullptr};
    }
#endif
    DisplayEnvironment environment = DisplayEnvironment::FromProcess();
    environment.waylandPluginInstalled = WaylandPluginInstalled();
    return ProbeDisplay(environment);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) qorv::dialogs::UserInterface*
qorv_dialogs_qt_open(const DialogModuleOptions* options, char* why, std::size_t whySize) {
    static_assert(std::is_same_v<decltype(&qorv_dialogs_qt_open), OpenDialogModuleFn>);
    try {
        if (options == nullptr || options->abi != kDialogModuleAbi) {
            Tell(why, whySize, "the dialog module does not match the host");
            return nullptr;
        }
        DisplayChoice display = ChoosePlatform();
        if (display.platform == Platform::None) {
            Tell(why, whySize, display.why);
            return nullptr;
        }
        auto ui = std::make_unique<QtUserInterface>(
            MakeApplication(PlatformPluginName(display.platform)));
        display.connection.reset();
#ifdef QORV_TEST_HOOKS
        if (options->scriptedPersonPath != nullptr) {
            std::string error;
            auto person = LoadPerson(options->scriptedPersonPath, error);
            if (!person) {
                std::fprintf(stderr, "qorvclientatm-host: scripted person: %s\n", error.c_str());
            }
            ui->SetPerson(std::move(person));
        }
#endif
        return ui.release();
    } catch (const std::exception& e) {
        Tell(why, whySize, std::string("the dialogs cannot start: ") + e.what());
        return nullptr;
    }
}
