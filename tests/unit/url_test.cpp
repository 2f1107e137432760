// The link component: which text reaches the desktop's opener, and when nothing does.
#include "platform/shellopen.h"
#include "platform/url.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace kestrova {
namespace {

class UrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setShellOpener([this](const QString& target) {
            opened.append(target);
            return accept;
        });
    }
    void TearDown() override { setShellOpener({}); }

    QStringList opened;
    bool accept = true;
};

TEST_F(UrlTest, EachTypeGivesItsPrefixAndNoneGivesTheTextAsWritten)
{
    TURL url;
    EXPECT_EQ(url.URLType(), TURL::utHttp);
    url.setURL(QStringLiteral("www.example.org/a?b=1&c"));
    const std::pair<TURL::TURLType, const char*> expected[] = {
        {TURL::utFile, "file://"},   {TURL::utFtp, "ftp://"},     {TURL::utGopher, "gopher://"},
        {TURL::utHttp, "http://"},   {TURL::utHttps, "https://"}, {TURL::utMailto, "mailto:"},
        {TURL::utNews, "news:"},     {TURL::utTelnet, "telnet:"}, {TURL::utWais, "wais:"},
        {TURL::utnone, ""},
    };
    for (const auto& [type, prefix] : expected) {
        url.setURLType(type);
        EXPECT_TRUE(url.OpenURL());
        EXPECT_EQ(opened.takeLast(), QLatin1String(prefix) + QStringLiteral("www.example.org/a?b=1&c"));
    }
}

TEST_F(UrlTest, AnEmptyAddressOpensNothingAndARefusalIsReported)
{
    TURL url;
    EXPECT_FALSE(url.OpenURL());
    EXPECT_TRUE(opened.isEmpty());

    accept = false;
    url.setURL(QStringLiteral("example.org"));
    EXPECT_FALSE(url.OpenURL());
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://example.org")});
}

} // namespace
} // namespace kestrova
