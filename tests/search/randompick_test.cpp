// The random pick over the results list: every line once a round, and a list that
// changes starts a new round.
#include "search/randompick.h"

#include <gtest/gtest.h>
#include <set>

using moviecat::RandomPick;

namespace {

TEST(RandomPick, EveryLineOnceARoundThenAgain)
{
    struct Case {
        std::size_t lines;
        std::uint32_t seed;
    };
    const Case cases[] = {{1, 1}, {2, 7}, {5, 42}, {300, 3}};
    for (const Case &c : cases) {
        RandomPick picks(c.seed);
        picks.restart(c.lines);
        for (int round = 0; round < 3; ++round) {
            std::set<std::size_t> seen;
            for (std::size_t i = 0; i < c.lines; ++i) {
                const std::optional<std::size_t> line = picks.next();
                ASSERT_TRUE(line) << c.lines;
                EXPECT_LT(*line, c.lines);
                EXPECT_TRUE(seen.insert(*line).second) << "line " << *line << " twice";
            }
            EXPECT_EQ(seen.size(), c.lines) << "round " << round;
        }
    }
}

TEST(RandomPick, NothingFromAnEmptyListAndANewListForgetsTheRound)
{
    RandomPick picks(5);
    EXPECT_FALSE(picks.next());
    picks.restart(0);
    EXPECT_FALSE(picks.next());

    // Half a round of 10 lines, then the list shrinks to 3: only its lines come, each once.
    picks.restart(10);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(picks.next());
    picks.restart(3);
    std::set<std::size_t> seen;
    for (int i = 0; i < 3; ++i)
        seen.insert(picks.next().value_or(99));
    EXPECT_EQ(seen, (std::set<std::size_t>{0, 1, 2}));
}

TEST(RandomPick, TheOrderDiffersFromRoundToRound)
{
    // Not the lines in order, nor the same order each round (20! orders make a repeat
    // by chance practically impossible).
    RandomPick picks(11);
    picks.restart(20);
    std::vector<std::size_t> rounds[2];
    for (auto &round : rounds) {
        for (int i = 0; i < 20; ++i)
            round.push_back(*picks.next());
    }
    std::vector<std::size_t> inOrder(20);
    for (std::size_t i = 0; i < 20; ++i)
        inOrder[i] = i;
    EXPECT_NE(rounds[0], inOrder);
    EXPECT_NE(rounds[0], rounds[1]);
}

} // namespace
