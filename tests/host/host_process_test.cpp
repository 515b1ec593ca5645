// The real host over pipes, as a browser runs it.
#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "host/cli.h"
#include "support/host_process.h"

namespace qorv::testing {
namespace {

using nlohmann::json;

// A private socket path where no pcscd listens: the host must answer anyway.
const std::vector<std::string> kNoService{"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm"};

TEST(HostProcess, ServesRequestsAndExitsCleanlyAtEndOfInput) {
    HostProcess host(kNoService, {"chrome-extension://abcdefghijklmnop/"});
    EXPECT_EQ(host.Call("GetReaderNumber"), -1);
    EXPECT_EQ(host.Call("GetCardStatus"), nullptr);
    EXPECT_EQ(host.Call("ConnectCard", json::array({nullptr})), 4099);
    EXPECT_EQ(host.Call("ConnectReader"), static_cast<int32_t>(0x8010001D));  // no service
    EXPECT_EQ(host.CloseAndWait(), 0);
}

TEST(HostProcess, OversizedFrameIsSkippedAndTheHostStaysUsable) {
    HostProcess host(kNoService);
    const uint32_t size = (1u << 20) + 1;
    std::string frame(reinterpret_cast<const char*>(&size), sizeof size);
    frame += std::string(size, ' ');
    host.SendRaw(frame);
    std::string reply;
    ASSERT_TRUE(host.ReadFrame(reply));
    const json error = json::parse(reply);
    EXPECT_EQ(error["id"], nullptr);
    EXPECT_EQ(error["error"]["name"], "E_INVALIDARG");
    EXPECT_EQ(host.Call("GetRespLength"), 0);
    EXPECT_EQ(host.CloseAndWait(), 0);
}

TEST(HostProcess, HugeAnnouncedLengthDoesNotMakeItAllocate) {
    HostProcess host(kNoService);
    const uint32_t size = 0xFFFFFFF0u;
    host.SendRaw(std::string(reinterpret_cast<const char*>(&size), sizeof size) + "{}");
    // The body never arrives: the end of input ends the host cleanly.
    EXPECT_EQ(host.CloseAndWait(), 0);
}

TEST(HostProcess, TruncatedFrameAtEndOfInputEndsCleanly) {
    HostProcess host(kNoService);
    EXPECT_EQ(host.Call("GetRespLength"), 0);
    const uint32_t size = 40;
    host.SendRaw(std::string(reinterpret_cast<const char*>(&size), sizeof size) + R"({"id":1,)");
    EXPECT_EQ(host.CloseAndWait(), 0);
}

TEST(HostProcess, BadRequestsDoNotStopTheHost) {
    HostProcess host(kNoService);
    host.SendFrame("{");
    std::string reply;
    ASSERT_TRUE(host.ReadFrame(reply));
    EXPECT_EQ(json::parse(reply)["error"]["name"], "E_INVALIDARG");
    host.SendFrame("");
    ASSERT_TRUE(host.ReadFrame(reply));
    EXPECT_EQ(json::parse(reply)["error"]["name"], "E_INVALIDARG");
    EXPECT_EQ(host.Call("GetRespLength"), 0);
    EXPECT_EQ(host.CloseAndWait(), 0);
}

TEST(HostCommandLine, ParsesCallsAndTheirArguments) {
    std::vector<host::CliCall> calls;
    std::string error;
    ASSERT_TRUE(host::ParseCliCalls(
        {"--call", "ListReaders", "--call", "GetReaderName", "0", "--dispid", "8", "@null", "1"},
        calls, error));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].args, std::vector<std::string>{"0"});
    EXPECT_EQ(calls[2].dispid, 8);
    EXPECT_EQ(calls[2].args.size(), 2u);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--call"}, {"--dispid", "x"}, {"stray", "--call", "ListReaders"}}) {
        std::vector<host::CliCall> fresh;
        EXPECT_FALSE(host::ParseCliCalls(bad, fresh, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace qorv::testing
