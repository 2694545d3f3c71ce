// SPDX-License-Identifier: Apache-2.0
// The flat text map against std::map as its model, over long random runs of inserts, lookups and
// erasures on a small key space, so that probe chains wrap, grow and shift back on erasure.

#include "flattextmap.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace lv {
namespace {

struct RunCase {
    int keys;       // size of the key space
    int operations; // random operations in the run
    unsigned seed;
};

class FlatTextMapRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(FlatTextMapRun, AgreesWithAnOrderedMapAfterEveryOperation)
{
    const RunCase run = GetParam();
    std::mt19937 random(run.seed);
    FlatTextMap<int> map;
    std::map<std::string, int> model;
    // Keys of every length around the short-string limit, so both kinds of string move between slots.
    const auto key = [](int k) { return std::to_string(k) + std::string(static_cast<std::size_t>(k % 23), 'k'); };
    for (int op = 0; op < run.operations; ++op) {
        const std::string k = key(static_cast<int>(random() % static_cast<unsigned>(run.keys)));
        switch (random() % 3) {
        case 0:
            map[k] += op;
            model[k] += op;
            break;
        case 1:
            ASSERT_EQ(map.erase(k), model.erase(k) == 1) << k;
            break;
        default: {
            const int* found = map.find(k);
            const auto it = model.find(k);
            ASSERT_EQ(found != nullptr, it != model.end()) << k;
            if (found) {
                ASSERT_EQ(*found, it->second) << k;
            }
        }
        }
        ASSERT_EQ(map.size(), model.size());
    }
    // Every key the model holds is found with its value, and no other key is.
    for (int k = 0; k < run.keys; ++k) {
        const auto it = model.find(key(k));
        const int* found = map.find(key(k));
        ASSERT_EQ(found != nullptr, it != model.end()) << key(k);
        if (found) {
            EXPECT_EQ(*found, it->second);
        }
    }
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_EQ(map.find(key(0)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Runs, FlatTextMapRun,
                         ::testing::Values(RunCase{4, 2000, 1}, RunCase{40, 20000, 2}, RunCase{3000, 60000, 3},
                                           RunCase{50000, 150000, 4}));

} // namespace
} // namespace lv
