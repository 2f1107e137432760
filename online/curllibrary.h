// libcurl, loaded on the first transfer rather than with the program: the
// library and the thirty-odd libraries it stands on then cost a start-up
// nothing, and a game that never goes online never maps them. The curl_*
// functions the program calls are defined here and forward to the loaded
// library; where it cannot be loaded each of them reports a failure (a null
// handle, CURLE_FAILED_INIT), which the callers already answer with an error.
#pragma once

namespace kestrova {

class CurlLibrary {
public:
    // Made once in main(); loads nothing.
    CurlLibrary() = default;
    // Ends libcurl's process-wide state if a transfer ever loaded it: after
    // the windows and their fetches are gone.
    ~CurlLibrary();
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;

    // Whether a transfer has loaded the library so far.
    static bool isLoaded();
};

} // namespace kestrova
