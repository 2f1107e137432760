// A sound module of another agreement than the program's, as a self-updated
// program may find beside it: its entry point has another name, and calling
// it would crash the caller.
#include "platform/soundmodule.h"

extern "C" __attribute__((visibility("default"))) const KestrovaSoundModule* kestrova_sound_module_v0()
{
    return nullptr;
}
