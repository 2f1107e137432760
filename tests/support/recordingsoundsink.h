// A sound sink for tests: keeps the names it was asked to play, in order.
#pragma once

#include "platform/soundsink.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

class RecordingSoundSink : public SoundSink {
public:
    void play(std::string_view name) override { played.emplace_back(name); }

    std::vector<std::string> played;
};

} // namespace kestrova
