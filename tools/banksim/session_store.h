// The server's sessions in memory, keyed by a random session id. The HTTP
// server answers on several threads, so every access holds the lock. Only the
// newest sessions are kept: a page that never answers leaves nothing behind
// for long.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "tools/banksim/key_agreement.h"

namespace qorv::banksim {

class SessionStore {
  public:
    explicit SessionStore(std::size_t capacity = 256) : capacity_(capacity) {}

    // Adds a session under a fresh id (32 hexadecimal digits); the oldest goes
    // when the store is full. Nothing when the random generator fails.
    std::optional<std::string> Add(ServerSession session);
    // Runs `work` on the session under the lock; false when the id is unknown.
    bool With(const std::string& id, const std::function<void(ServerSession&)>& work);

  private:
    std::mutex mutex_;
    std::size_t capacity_;
    std::map<std::string, ServerSession> sessions_;
    std::list<std::string> order_;  // oldest first
};

}  // namespace qorv::banksim
