// The random pick: every line once a round, and never the same line twice running.
#include "query/randompick.h"

#include <gtest/gtest.h>

#include <algorithm>

using moviecat::query::RandomPick;

namespace {

TEST(RandomPick, EachRoundPicksEveryLineOnceAndNoLineTwiceRunning)
{
    for (const std::size_t lines : {1u, 2u, 3u, 7u, 100u}) {
        for (std::uint64_t seed = 0; seed < 50; ++seed) {
            RandomPick pick(seed);
            pick.reset(lines);
            std::optional<std::size_t> last;
            for (int round = 0; round < 4; ++round) {
                std::vector<std::size_t> picked;
                for (std::size_t i = 0; i < lines; ++i) {
                    const std::optional<std::size_t> line = pick.next();
                    ASSERT_TRUE(line);
                    ASSERT_LT(*line, lines);
                    if (lines > 1) {
                        ASSERT_NE(line, last) << lines << " lines, seed " << seed;
                    }
                    last = line;
                    picked.push_back(*line);
                }
                std::sort(picked.begin(), picked.end());
                EXPECT_TRUE(std::adjacent_find(picked.begin(), picked.end()) == picked.end())
                    << lines << " lines, seed " << seed << ", round " << round;
            }
        }
    }
}

TEST(RandomPick, AnEmptyListPicksNothing)
{
    RandomPick pick(1);
    EXPECT_FALSE(pick.next());
    pick.reset(3);
    pick.next();
    pick.reset(0);
    EXPECT_FALSE(pick.next());
}

TEST(RandomPick, ANewListStartsAFreshRound)
{
    RandomPick pick(7);
    pick.reset(5);
    pick.next();
    pick.next();
    pick.reset(2);
    const std::optional<std::size_t> first = pick.next();
    const std::optional<std::size_t> second = pick.next();
    ASSERT_TRUE(first && second);
    EXPECT_LT(*first, 2u);
    EXPECT_EQ(*first + *second, 1u) << "both lines of the new list in its first round";
}

TEST(RandomPick, EveryLineCanComeFirst)
{
    std::vector<int> firsts(4, 0);
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        RandomPick pick(seed);
        pick.reset(4);
        ++firsts[*pick.next()];
    }
    for (const int count : firsts)
        EXPECT_GT(count, 20) << "picks lean to some lines";
}

} // namespace
