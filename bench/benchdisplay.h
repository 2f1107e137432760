// A private X display for a benchmark: Xvfb on a display number the server
// picks itself, so the benchmark runs from a plain shell beside other
// displays, and, when asked, openbox managing its windows as a desktop would.
#pragma once

#include "bench/spawnedprocess.h"

#include <memory>
#include <string>

namespace kestrova::bench {

class BenchDisplay {
public:
    // Throws std::runtime_error when Xvfb or openbox does not come up within
    // a few seconds; `logFile` gets what they print.
    BenchDisplay(bool withWindowManager, const std::string& logFile);
    ~BenchDisplay();
    BenchDisplay(const BenchDisplay&) = delete;
    BenchDisplay& operator=(const BenchDisplay&) = delete;

    // ":N", for DISPLAY.
    const std::string& name() const { return name_; }
    bool hasWindowManager() const { return windowManager_ != nullptr; }

    static constexpr int width = 1280;
    static constexpr int height = 800;

private:
    void waitForWindowManager();

    std::unique_ptr<SpawnedProcess> server_;
    std::unique_ptr<SpawnedProcess> windowManager_;
    std::string name_;
};

} // namespace kestrova::bench
