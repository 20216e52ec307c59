#include <gtest/gtest.h>

#include <QSet>

#include "domains/shards.h"
#include "vocab/text.h"

using namespace zorvan;
using zorvan::S;

TEST(Shards, FourShardsAreDisjointCoverTheListAndShareItFairly) {
    QSet<QString> seen;
    for (int k = 1; k <= 4; ++k) {
        int inThis = 0;
        for (int i = 0; i < 1000; ++i) {
            const QString d = S("site%1.example").arg(i);
            if (!inShard(d, {k, 4})) continue;
            EXPECT_FALSE(seen.contains(d)) << d.toStdString();
            seen.insert(d);
            ++inThis;
        }
        EXPECT_GT(inThis, 180);
        EXPECT_LT(inThis, 320);
    }
    EXPECT_EQ(seen.size(), 1000);
}

TEST(Shards, TheShardIsTheDocumentedHashOfTheLowerCasedName) {
    // Machines running different builds must agree: values of the formula computed elsewhere
    // (SHA-1, first 8 bytes big-endian, mod N, plus one).
    EXPECT_EQ(shardOf(S("example.com"), 4), 1);
    EXPECT_EQ(shardOf(S("Example.COM"), 7), 4);
    EXPECT_EQ(shardOf(S("zorvan.cn"), 4), 3);
    EXPECT_EQ(shardOf(S("例子.中国"), 7), 6);
    for (const char* bad :
         {"0/4", "5/4", "1/0", "-1/4", "/4", "1/4/2", " 1/4", "99999999999/99999999999"})
        EXPECT_FALSE(parseShard(S(bad))) << bad;
    EXPECT_EQ(parseShard(S("4/4"))->index, 4);
}

TEST(Shards, AListFileLeavesOutBlankLinesAndCommentsAndKeepsLineNumbers) {
    const auto entries =
        domainFileEntries("# my sites\r\na.example\r\n\r\n   \n  b.example  \n\t# old\nbad\ttab");
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].line, 2);
    EXPECT_EQ(entries[1].line, 5);
    EXPECT_EQ(entries[1].domain, S("b.example"));
    // A tab inside a domain stays, for the command to refuse with the line's number.
    EXPECT_EQ(entries[2].line, 7);
    EXPECT_EQ(entries[2].domain, S("bad\ttab"));
}
