// The transfer program's one job: a request made with libcurl, its reply
// passed on to the game frame by frame as it arrives.
#pragma once

#include "online/fetchprotocol.h"

namespace kestrova::fetch {

// Runs `request`, writing the reply's header lines and body to `toGame`.
// Ends early, as Stopped, when the game hangs up: `fromGame` turns readable
// (the request is all the game sends) or writing to `toGame` fails.
Outcome runTransfer(const Request& request, int fromGame, int toGame);

// Writes the Outcome frame; false when the game is gone.
bool sendOutcome(int toGame, const Outcome& outcome);

} // namespace kestrova::fetch
