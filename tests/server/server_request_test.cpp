// Reading a score post: query splitting, percent-decoding, UTF-8 and the
// field rules, without a socket in sight.
#include "server/querytext.h"
#include "server/scorepost.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kestrova::server;

std::string refusalOf(const std::string& query)
{
    const ScorePost post = readScorePost(query);
    EXPECT_FALSE(post.entry) << query;
    return post.refusal;
}

ScoreEntry entryOf(const std::string& query)
{
    const ScorePost post = readScorePost(query);
    EXPECT_TRUE(post.entry) << query << ": " << post.refusal;
    return post.entry.value_or(ScoreEntry{});
}

TEST(QueryText, PercentDecodingKeepsPlusAndRefusesBrokenEscapes)
{
    EXPECT_EQ(percentDecode("A%20b%2b%2B+c"), "A b+++c");
    EXPECT_EQ(percentDecode("%00x").value(), std::string("\0x", 2));
    EXPECT_EQ(percentDecode("%C3%A9"), "\xC3\xA9");
    EXPECT_EQ(percentDecode(""), "");
    EXPECT_FALSE(percentDecode("%"));
    EXPECT_FALSE(percentDecode("ab%4"));
    EXPECT_FALSE(percentDecode("%G1"));
    EXPECT_FALSE(percentDecode("%1G"));
}

TEST(QueryText, SplitsFieldsInOrderAndSkipsEmptyPieces)
{
    const auto fields = splitQuery("&a=1&&b&c=x=y&");
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].first, "a");
    EXPECT_EQ(fields[0].second, "1");
    EXPECT_EQ(fields[1].first, "b");
    EXPECT_EQ(fields[1].second, "");
    EXPECT_EQ(fields[2].first, "c");
    EXPECT_EQ(fields[2].second, "x=y");
    EXPECT_TRUE(splitQuery("").empty());
}

TEST(QueryText, Utf8CheckFollowsTheStandardAtEveryBoundary)
{
    for (const char* good : {"", "Ann", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
                             "\xED\x9F\xBF", "\xEE\x80\x80", "\xC2\x80", "\xE0\xA0\x80", "\xF0\x90\x80\x80"})
        EXPECT_TRUE(isValidUtf8(good)) << good;
    for (const char* bad : {"\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xE0\x9F\xBF",
                            "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xFF", "\xE2\x82", "A\xC3", "\xC3\x28", "\xE2\x28\xA1",
                            "\xF0\x9F\x98"})
        EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(std::string(bad));
}

TEST(ScorePost, TakesWhatTheGameSends)
{
    const ScoreEntry entry = entryOf("name=Ann%20%26%20Bo%2B&date=12%2F6%2F26&score=120");
    EXPECT_EQ(entry.name, "Ann & Bo+");
    EXPECT_EQ(entry.date, "12/6/26");
    EXPECT_EQ(entry.score, 120);

    EXPECT_EQ(entryOf("name=Guest&date=12.6.26&score=0").date, "12.6.26");
    EXPECT_EQ(entryOf("name=Guest&date=12.6.26&score=-42").score, -42);
    EXPECT_EQ(entryOf("score=7&date=1%2F2%2F27&name=X").name, "X");   // any order
}

TEST(ScorePost, AcceptsTheEdgesOfEveryRange)
{
    EXPECT_EQ(entryOf("name=a&score=1000000").score, 1000000);
    EXPECT_EQ(entryOf("name=a&score=-1000000").score, -1000000);
    EXPECT_EQ(entryOf("name=a&score=-0").score, 0);
    EXPECT_EQ(entryOf("name=" + std::string(255, 'n') + "&score=1").name.size(), 255u);
    // 85 three-byte letters: 255 bytes, though only 85 characters.
    std::string letters;
    for (int i = 0; i < 85; ++i)
        letters += "%E2%82%AC";
    EXPECT_EQ(entryOf("name=" + letters + "&score=1").name.size(), 255u);
    EXPECT_EQ(entryOf("date=" + std::string(64, '1') + "&score=1").date.size(), 64u);
    // Printable all the way to the ends of the control ranges.
    EXPECT_EQ(entryOf("name=%20~%C2%80%C2%A0&score=1").name, " ~\xC2\x80\xC2\xA0");
    EXPECT_EQ(entryOf("score=5").name, "");
    EXPECT_EQ(entryOf("score=5").date, "");
    EXPECT_EQ(entryOf("name=a&score=1&extra=%FF&cachebust").score, 1);   // other keys: only their escapes count
    EXPECT_EQ(entryOf("na%6De=b&score=1").name, "b");
    EXPECT_EQ(entryOf("score=3&score=x&name=first&name=second").name, "first");
    EXPECT_EQ(entryOf("score=3&score=x").score, 3);
    EXPECT_EQ(entryOf(std::string("name=a&score=1&pad=") + std::string(8192 - 19, 'p')).score, 1);
}

TEST(ScorePost, RefusesEachFaultWithItsOwnReason)
{
    EXPECT_EQ(refusalOf(""), "score is missing");
    EXPECT_EQ(refusalOf("name=Ann&date=1%2F1%2F26"), "score is missing");
    EXPECT_EQ(refusalOf("name=Ann&score="), "score is missing");
    EXPECT_EQ(refusalOf("name=Ann&score"), "score is missing");
    for (const char* score : {"12x", "x12", "1.5", "1e3", "%2B5", "%205", "5%20", "-", "--5", "0x10", "%00"})
        EXPECT_EQ(refusalOf(std::string("name=a&score=") + score), "score is not an integer") << score;
    for (const char* score : {"1000001", "-1000001", "2147483648", "99999999999999999999999", "-99999999999999999999"})
        EXPECT_EQ(refusalOf(std::string("name=a&score=") + score), "score is outside -1000000 to 1000000") << score;

    EXPECT_EQ(refusalOf("score=1&name=" + std::string(256, 'n')), "name is longer than 255 bytes");
    EXPECT_EQ(refusalOf("score=1&name=" + std::string(254, 'n') + "%C3%A9"), "name is longer than 255 bytes");
    for (const char* name : {"%00", "a%0D%0Ab", "%09", "%1B[2J", "%1F", "%7F", "x%0A"})
        EXPECT_EQ(refusalOf(std::string("score=1&name=") + name), "name holds a control character") << name;
    for (const char* date : {"1.1.26%00", "%0D%0A1.1.26", "%7F"})
        EXPECT_EQ(refusalOf(std::string("score=1&date=") + date), "date holds a control character") << date;
    for (const char* name : {"%FF", "%C0%AF", "%ED%A0%80", "%E2%82", "Ann%E9"})
        EXPECT_EQ(refusalOf(std::string("score=1&name=") + name), "name is not valid UTF-8") << name;
    EXPECT_EQ(refusalOf("score=1&date=" + std::string(65, '1')), "date is longer than 64 bytes");
    EXPECT_EQ(refusalOf("score=1&date=%FE"), "date is not valid UTF-8");

    EXPECT_EQ(refusalOf("score=1&name=A%ZZ"), "query has a broken percent escape");
    EXPECT_EQ(refusalOf("score=1&other=%"), "query has a broken percent escape");
    EXPECT_EQ(refusalOf(std::string("name=a&score=1&pad=") + std::string(8192 - 18, 'p')),
              "query is longer than 8192 bytes");
}

} // namespace
