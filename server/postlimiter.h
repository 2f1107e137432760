// PostLimiter: how often one client may post a score, as a bucket of posts
// per client that refills at a steady rate.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace kestrova::server {

struct PostLimit {
    int perMinute = 30;   // 0: no limit
    int burst = 10;       // posts allowed at once after a quiet spell
};

struct Admission {
    bool admitted = true;
    int retryAfterSeconds = 0;   // when refused: whole seconds until the next post is allowed
};

// Not thread-safe: the caller holds a lock around admit().
class PostLimiter {
public:
    using Clock = std::chrono::steady_clock;

    // At most `maxClients` buckets are kept. Past that, buckets that have
    // filled up again are forgotten (they are as good as new); should that
    // free too little, every bucket is, so memory stays bounded whatever the
    // number of addresses a flood comes from.
    explicit PostLimiter(PostLimit limit, std::size_t maxClients = 65536);

    // Counts a post from `client` when its bucket holds one.
    Admission admit(const std::string& client, Clock::time_point now);

    std::size_t clientsKept() const { return buckets_.size(); }

private:
    struct Bucket {
        double posts = 0;
        Clock::time_point filled;
    };

    double refilled(const Bucket& bucket, Clock::time_point now) const;
    void forgetFullBuckets(Clock::time_point now);

    PostLimit limit_;
    std::size_t maxClients_;
    std::unordered_map<std::string, Bucket> buckets_;
};

} // namespace kestrova::server
