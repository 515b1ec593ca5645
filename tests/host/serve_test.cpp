// The serving loop over real descriptors: frames read with read(2) however
// the writer splits them, one reply per frame in order, and the process
// made private before any secret arrives.
#include "host/serve.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/user_interface.h"
#include "support/fake_pcsc.h"

namespace qorv::host {
namespace {

using nlohmann::json;

std::string Frame(const std::string& body) {
    const auto length = static_cast<uint32_t>(body.size());
    return std::string(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

std::vector<json> Replies(const std::string& bytes) {
    std::vector<json> out;
    std::size_t at = 0;
    while (bytes.size() - at >= 4) {
        uint32_t length = 0;
        std::memcpy(&length, bytes.data() + at, 4);
        at += 4;
        out.push_back(json::parse(bytes.substr(at, length)));
        at += length;
    }
    EXPECT_EQ(at, bytes.size());
    return out;
}

TEST(Serve, FramesSplitAcrossWritesAreReadWholeAndAnsweredInOrder) {
    testing::FakePcsc pcsc;
    testing::RecordingPauser pauser;
    dialogs::HeadlessUserInterface ui;
    reader::ReaderSession session{pcsc, pauser};
    control::CQorvClientATMCtrl ctrl{session, ui};
    int in[2];
    int out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const std::string stream =
        Frame(R"({"id":1,"method":"GetReaderNumber"})") + Frame("") +
        Frame(R"({"id":2,"method":"ConnectCard","params":["\udbff"]})") +
        Frame(R"({"id":3,"x":[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]],"method":"GetReaderNumber"})") +
        Frame(R"({"id":4,"dispid":3})");
    // The writer hands the stream over in pieces that cut headers and bodies.
    std::thread writer([&] {
        for (std::size_t at = 0; at < stream.size(); at += 7) {
            const std::string piece = stream.substr(at, 7);
            EXPECT_EQ(write(in[1], piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        close(in[1]);
    });
    std::string written;
    std::thread reader([&] {
        char buffer[512];
        for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
            written.append(buffer, static_cast<std::size_t>(got));
    });
    EXPECT_EQ(ServeNativeMessaging(ctrl, ui, in[0], out[1]), 0);
    writer.join();
    close(out[1]);
    reader.join();
    close(in[0]);
    close(out[0]);

    const std::vector<json> replies = Replies(written);
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0], json::parse(R"({"id":1,"result":-1})"));
    EXPECT_EQ(replies[1]["error"]["message"], "malformed JSON");
    EXPECT_EQ(replies[2]["id"], 2);  // the lone surrogate keeps the id
    EXPECT_EQ(replies[3]["error"]["message"], "JSON nested deeper than 16 levels");
    EXPECT_EQ(replies[4]["id"], 4);
    EXPECT_TRUE(replies[4].contains("result"));
}

TEST(Serve, TheHostProcessDumpsNoCoreAndCannotBeTraced) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        KeepMemoryPrivate();
        rlimit core{};
        getrlimit(RLIMIT_CORE, &core);
        _exit(prctl(PR_GET_DUMPABLE) == 0 && core.rlim_cur == 0 && core.rlim_max == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace qorv::host
