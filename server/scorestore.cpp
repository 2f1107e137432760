// Chooses the store that a location names.
#include "server/scorestore.h"

#include "server/postgresscorestore.h"
#include "server/sqlitescorestore.h"

namespace kestrova::server {

bool isPostgresqlLocation(const std::string& location)
{
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<ScoreStore> openScoreStore(const std::string& location)
{
    if (isPostgresqlLocation(location))
        return std::make_unique<PostgresScoreStore>(location);
    return std::make_unique<SqliteScoreStore>(location);
}

} // namespace kestrova::server
