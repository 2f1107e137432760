// The help window's five section texts, compiled into the program from the
// files in resources/help. Each starts with its heading and an empty line.
#pragma once

#include <QString>

namespace kestrova {

// Numbered as the help window's section buttons are tagged, so that a box's
// name is "memo" followed by the number.
enum class HelpSection { Overview = 1, GamePlay = 3, Scoring = 4, History = 5, License = 6 };

inline constexpr HelpSection kHelpSections[] = {HelpSection::Overview, HelpSection::GamePlay, HelpSection::Scoring,
                                                HelpSection::History, HelpSection::License};

// The section's text, UTF-8 decoded, with line ends as "\n".
QString helpSectionText(HelpSection section);

} // namespace kestrova
