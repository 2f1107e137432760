// Starts another program on its own, the way a shell "open" with parameters
// would: the caller never waits for it and it outlives the caller.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace kestrova {

// Starts `program` with `parameters`, a command-line text split at blanks as
// a shell would ("/SP- /silent /noicons" gives three arguments), in the
// current folder. True once the program is running; false when it could not
// be started (missing, not executable).
bool startDetached(const QString& program, const QString& parameters);

// Where startDetached sends its programs. Tests install a recorder so that
// nothing is started; an empty function puts the real start back.
using DetachedStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
void setDetachedStarter(DetachedStarter starter);

} // namespace kestrova
