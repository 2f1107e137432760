// The server host and the development routes, as the environment sets them.
#include "online/serverconfig.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

class ServerConfigTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        qunsetenv("KESTROVA_SERVER");
        qunsetenv("KESTROVA_CONNECT_TO");
    }
};

TEST_F(ServerConfigTest, TheEnvironmentOverridesTheBuiltInHostUnlessBlank)
{
    qunsetenv("KESTROVA_SERVER");
    EXPECT_EQ(ServerConfig::host(), QStringLiteral(KESTROVA_SERVER_HOST));
    qputenv("KESTROVA_SERVER", " scores.example.org ");
    EXPECT_EQ(ServerConfig::host(), "scores.example.org");
    qputenv("KESTROVA_SERVER", "  ");
    EXPECT_EQ(ServerConfig::host(), QStringLiteral(KESTROVA_SERVER_HOST));
}

TEST_F(ServerConfigTest, RoutesTakeCurlsFourPartFormAndAnyMalformedOneSpoilsTheList)
{
    for (const char* route : {"localhost:80:127.0.0.1:8080", "::127.0.0.1:8080", "localhost:80::", ":::",
                              "[::1]:80:[::1]:8080", "example.org:80:localhost:65535"})
        EXPECT_TRUE(ServerConfig::isRoute(route)) << route;
    for (const char* route : {"", "nonsense", "localhost:80", "localhost:80:127.0.0.1",
                              "localhost:80:127.0.0.1:notaport", "localhost:80:127.0.0.1:0",
                              "localhost:80:127.0.0.1:65536", "localhost:80:127.0.0.1:8080:1",
                              "localhost:80:[::1:8080", "local host:80:127.0.0.1:8080"})
        EXPECT_FALSE(ServerConfig::isRoute(route)) << route;

    qunsetenv("KESTROVA_CONNECT_TO");
    EXPECT_EQ(ServerConfig::connectRoutes(), QList<QByteArray>());
    qputenv("KESTROVA_CONNECT_TO", "localhost:80:127.0.0.1:8080 , other:80:127.0.0.1:8081");
    EXPECT_EQ(ServerConfig::connectRoutes(),
              (QList<QByteArray>{"localhost:80:127.0.0.1:8080", "other:80:127.0.0.1:8081"}));
    qputenv("KESTROVA_CONNECT_TO", "localhost:80:127.0.0.1:8080,localhost:80");
    EXPECT_EQ(ServerConfig::connectRoutes(), std::nullopt);
}

} // namespace
} // namespace kestrova
