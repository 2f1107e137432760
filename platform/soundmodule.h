// What the sound module (kestrova-sound.so) and the program agree on. The
// module holds everything that touches Qt Multimedia, so that the multimedia
// libraries and the twenty-odd audio and network libraries under them are
// mapped only when the sound player loads its clips: never at start-up, in a
// silenced run or where no sound server answers. Only plain C types and
// SoundEffect cross the boundary.
#pragma once

#include "platform/soundeffect.h"

#include <cstddef>

extern "C" {

// The module's one entry point, with the module's functions.
struct KestrovaSoundModule {
    // Whether the system has an audio output to play through.
    bool (*hasOutput)();
    // A new clip of that output for the resource path `source` (UTF-16,
    // `length` code units, no terminator needed); the caller owns it and
    // deletes it through SoundEffect's virtual destructor.
    kestrova::SoundEffect* (*makeEffect)(const char16_t* source, std::size_t length);
};

} // extern "C"

// The entry point's name carries the number of this agreement: the layout
// above and SoundEffect's. Raise it with any change to either. The self-update
// hands over to whatever installer the server sends, which may bring a new
// executable and leave the old module beside it (or none), so a program may
// meet a module of another release: with the same agreement it plays through
// it, and with another it finds no entry of its name and stays silent instead
// of calling into something built for another interface. Both sides use the
// system's Qt libraries, whichever release built them.
#define KESTROVA_SOUND_MODULE_ENTRY kestrova_sound_module_v1
#define KESTROVA_SOUND_MODULE_STRING2(name) #name
#define KESTROVA_SOUND_MODULE_STRING(name) KESTROVA_SOUND_MODULE_STRING2(name)
#define KESTROVA_SOUND_MODULE_ENTRY_NAME KESTROVA_SOUND_MODULE_STRING(KESTROVA_SOUND_MODULE_ENTRY)

// The module's file name, as the program looks for it.
#define KESTROVA_SOUND_MODULE_FILE "kestrova-sound.so"

using KestrovaSoundModuleEntry = const KestrovaSoundModule* (*)();
