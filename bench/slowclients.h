// SlowClients: many connections that each send one byte of a request every
// two seconds, from 100 loopback addresses (127.0.0.2 ... 127.0.0.101), and
// open again whenever the server closes them: what a slow or hostile crowd
// costs a server while it serves everyone else.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace kestrova::bench {

class SlowClients {
public:
    SlowClients(int port, int count);
    ~SlowClients();
    SlowClients(const SlowClients&) = delete;
    SlowClients& operator=(const SlowClients&) = delete;

    // Connections open at the moment.
    int open() const { return open_; }
    // Connections the server has closed so far.
    int closedByServer() const { return closed_; }

private:
    void run();
    void openOne(int i);
    void tick(int i);

    int port_;
    std::vector<int> sockets_;
    std::vector<int> sent_;
    std::atomic<int> open_{0};
    std::atomic<int> closed_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace kestrova::bench
