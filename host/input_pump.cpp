#include "host/input_pump.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "base/secure_wipe.h"

namespace qorv::host {

struct InputPump::Shared {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<IncomingFrame> frames;
    bool ended = false;     // the reading thread has seen the end and stopped
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

void ReadAll(int in, const std::shared_ptr<InputPump::Shared>& shared) {
    FrameReader reader(in);
    for (;;) {
        IncomingFrame frame;
        frame.status = reader.Next(frame.body);
        frame.size = reader.lastFrameSize();
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

}  // namespace

InputPump::InputPump(int in, std::function<void()> onEnd, std::function<void()> onArrival)
    : shared_(std::make_shared<Shared>()) {
    shared_->onEnd = std::move(onEnd);
    shared_->onArrival = std::move(onArrival);
    shared_->thread = std::thread(ReadAll, in, shared_);
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
    if (ended) {
        shared_->thread.join();
    } else {
        shared_->thread.detach();
    }
}

bool InputPump::Ready() const {
    std::lock_guard lock(shared_->mutex);
    return !shared_->frames.empty() || shared_->ended;
}

IncomingFrame InputPump::Next() {
    std::unique_lock lock(shared_->mutex);
    shared_->arrived.wait(lock, [&] { return !shared_->frames.empty() || shared_->ended; });
    if (shared_->frames.empty()) return {};
    IncomingFrame frame = std::move(shared_->frames.front());
    SecureWipe(shared_->frames.front().body);
    shared_->frames.pop_front();
    return frame;
}

}  // namespace qorv::host
