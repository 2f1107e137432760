// ConnectionSlots: the caps on open connections, in all and per client
// address, taken at accept and given back when the connection ends, so that
// one address cannot hold every slot.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kestrova::server {

class ConnectionSlots {
public:
    // A slot held; given back when the last copy goes.
    using Ticket = std::shared_ptr<void>;

    ConnectionSlots(std::size_t total, std::size_t perAddress);

    // A slot for a connection from `key` (see limitKey), or nothing when the
    // total or that key's share is used up. An empty key counts only
    // against the total: a trusted proxy carries many clients.
    Ticket take(const std::string& key);

    std::size_t open() const;
    std::size_t total() const { return total_; }
    std::size_t perAddress() const { return perAddress_; }

private:
    void giveBack(const std::string& key);

    const std::size_t total_;
    const std::size_t perAddress_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::unordered_map<std::string, std::size_t> byAddress_;
};

} // namespace kestrova::server
