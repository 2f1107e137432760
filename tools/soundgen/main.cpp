// soundgen: writes the game's eight sound clips as WAVE files into a folder.
//   soundgen OUTPUT-FOLDER
#include "clips.h"
#include "wavfile.h"

#include <exception>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: soundgen OUTPUT-FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    try {
        for (const kestrova::ClipSpec& clip : kestrova::clipTable()) {
            const auto samples = kestrova::synthesiseClip(clip);
            const auto bytes = kestrova::encodeWav(samples, {clip.sampleRate, clip.bitsPerSample});
            const std::string error = kestrova::writeBytesToFile(folder + "/" + std::string(clip.name) + ".wav", bytes);
            if (!error.empty()) {
                std::cerr << "soundgen: " << error << '\n';
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "soundgen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
