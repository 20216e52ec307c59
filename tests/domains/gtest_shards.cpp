#include <gtest/gtest.h>

#include <QSet>

#include "domains/shards.h"
#include "vocab/text.h"

using namespace zorvan;

namespace {
using zorvan::S;
}  // namespace

TEST(Shards, FourShardsAreDisjointCoverTheListAndShareItFairly) {
    QStringList domains;
    for (int i = 0; i < 1000; ++i) domains.append(S("site%1.example").arg(i));
    QSet<QString> seen;
    for (int k = 1; k <= 4; ++k) {
        int inThis = 0;
        for (const QString& d : domains) {
            if (!inShard(d, {k, 4})) continue;
            EXPECT_FALSE(seen.contains(d)) << d.toStdString();
            seen.insert(d);
            ++inThis;
        }
        EXPECT_GT(inThis, 180);
        EXPECT_LT(inThis, 320);
    }
    EXPECT_EQ(seen.size(), domains.size());
}

TEST(Shards, TheShardIsTheDocumentedHashOfTheLowerCasedName) {
    // Machines running different builds must agree: the values come from the formula computed
    // elsewhere (sha1, first 8 bytes big-endian, mod N, plus one).
    EXPECT_EQ(shardOf(S("example.com"), 4), 1);
    EXPECT_EQ(shardOf(S("example.com"), 7), 4);
    EXPECT_EQ(shardOf(S("zorvan.cn"), 4), 3);
    EXPECT_EQ(shardOf(S("例子.中国"), 7), 6);
    EXPECT_EQ(shardOf(S("Example.COM"), 7), 4);
    EXPECT_EQ(shardOf(S("anything"), 1), 1);
}

TEST(Shards, OnlyKOfNWithKFromOneToN) {
    ASSERT_TRUE(parseShard(S("3/4")));
    EXPECT_EQ(parseShard(S("3/4"))->index, 3);
    EXPECT_EQ(parseShard(S("3/4"))->count, 4);
    EXPECT_TRUE(parseShard(S("1/1")));
    for (const char* bad : {"0/4", "5/4", "1/0", "-1/4", "1/", "/4", "1/4/2", " 1/4", "a/b", "99999999999/99999999999"})
        EXPECT_FALSE(parseShard(S(bad))) << bad;
}

TEST(Shards, AListFileLeavesOutBlankLinesAndCommentsAndKeepsLineNumbers) {
    const auto entries = domainFileEntries("# my sites\r\na.example\r\n\r\n   \n  b.example  \n\t# old\nbad\ttab\nc.example");
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].line, 2);
    EXPECT_EQ(entries[0].domain, S("a.example"));
    EXPECT_EQ(entries[1].line, 5);
    EXPECT_EQ(entries[1].domain, S("b.example"));
    // A tab inside a domain stays, for the command to refuse with the line's number.
    EXPECT_EQ(entries[2].line, 7);
    EXPECT_EQ(entries[2].domain, S("bad\ttab"));
    EXPECT_EQ(entries[3].line, 8);
    EXPECT_FALSE(readDomainFile(S("/nonexistent/list.txt")));
}
