// Listing replies from thousands of devices: every add runs the duplicate test,
// which must stay a hash lookup rather than a scan of what is already listed.

#include "devicelist.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> makeReplies(int count)
{
    std::vector<std::string> replies;
    replies.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::string hi = std::to_string((i >> 8) & 0xFF);
        const std::string lo = std::to_string(i & 0xFF);
        const std::string top = std::to_string((i >> 16) & 0xFF);
        replies.push_back("AX 0.80.194." + top + "." + hi + "." + lo + "/10." + top + "." + hi + "." + lo + "/DEV" +
                          std::to_string(i) + "\r");
    }
    return replies;
}

void BM_AddDistinct(benchmark::State& state)
{
    const std::vector<std::string> replies = makeReplies(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        lv::DeviceList list;
        for (const std::string& r : replies)
            benchmark::DoNotOptimize(list.add(r));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AddDistinct)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Complexity(benchmark::oN);
BENCHMARK(BM_AddDistinct)->Arg(10000)->Name("BM_AddDistinct_10000");

// 10,000 distinct replies, then every one of them again: the repeats are dropped.
void BM_AddThenReAdd(benchmark::State& state)
{
    const std::vector<std::string> replies = makeReplies(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        lv::DeviceList list;
        for (const std::string& r : replies)
            benchmark::DoNotOptimize(list.add(r));
        for (const std::string& r : replies)
            benchmark::DoNotOptimize(list.add(r));
        if (list.size() != replies.size())
            state.SkipWithError("duplicates were listed");
    }
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}
BENCHMARK(BM_AddThenReAdd)->Arg(10000);

// Only the repeats: a full list answering the probe again.
void BM_ReAddDuplicates(benchmark::State& state)
{
    const std::vector<std::string> replies = makeReplies(static_cast<int>(state.range(0)));
    lv::DeviceList list;
    for (const std::string& r : replies)
        list.add(r);
    for (auto _ : state) {
        for (const std::string& r : replies)
            benchmark::DoNotOptimize(list.add(r));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReAddDuplicates)->Arg(10000);

} // namespace

BENCHMARK_MAIN();
