// Counting open connections; an address whose count falls to 0 is forgotten,
// so the map holds no more keys than there are open connections.
#include "server/connectionslots.h"

namespace kestrova::server {

ConnectionSlots::ConnectionSlots(std::size_t total, std::size_t perAddress) : total_(total), perAddress_(perAddress) {}

ConnectionSlots::Ticket ConnectionSlots::take(const std::string& key)
{
    {
        std::lock_guard lock(mutex_);
        if (open_ >= total_)
            return nullptr;
        if (!key.empty()) {
            std::size_t& mine = byAddress_[key];
            if (mine >= perAddress_)
                return nullptr;
            ++mine;
        }
        ++open_;
    }
    return Ticket(static_cast<void*>(this), [this, key](void*) { giveBack(key); });
}

std::size_t ConnectionSlots::open() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

void ConnectionSlots::giveBack(const std::string& key)
{
    std::lock_guard lock(mutex_);
    --open_;
    if (key.empty())
        return;
    const auto found = byAddress_.find(key);
    if (found != byAddress_.end() && --found->second == 0)
        byAddress_.erase(found);
}

} // namespace kestrova::server
