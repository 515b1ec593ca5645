// The host path a page reaches: a native-messaging stream read by the host's
// own serving loop (frame reader, input thread, request parser, dispatch
// table, argument coercion, a real control on a PC/SC whose every answer
// comes from the input), and the replies it writes.
//
// Input: a 16-bit little-endian length, that many bytes of PC/SC answers
// (support/fuzz_pcsc.h), then the byte stream the browser sends.
//
// Checks: one reply per complete frame, in order; each reply's length is at
// most 1 MiB and its body is JSON of the shape the extension accepts:
// {"id": integer|null, "result": null|string|32-bit integer} or
// {"id": ..., "error": {"code": integer, "name": string, "message": string}}.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <vector>

#include "control/qorv_client_atm_ctrl.h"
#include "dialogs/user_interface.h"
#include "fuzz_check.h"
#include "host/native_messaging.h"
#include "host/serve.h"
#include "reader/reader_session.h"
#include "support/fuzz_pcsc.h"

namespace {

using nlohmann::json;

class NoPause final : public qorv::reader::Pauser {
  public:
    void Pause(int) override {}
};

// Dialogs end as cancelled, messages go nowhere.
class QuietUserInterface final : public qorv::dialogs::UserInterface {
  public:
    void ShowMessage(const std::u16string&, const std::u16string&) override {}
    void SetWaitCursor(bool) override {}
};

int g_in = -1;
int g_out = -1;

void Fill(int fd, std::span<const uint8_t> bytes) {
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    FUZZ_CHECK(lseek(fd, 0, SEEK_SET) == 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        FUZZ_CHECK(put > 0);
        done += static_cast<std::size_t>(put);
    }
    FUZZ_CHECK(lseek(fd, 0, SEEK_SET) == 0);
}

std::vector<uint8_t> Contents(int fd) {
    const off_t size = lseek(fd, 0, SEEK_END);
    FUZZ_CHECK(size >= 0);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    FUZZ_CHECK(pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    return bytes;
}

// The complete frames of a stream, as the host must see them: each is
// answered (a body over 1 MiB with an error), a cut one is not.
struct SentFrame {
    bool tooLarge = false;
    std::string body;
};

std::vector<SentFrame> CompleteFrames(std::span<const uint8_t> stream) {
    std::vector<SentFrame> frames;
    std::size_t at = 0;
    while (stream.size() - at >= 4) {
        uint32_t length = 0;
        std::memcpy(&length, stream.data() + at, 4);
        at += 4;
        if (stream.size() - at < length) break;
        SentFrame frame;
        frame.tooLarge = length > qorv::host::kMaxFrameBytes;
        if (!frame.tooLarge)
            frame.body.assign(stream.begin() + static_cast<std::ptrdiff_t>(at),
                              stream.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        frames.push_back(std::move(frame));
    }
    return frames;
}

void CheckReplyShape(const std::string& body) {
    const json reply = json::parse(body, nullptr, false);
    FUZZ_CHECK(!reply.is_discarded());
    FUZZ_CHECK(reply.is_object());
    FUZZ_CHECK(reply.contains("id"));
    FUZZ_CHECK(reply["id"].is_null() || reply["id"].is_number_integer());
    FUZZ_CHECK(reply.contains("result") != reply.contains("error"));
    if (reply.contains("result")) {
        const json& result = reply["result"];
        if (result.is_number_integer()) {
            const auto value = result.get<int64_t>();
            FUZZ_CHECK(result.is_number_unsigned() ? result.get<uint64_t>() <= 0x7FFFFFFFu
                                                   : value >= std::numeric_limits<int32_t>::min());
        } else {
            FUZZ_CHECK(result.is_null() || result.is_string());
        }
        return;
    }
    const json& error = reply["error"];
    FUZZ_CHECK(error.is_object());
    FUZZ_CHECK(error.contains("code") && error["code"].is_number_integer());
    FUZZ_CHECK(error.contains("name") && error["name"].is_string());
    FUZZ_CHECK(error.contains("message") && error["message"].is_string());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_in = memfd_create("qorv-fuzz-in", 0);
    g_out = memfd_create("qorv-fuzz-out", 0);
    FUZZ_CHECK(g_in >= 0 && g_out >= 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (g_in < 0) LLVMFuzzerInitialize(nullptr, nullptr);
    const std::span<const uint8_t> input(data, size);
    std::size_t answersSize = size >= 2 ? (data[0] | (data[1] << 8)) : 0;
    const std::span<const uint8_t> rest = input.subspan(size >= 2 ? 2 : size);
    answersSize = std::min(answersSize, rest.size());
    const std::span<const uint8_t> answers = rest.first(answersSize);
    const std::span<const uint8_t> stream = rest.subspan(answersSize);

    Fill(g_in, stream);
    Fill(g_out, {});
    {
        qorv::testing::FuzzPcsc pcsc;
        pcsc.Reset(answers);
        NoPause pauser;
        QuietUserInterface ui;
        qorv::reader::ReaderSession session(pcsc, pauser);
        qorv::control::CQorvClientATMCtrl control(session, ui);
        FUZZ_CHECK(qorv::host::ServeNativeMessaging(control, ui, g_in, g_out) == 0);
    }

    const std::vector<SentFrame> sent = CompleteFrames(stream);
    const std::vector<uint8_t> written = Contents(g_out);
    std::size_t at = 0;
    std::size_t replies = 0;
    while (at < written.size()) {
        FUZZ_CHECK(written.size() - at >= 4);
        uint32_t length = 0;
        std::memcpy(&length, written.data() + at, 4);
        at += 4;
        FUZZ_CHECK(length <= qorv::host::kMaxFrameBytes);
        FUZZ_CHECK(written.size() - at >= length);
        const std::string body(written.begin() + static_cast<std::ptrdiff_t>(at),
                               written.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        FUZZ_CHECK(replies < sent.size());
        // Test-hook requests (test builds only) answer in a shape of their own.
        if (sent[replies].body.find("\"testHook\"") == std::string::npos) CheckReplyShape(body);
        ++replies;
    }
    FUZZ_CHECK(replies == sent.size());
    return 0;
}
