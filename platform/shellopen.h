// Hands a web address or document to the desktop's opener (the user's browser
// for web addresses), the way a shell "open" would.
#pragma once

#include <QString>

#include <functional>

namespace kestrova {

// Opens `target` exactly as written; true when the desktop accepted it. Never
// waits for the opened program.
bool shellOpen(const QString& target);

// Where shellOpen sends its targets. Tests install a recorder so that no
// browser is started; an empty function puts the desktop's opener back.
using ShellOpener = std::function<bool(const QString& target)>;
void setShellOpener(ShellOpener opener);

} // namespace kestrova
