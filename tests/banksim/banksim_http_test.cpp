// The bank simulator's HTTP server on loopback, with the real host as the
// page's component: one key agreement over HTTP, the demo folder, and a clean
// stop.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "banksim_server_process.h"
#include "support/host_process.h"

namespace qorv::banksim {
namespace {

using nlohmann::json;

json Post(httplib::Client& client, const std::string& path, const json& body, int* status) {
    const auto result = client.Post(path, body.dump(), "application/json");
    if (!result) {
        ADD_FAILURE() << "no answer to " << path;
        return nullptr;
    }
    *status = result->status;
    return json::parse(result->body, nullptr, false);
}

TEST(BanksimHttp, KeyAgreementRoundTripOnLoopback) {
    const std::filesystem::path www =
        std::filesystem::temp_directory_path() / ("qorv-banksim-www-" + std::to_string(getpid()));
    std::filesystem::create_directories(www);
    std::ofstream(www / "index.html") << "<p>demo bank</p>";

    BanksimServerProcess server({"--www", www.string()});
    ASSERT_TRUE(server.firstLine().starts_with("listening 127.0.0.1:")) << server.firstLine();
    httplib::Client client("127.0.0.1", server.port());

    int status = 0;
    const json offer = Post(client, "/session/start", json::object(), &status);
    ASSERT_EQ(status, 200) << offer.dump();
    ASSERT_EQ(offer["rn1Len"], 128);

    testing::HostProcess host({"PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm"});
    ASSERT_EQ(host.Call("VerifyRN1andGenerateRN2",
                        json::array({offer["rn1Len"], offer["encryptedRn1"], offer["signatureLen"],
                                     offer["signature"]})),
              0);
    const json answer = Post(client, "/session/answer",
                             {{"sessionId", offer["sessionId"]},
                              {"encryptRN2", host.Call("GetEncryptRN2")},
                              {"encryptHashRN2", host.Call("GetEncryptHashRN2")},
                              {"sessionKeyHash", host.Call("GetSessionKeyHash")},
                              {"sessionKeyLength", 24}},
                             &status);
    ASSERT_EQ(status, 200);
    ASSERT_EQ(answer["ok"], true) << answer.dump();
    EXPECT_EQ(host.Call("VerifySessionKeyHash",
                        json::array({answer["cpukEncSessionKey"], answer["sessionKeyHash"]})),
              0);

    ASSERT_EQ(host.Call("DESEncipher", json::array({answer["sessionKeyHash"],
                                                    answer["cpukEncSessionKey"], 5, "48454C4C4F"})),
              0);
    const json plain =
        Post(client, "/session/decipher",
             {{"sessionId", offer["sessionId"]}, {"data", host.Call("GetRespData")}}, &status);
    EXPECT_EQ(plain["plain"], "48454C4C4F");

    // The same answer again is refused: the RN1 was used up.
    const json again = Post(client, "/session/answer",
                            {{"sessionId", offer["sessionId"]},
                             {"encryptRN2", host.Call("GetEncryptRN2")},
                             {"encryptHashRN2", host.Call("GetEncryptHashRN2")},
                             {"sessionKeyHash", host.Call("GetSessionKeyHash")}},
                            &status);
    EXPECT_EQ(again["ok"], false);

    const json unknown =
        Post(client, "/session/decipher", {{"sessionId", "00"}, {"data", "00"}}, &status);
    EXPECT_EQ(status, 404);
    const auto page = client.Get("/index.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body, "<p>demo bank</p>");
    const auto notJson = client.Post("/session/start", "{", "application/json");
    ASSERT_TRUE(notJson);
    EXPECT_EQ(notJson->status, 400);

    EXPECT_EQ(server.Stop(), 0);
    std::filesystem::remove_all(www);
}

}  // namespace
}  // namespace qorv::banksim
