// One line of the undo journal: the whole game state as 170 fields, each
// followed by "*". Written before every move, read back by undo.
#pragma once

#include "game/card.h"
#include "game/tableau.h"

#include <array>
#include <string>
#include <string_view>

namespace kestrova {

struct JournalRecord {
    struct Slot {
        int value = 0;
        bool faceUp = false;    // written as 1 when the slot is free
    };

    int score = 0;
    std::string bonusText;      // stored for the record's shape, never read back
    int dealpos = 0;
    int chain = 0;
    int drawcount = 0;
    int discard = 0;
    std::array<int, kCardCount + 1> deck{};     // positions 1..52
    std::array<Slot, kSlotCount + 1> tableau{};   // slots 1..28
    CoverTable covers{};

    friend bool operator==(const JournalRecord&, const JournalRecord&) = default;
};

std::string formatJournalRecord(const JournalRecord& record);

// Reads the fields front to back. A field that is not a number reads as 0 and
// a record cut short leaves the rest at 0: records come only from
// formatJournalRecord, so this is a guard, not a format.
JournalRecord parseJournalRecord(std::string_view text);

} // namespace kestrova
