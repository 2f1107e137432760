// libcurl's process-wide set-up: made once in main() before any thread
// starts, gone after the last transfer.
#pragma once

namespace kestrova {

class CurlLibrary {
public:
    // Throws std::runtime_error when libcurl can't be set up.
    CurlLibrary();
    ~CurlLibrary();
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;
};

} // namespace kestrova
