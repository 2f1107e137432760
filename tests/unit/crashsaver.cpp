// crash_saver: saves a settings file or a tally file again and again, for the
// crash-injection test to kill at random moments.
//   crash_saver ini|tally FILE FIRST [COUNT]
// Save n (FIRST, FIRST + 1, ...) writes settingsAfterSave(n) or tallyOfSave(n);
// without COUNT it never stops.
#include "crashsaver.h"
#include "platform/inifile.h"
#include "tally/tallyfile.h"

#include <cstdlib>
#include <iostream>
#include <string_view>

int main(int argc, char** argv)
{
    using namespace kestrova;
    if (argc < 4) {
        std::cerr << "usage: crash_saver ini|tally FILE FIRST [COUNT]\n";
        return 2;
    }
    const std::string_view mode = argv[1];
    const long first = std::atol(argv[3]);
    const long count = argc > 4 ? std::atol(argv[4]) : -1;
    try {
        for (long n = first; count < 0 || n < first + count; ++n) {
            if (mode == "ini")
                IniFile(argv[2]).writeString("kestrova", "Counter", testing::savePayload(n));
            else
                TallyFile(argv[2]).save(testing::tallyOfSave(n));
        }
    } catch (const std::exception& error) {
        std::cerr << "crash_saver: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
