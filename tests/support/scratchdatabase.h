// A database of its own for each server test or benchmark run: an SQLite file
// in a scratch folder, or a fresh database in the throwaway PostgreSQL
// cluster that tests/server/pgcluster.sh runs.
#pragma once

#include "support/loopbackhttp.h"
#include "support/tempfolder.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include <stdlib.h>
#include <unistd.h>

namespace kestrova::testing {

enum class Backend { Sqlite, Postgresql };

inline std::string backendName(Backend backend)
{
    return backend == Backend::Sqlite ? "SQLite" : "PostgreSQL";
}

// How GoogleTest shows a test's backend.
inline void PrintTo(Backend backend, std::ostream* out)
{
    *out << backendName(backend);
}

// What `pgcluster.sh start STATE` wrote into STATE: the folder of the
// cluster's socket. Throws when the cluster was not started.
inline std::string clusterSocketFolder(const std::filesystem::path& state)
{
    std::ifstream in(state / "socketdir");
    std::string folder;
    if (!std::getline(in, folder) || folder.empty())
        throw std::runtime_error("no PostgreSQL cluster: " + (state / "socketdir").string() +
                                 " is missing (ctest starts one through the fixture pgcluster)");
    return folder;
}

inline std::string clusterUrl(const std::string& socketFolder, const std::string& database)
{
    return "postgresql://kestrova@/" + database + "?host=" + socketFolder;
}

// Runs `sql` as the cluster's owner; throws with the server's reason.
inline void runAsOwner(const std::string& url, const std::string& sql)
{
    const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(url.c_str()), &PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw std::runtime_error("cannot reach the test cluster: " + std::string(PQerrorMessage(connection.get())));
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), sql.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error(sql + ": " + PQerrorMessage(connection.get()));
}

class ScratchDatabase {
public:
    // For PostgreSQL, `clusterState` is the folder that pgcluster.sh start
    // wrote into.
    ScratchDatabase(Backend backend, const std::filesystem::path& clusterState = {}) : backend_(backend)
    {
        if (backend_ == Backend::Sqlite) {
            location_ = (folder_ / "scores.db").string();
            return;
        }
        static std::atomic<int> made{0};
        name_ = "t" + std::to_string(::getpid()) + "_" + std::to_string(made++);
        socketFolder_ = clusterSocketFolder(clusterState);
        runAsOwner(clusterUrl(socketFolder_, "kestrova"), "CREATE DATABASE " + name_);
        location_ = clusterUrl(socketFolder_, name_);
    }
    ~ScratchDatabase()
    {
        if (!name_.empty()) {
            try {
                runAsOwner(clusterUrl(socketFolder_, "kestrova"), "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
            } catch (const std::exception&) {
                // The cluster is thrown away as a whole afterwards.
            }
        }
    }
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    Backend backend() const { return backend_; }
    // What kestrova-server's --db takes.
    const std::string& location() const { return location_; }
    // A folder for the test's other files.
    const std::filesystem::path& folder() const { return folder_.path(); }

    // Runs `sql` in the database the way an administrator's shell would,
    // past the server's store.
    void execute(const std::string& sql) const
    {
        if (backend_ == Backend::Postgresql)
            return runAsOwner(location_, sql);
        sqlite3* db = nullptr;
        const int opened = sqlite3_open(location_.c_str(), &db);
        char* error = nullptr;
        const int done = opened == SQLITE_OK ? sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) : opened;
        const std::string reason = error ? error : sqlite3_errstr(done);
        sqlite3_free(error);
        sqlite3_close(db);
        if (done != SQLITE_OK)
            throw std::runtime_error(sql + ": " + reason);
    }

private:
    Backend backend_;
    TempFolder folder_;
    std::string location_;
    std::string name_;
    std::string socketFolder_;
};

// A cluster of its own for a program run outside CTest (the benchmark),
// started and stopped with the same script as the tests' fixture.
class ThrowawayCluster {
public:
    ThrowawayCluster(const std::string& script, const std::filesystem::path& state, bool durable)
        : script_(script), state_(state)
    {
        std::vector<std::string> arguments{"/bin/bash", script_, "start", state_.string()};
        if (durable)
            arguments.push_back("--durable");
        const ProgramRun run = runProgram(arguments);
        if (run.exitCode != 0)
            throw std::runtime_error("pgcluster.sh start failed: " + run.err);
    }
    ~ThrowawayCluster() { runProgram({"/bin/bash", script_, "stop", state_.string()}); }
    ThrowawayCluster(const ThrowawayCluster&) = delete;
    ThrowawayCluster& operator=(const ThrowawayCluster&) = delete;

    const std::filesystem::path& state() const { return state_; }

private:
    std::string script_;
    std::filesystem::path state_;
};

} // namespace kestrova::testing
