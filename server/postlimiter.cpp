// Token buckets per client, refilled lazily when the client posts again.
#include "server/postlimiter.h"

#include <algorithm>
#include <cmath>

namespace kestrova::server {

PostLimiter::PostLimiter(PostLimit limit, std::size_t maxClients)
    : limit_(limit), maxClients_(std::max<std::size_t>(maxClients, 1))
{
}

Admission PostLimiter::admit(const std::string& client, Clock::time_point now)
{
    if (limit_.perMinute <= 0)
        return {};
    auto found = buckets_.find(client);
    if (found == buckets_.end()) {
        if (buckets_.size() >= maxClients_)
            forgetFullBuckets(now);
        found = buckets_.emplace(client, Bucket{static_cast<double>(limit_.burst), now}).first;
    }
    Bucket& bucket = found->second;
    bucket.posts = refilled(bucket, now);
    bucket.filled = now;
    if (bucket.posts >= 1) {
        bucket.posts -= 1;
        return {};
    }
    const double seconds = (1 - bucket.posts) * 60.0 / limit_.perMinute;
    return {false, std::max(1, static_cast<int>(std::ceil(seconds)))};
}

double PostLimiter::refilled(const Bucket& bucket, Clock::time_point now) const
{
    const double elapsed = std::chrono::duration<double>(now - bucket.filled).count();
    return std::min<double>(limit_.burst, bucket.posts + std::max(elapsed, 0.0) * limit_.perMinute / 60.0);
}

void PostLimiter::forgetFullBuckets(Clock::time_point now)
{
    std::erase_if(buckets_, [&](const auto& entry) { return refilled(entry.second, now) >= limit_.burst; });
    // A flood from ever new addresses leaves no full bucket to forget: start
    // over rather than sweep again at every new address.
    if (buckets_.size() > maxClients_ * 3 / 4)
        buckets_.clear();
}

} // namespace kestrova::server
