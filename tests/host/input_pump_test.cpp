// The native-messaging input: frames whole however large, read by the taker
// until it watches and then on a thread of its own (nothing read ahead is
// lost in between), the end seen while the taker is busy, nothing handed
// over once the pump is gone.
#include "host/input_pump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qorv::host {
namespace {

std::string Frame(const std::string& body) {
    const auto length = static_cast<uint32_t>(body.size());
    return std::string(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

class Pipe {
  public:
    Pipe() {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        read_ = fds[0];
        write_ = fds[1];
    }
    ~Pipe() {
        CloseWriter();
        close(read_);
    }
    void Write(const std::string& bytes) {
        EXPECT_EQ(write(write_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void CloseWriter() {
        if (write_ >= 0) close(write_);
        write_ = -1;
    }
    int reader() const { return read_; }
    int writer() const { return write_; }

  private:
    int read_ = -1;
    int write_ = -1;
};

TEST(InputPump, HandsFramesOverInOrderAndTellsTheEndOnceWhileTheTakerIsBusy) {
    Pipe pipe;
    std::atomic<int> ends{0};
    InputPump pump(pipe.reader(), [&] { ++ends; });
    pump.Watch();
    const uint32_t huge = (1u << 20) + 1;
    pipe.Write(Frame("{\"id\":1}") + Frame("") +
               std::string(reinterpret_cast<const char*>(&huge), sizeof huge) +
               std::string(huge, ' ') + Frame("{\"id\":2}"));
    pipe.CloseWriter();
    // The taker has not asked yet (it is in a dialog): the end is told anyway.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ends == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ends, 1);
    // ...and what came before the end is still served, in order.
    IncomingFrame frame = pump.Next();
    EXPECT_EQ(frame.status, FrameStatus::Ok);
    EXPECT_EQ(frame.body, "{\"id\":1}");
    frame = pump.Next();
    EXPECT_EQ(frame.status, FrameStatus::Ok);
    EXPECT_EQ(frame.body, "");
    frame = pump.Next();
    EXPECT_EQ(frame.status, FrameStatus::TooLarge);
    EXPECT_EQ(frame.size, huge);
    EXPECT_EQ(pump.Next().body, "{\"id\":2}");
    EXPECT_EQ(pump.Next().status, FrameStatus::EndOfInput);
    EXPECT_EQ(pump.Next().status, FrameStatus::EndOfInput);
    EXPECT_EQ(ends, 1);
}

TEST(InputPump, WhatTheTakerReadAheadIsServedByTheThreadAfterWatch) {
    Pipe pipe;
    std::atomic<int> ends{0};
    InputPump pump(pipe.reader(), [&] { ++ends; });
    pipe.Write(Frame("{\"id\":1}") + Frame("{\"id\":2}") + Frame("{\"id\":3}"));
    EXPECT_EQ(pump.Next().body, "{\"id\":1}");  // one read took all three
    EXPECT_TRUE(pump.Ready());
    pump.Watch();
    pipe.CloseWriter();
    EXPECT_EQ(pump.Next().body, "{\"id\":2}");
    EXPECT_EQ(pump.Next().body, "{\"id\":3}");
    EXPECT_EQ(pump.Next().status, FrameStatus::EndOfInput);
    EXPECT_EQ(ends, 1);
}

TEST(InputPump, WatchingAnInputThatHasEndedTellsTheEndAtOnce) {
    for (const bool framePending : {false, true}) {
        SCOPED_TRACE(framePending ? "a frame still unread" : "nothing left");
        Pipe pipe;
        std::atomic<int> ends{0};
        InputPump pump(pipe.reader(), [&] { ++ends; });
        if (framePending) pipe.Write(Frame("{}"));
        pipe.CloseWriter();
        pump.Watch();
        if (framePending) {
            EXPECT_EQ(pump.Next().body, "{}");  // a frame still unread is not an end
        } else {
            EXPECT_EQ(ends, 1);  // before a window could be shown
        }
        EXPECT_EQ(pump.Next().status, FrameStatus::EndOfInput);
        EXPECT_EQ(ends, 1);
    }
}

TEST(InputPump, FramesOfAnySizeCrossAPipeWhole) {
    Pipe pipe;
    // Larger than the pipe holds: the writer's calls come back part done.
    const std::string large(kMaxFrameBytes, 'x');
    std::thread writer([&] {
        EXPECT_TRUE(WriteFrame(pipe.writer(), large));
        EXPECT_TRUE(WriteFrame(pipe.writer(), "{}"));
        pipe.CloseWriter();
    });
    InputPump pump(pipe.reader(), [] {});
    EXPECT_EQ(pump.Next().body, large);
    EXPECT_EQ(pump.Next().body, "{}");
    EXPECT_EQ(pump.Next().status, FrameStatus::EndOfInput);
    writer.join();
}

TEST(InputPump, AfterThePumpIsGoneTheEndIsToldToNobody) {
    Pipe pipe;
    std::atomic<int> ends{0};
    {
        InputPump pump(pipe.reader(), [&] { ++ends; });
        pump.Watch();
        pipe.Write(Frame("{\"id\":1}"));
        EXPECT_EQ(pump.Next().body, "{\"id\":1}");
    }  // the thread still waits in its read
    pipe.Write(Frame("{\"id\":2}"));
    pipe.CloseWriter();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ends, 0);
}

}  // namespace
}  // namespace qorv::host
