// qorvclientatm-host: the process a browser starts for a page that uses the
// component. Without options it serves native messaging on stdin/stdout
// (browsers pass the caller's origin or the manifest path as arguments; those
// are not options). With --call it runs calls from the command line;
// --register and --unregister write and remove the browsers' host manifests;
// --doctor checks what a bank page needs on this machine.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/user_interface.h"
#include "host/build_info.h"
#include "host/cli.h"
#include "host/doctor.h"
#include "host/host_user_interface.h"
#include "host/method_list.h"
#include "host/registration_command.h"
#include "host/serve.h"
#include "reader/pcsc_provider.h"
#include "reader/reader_session.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "usage: qorvclientatm-host                      serve a browser over native messaging\n"
        "       qorvclientatm-host --call NAME [ARG...] [--call NAME [ARG...]]...\n"
        "       qorvclientatm-host --dispid N [ARG...]  call by DISPID\n"
        "       qorvclientatm-host --register [--user|--system] [--root DIR] [--host-path PATH]\n"
        "       qorvclientatm-host --unregister [--user|--system] [--root DIR]\n"
        "                                               write or remove the browsers' host "
        "manifests\n"
        "       qorvclientatm-host --list-methods       print the served methods as JSON\n"
        "       qorvclientatm-host --doctor             check this machine for bank pages\n"
        "       qorvclientatm-host --version            the module version and the build's "
        "kind\n"
        "Arguments are texts; numbers are converted for long parameters; @null is the\n"
        "null string. Results print one per line; null strings print as null.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    // PINs arrive by native messaging and on the command line alike.
    qorv::host::KeepMemoryPrivate();
    // The objects of the process, assembled once: PC/SC bound to
    // libpcsclite.so.1, the reader session on it, the user interface and the
    // control the page's calls reach.
    qorv::reader::DlopenPcscProvider pcsc;
    qorv::reader::SleepingPauser pauser;
    qorv::reader::ReaderSession session(pcsc, pauser);
    const auto ui = qorv::host::PickUserInterface();
    qorv::control::CQorvClientATMCtrl control(session, *ui);

    std::vector<std::string> args(argv + 1, argv + argc);
    const bool cli = !args.empty() && (args[0] == "--call" || args[0] == "--dispid");
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintUsage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        qorv::host::PrintVersion(stdout);
        return 0;
    }
    if (!args.empty() && args[0] == "--list-methods") {
        std::printf("%s\n", qorv::host::MethodTableJson().c_str());
        return 0;
    }
    if (args.size() == 1 && args[0] == "--doctor") {
        return qorv::host::RunDoctor(qorv::host::RealMachine(pcsc), stdout);
    }
    if (qorv::host::IsRegistrationCommand(args)) {
        const int rc = qorv::host::RunRegistrationCommand(args, stdout, stderr);
        if (rc == 2) PrintUsage(stderr);
        return rc;
    }
    if (cli) {
        std::vector<qorv::host::CliCall> calls;
        std::string error;
        if (!qorv::host::ParseCliCalls(args, calls, error)) {
            std::fprintf(stderr, "qorvclientatm-host: %s\n", error.c_str());
            PrintUsage(stderr);
            return 2;
        }
        return qorv::host::RunCliCalls(control, calls, stdout);
    }
    if (!args.empty() && std::strncmp(args[0].c_str(), "--", 2) == 0) {
        std::fprintf(stderr, "qorvclientatm-host: unknown option %s\n", args[0].c_str());
        PrintUsage(stderr);
        return 2;
    }
    qorv::host::WarnIfDevelopmentBuild(stderr);
    return qorv::host::ServeNativeMessaging(control, *ui, STDIN_FILENO, STDOUT_FILENO);
}
