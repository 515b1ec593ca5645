#include "host/input_pump.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "base/secure_wipe.h"

namespace qorv::host {

struct InputPump::Shared {
    explicit Shared(int in) : reader(in) {}
    // Used by the taker until it watches, then by the reading thread only:
    // bytes read ahead on one side are taken on the other.
    FrameReader reader;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<IncomingFrame> frames;
    bool ended = false;     // the end was read (a reading thread has stopped)
    bool detached = false;  // the pump is gone: nothing more is handed over
    std::function<void()> onEnd;
    std::function<void()> onArrival;
    std::thread thread;

    void WipeFrames() {
        for (auto& frame : frames) SecureWipe(frame.body);
        frames.clear();
    }
};

namespace {

void ReadAll(const std::shared_ptr<InputPump::Shared>& shared) {
    for (;;) {
        IncomingFrame frame;
        frame.status = shared->reader.Next(frame.body);
        frame.size = shared->reader.lastFrameSize();
        std::lock_guard lock(shared->mutex);
        if (shared->detached) {
            SecureWipe(frame.body);
            return;
        }
        if (frame.status == FrameStatus::EndOfInput) {
            shared->ended = true;
            // Under the lock, so the pump's destructor cannot overtake it.
            if (shared->onEnd) shared->onEnd();
            if (shared->onArrival) shared->onArrival();
            shared->arrived.notify_all();
            return;
        }
        shared->frames.push_back(std::move(frame));
        // NOLINTNEXTLINE(bugprone-use-after-move): wiping what the move left behind
        SecureWipe(frame.body);  // a short body is copied, not moved
        if (shared->onArrival) shared->onArrival();
        shared->arrived.notify_all();
    }
}

bool Readable(int in) {
    pollfd watched{in, POLLIN, 0};
    return poll(&watched, 1, 0) > 0;
}

// The writer closed the input and nothing is left to read in it.
bool HungUpAndEmpty(int in) {
    pollfd watched{in, POLLIN, 0};
    if (poll(&watched, 1, 0) <= 0 || (watched.revents & POLLHUP) == 0) return false;
    int pending = 0;
    return ioctl(in, FIONREAD, &pending) == 0 && pending == 0;
}

}  // namespace

InputPump::InputPump(int in, std::function<void()> onEnd, std::function<void()> onArrival)
    : in_(in), shared_(std::make_shared<Shared>(in)) {
    shared_->onEnd = std::move(onEnd);
    shared_->onArrival = std::move(onArrival);
}

void InputPump::Watch() {
    if (watching_) return;
    watching_ = true;
    if (shared_->ended) return;  // told when it was read here
    if (!shared_->reader.HasBuffered() && HungUpAndEmpty(in_)) {
        // Told now rather than by a thread a moment later: the window about
        // to be shown learns that nobody is left to see it.
        shared_->ended = true;
        if (shared_->onEnd) shared_->onEnd();
        return;
    }
    shared_->thread = std::thread(ReadAll, shared_);
}

IncomingFrame InputPump::ReadHere() {
    IncomingFrame frame;
    if (shared_->ended) return frame;
    frame.status = shared_->reader.Next(frame.body);
    frame.size = shared_->reader.lastFrameSize();
    if (frame.status == FrameStatus::EndOfInput) {
        shared_->ended = true;
        if (shared_->onEnd) shared_->onEnd();
    }
    return frame;
}

InputPump::~InputPump() {
    bool ended = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->detached = true;
        shared_->onEnd = nullptr;
        shared_->onArrival = nullptr;
        shared_->WipeFrames();
        ended = shared_->ended;
    }
    if (!shared_->thread.joinable()) return;
    if (ended) {
        shared_->thread.join();
    } else {
        shared_->thread.detach();
    }
}

bool InputPump::Ready() const {
    if (!watching_) return shared_->ended || shared_->reader.HasBuffered() || Readable(in_);
    std::lock_guard lock(shared_->mutex);
    return !shared_->frames.empty() || shared_->ended;
}

IncomingFrame InputPump::Next() {
    if (!watching_) return ReadHere();
    std::unique_lock lock(shared_->mutex);
    shared_->arrived.wait(lock, [&] { return !shared_->frames.empty() || shared_->ended; });
    if (shared_->frames.empty()) return {};
    IncomingFrame frame = std::move(shared_->frames.front());
    SecureWipe(shared_->frames.front().body);
    shared_->frames.pop_front();
    return frame;
}

}  // namespace qorv::host
