#include "tools/banksim/session_store.h"

#include <algorithm>

namespace qorv::banksim {

std::optional<std::string> SessionStore::Add(ServerSession session) {
    const auto random = RandomSecret(16);
    if (!random) return std::nullopt;
    std::string id = ToHex(random->view());
    std::lock_guard lock(mutex_);
    while (!order_.empty() && sessions_.size() >= capacity_) {
        sessions_.erase(order_.front());
        order_.pop_front();
    }
    sessions_.emplace(id, std::move(session));
    order_.push_back(id);
    return id;
}

bool SessionStore::With(const std::string& id, const std::function<void(ServerSession&)>& work) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(id);
    if (found == sessions_.end()) return false;
    work(found->second);
    return true;
}

}  // namespace qorv::banksim
