// Chooses the store that a location names.
#include "server/scorestore.h"

#include "server/sqlitescorestore.h"

namespace kestrova::server {

std::unique_ptr<ScoreStore> openScoreStore(const std::string& location)
{
    return std::make_unique<SqliteScoreStore>(location);
}

} // namespace kestrova::server
