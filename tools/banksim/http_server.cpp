#include "tools/banksim/http_server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace qorv::banksim {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr std::size_t kMaxBody = 64 * 1024;  // the largest request is a few kilobytes

}  // namespace

int RunHttpServer(BankService& service, const HttpOptions& options, std::ostream& out,
                  std::ostream& log) {
    // The signals go to one waiting thread that stops the server; the
    // server's own threads inherit the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    httplib::Server server;
    server.set_payload_max_length(kMaxBody);
    server.Post(
        R"(/session/(start|answer|encipher|decipher|transfer-document|common-account-document|common-account)|/transaction(/guided-transfer)?)",
        [&service](const httplib::Request& request, httplib::Response& response) {
            const ServiceReply reply = service.Handle(request.path, request.body);
            response.status = reply.status;
            response.set_content(reply.body.dump(), "application/json");
        });
    if (!options.www.empty() && !server.set_mount_point("/", options.www)) {
        log << "qorv-banksim: " << options.www << " is not a folder\n";
        return 2;
    }

    const int port =
        options.port == 0
            ? server.bind_to_any_port(kLoopback)
            : (server.bind_to_port(kLoopback, options.port) ? static_cast<int>(options.port) : -1);
    if (port <= 0) {
        log << "qorv-banksim: cannot listen on " << kLoopback << ":" << options.port << "\n";
        return 1;
    }
    out << "listening " << kLoopback << ":" << port << std::endl;

    std::atomic<bool> stopping = false;
    std::thread stopper([&server, &stopping, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        stopping = true;
        server.stop();
    });
    const bool served = server.listen_after_bind();
    // Without a signal the server only ends on a socket failure: wake the
    // waiting thread so it can be joined.
    if (!stopping) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return served ? 0 : 1;
}

}  // namespace qorv::banksim
