// SPDX-License-Identifier: Apache-2.0
// Timings of the plain-C++ core at 1x, 10x and 100x its usual input: listing
// search replies (with the duplicate test), reading tag values, the single-port
// and multi-port loaders, assembling set commands and patching device-list lines. Each family
// reports its complexity fit, which must stay linear. The loaders run once per
// window of the catalogue.

#include "catalogue.h"
#include "devicelist.h"
#include "loaders.h"
#include "tagmessage.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// ---- inputs ---------------------------------------------------------------------------------------

std::string searchReply(int i)
{
    const std::string a = std::to_string((i >> 16) & 0xFF);
    const std::string b = std::to_string((i >> 8) & 0xFF);
    const std::string c = std::to_string(i & 0xFF);
    return "AX 0.80.194." + a + "." + b + "." + c + "/10." + a + "." + b + "." + c + "/PLANT-A" + std::to_string(i) +
           "\r";
}

std::vector<std::string> searchReplies(int count)
{
    std::vector<std::string> replies;
    replies.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        replies.push_back(searchReply(i));
    return replies;
}

// A value a device would plausibly send for the field.
std::string valueFor(const lv::FieldDef& field, int serial)
{
    if (field.kind == lv::ControlKind::ComboBox)
        return std::to_string(serial % std::max<std::size_t>(1, field.entries.size()));
    const std::string& tag = field.tag;
    if (tag.find("IP") != std::string::npos || tag.find("Gateway") != std::string::npos)
        return "192.168.1." + std::to_string(serial % 250 + 1);
    if (tag.find("Mask") != std::string::npos)
        return "255.255.255.0";
    if (tag.find("DeviceID") != std::string::npos)
        return "PLANT-A" + std::to_string(serial);
    if (tag.find("Pass") != std::string::npos || tag.find("Access") != std::string::npos)
        return "secret";
    return std::to_string(4000 + serial % 1000);
}

// The configuration reply of a device of the window: head, the MAC item, every
// field's item in screen order, the "MAC" marker and the model. `scale` - 1
// blocks of items the window does not read are put before the real ones, so
// the reply grows while what the loader looks for stays the same.
std::string configurationReply(const lv::WindowDef& window, int scale)
{
    std::string reply = "AG VER:1.22\r";
    int filler = 0;
    for (int s = 1; s < scale; ++s)
        for (std::size_t f = 0; f < window.fields.size(); ++f, ++filler)
            reply += lv::tagItem("Unused" + std::to_string(filler), "192.168.100.200");
    reply += lv::tagItem("MacAddress", "00:50:C2:00:01:02");
    int serial = 0;
    for (const lv::FieldDef& field : window.fields)
        if (!field.tag.empty())
            reply += lv::tagItem(field.tag, valueFor(field, ++serial));
    return reply + "\rMAC\rMODEL: KR-7600";
}

const lv::WindowDef& fourPortWindow()
{
    static const lv::WindowDef* window = lv::findWindow("frm4PortSetup");
    return *window;
}

// ---- search reply -> device line ---------------------------------------------------------------------

// N distinct replies into an empty list: parsing, the duplicate test and the line (asked for as the
// window asks for it) per reply.
void BM_DeviceListAdd(benchmark::State& state)
{
    const std::vector<std::string> replies = searchReplies(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        lv::DeviceList list;
        for (const std::string& r : replies) {
            const int index = list.add(r);
            benchmark::DoNotOptimize(list.line(static_cast<std::size_t>(index)));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeviceListAdd)->Arg(100)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN);

// One new reply into a list that already holds 10,000, and the same reply again
// (the duplicate test alone).
void BM_DeviceListAddAt10000(benchmark::State& state)
{
    const std::vector<std::string> listed = searchReplies(10000);
    const std::vector<std::string> fresh = [] {
        std::vector<std::string> r;
        for (int i = 0; i < 1000; ++i)
            r.push_back(searchReply(100000 + i));
        return r;
    }();
    for (auto _ : state) {
        state.PauseTiming();
        lv::DeviceList list;
        for (const std::string& r : listed)
            list.add(r);
        state.ResumeTiming();
        for (const std::string& r : fresh)
            benchmark::DoNotOptimize(list.add(r));
        for (const std::string& r : fresh)
            benchmark::DoNotOptimize(list.add(r));
    }
    state.SetItemsProcessed(state.iterations() * 2 * 1000);
}
BENCHMARK(BM_DeviceListAddAt10000);

// ---- GetTagValue ------------------------------------------------------------------------------

// The last item of a 4-port reply, and a tag it does not hold; the reply at 1x, 10x, 100x its size.
void BM_GetTagValueLastItem(benchmark::State& state)
{
    const std::string reply = configurationReply(fourPortWindow(), static_cast<int>(state.range(0)));
    const std::string& tag = fourPortWindow().fields.back().tag;
    for (auto _ : state) {
        lv::TagValue v = lv::GetTagValue(reply, tag);
        if (!v.present)
            state.SkipWithError("the last item was not found");
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
    state.SetComplexityN(static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_GetTagValueLastItem)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

void BM_GetTagValueMissing(benchmark::State& state)
{
    const std::string reply = configurationReply(fourPortWindow(), static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(lv::GetTagValue(reply, "COM9_Baud"));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
    state.SetComplexityN(static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_GetTagValueMissing)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

// Every item of the 4-port window read from its reply, as a multi-port load does.
void BM_GetTagValueEveryItem(benchmark::State& state)
{
    const lv::WindowDef& window = fourPortWindow();
    const std::string reply = configurationReply(window, static_cast<int>(state.range(0)));
    for (auto _ : state)
        for (const lv::FieldDef& field : window.fields)
            if (!field.tag.empty())
                benchmark::DoNotOptimize(lv::GetTagValue(reply, field.tag));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
    state.SetComplexityN(static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_GetTagValueEveryItem)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

// ---- single-port loaders ------------------------------------------------------------------------

void BM_LoadSinglePort(benchmark::State& state, const std::string& windowName)
{
    const lv::WindowDef* window = lv::findWindow(windowName);
    const std::string reply = configurationReply(*window, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(lv::loadSinglePort(*window, reply));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
    state.SetComplexityN(static_cast<int64_t>(reply.size()));
}

// ---- multi-port loaders ------------------------------------------------------------------------

// A multi-port window loaded from its device's reply, all of its ports read.
void BM_LoadMultiPort(benchmark::State& state, const std::string& windowName)
{
    const lv::WindowDef* window = lv::findWindow(windowName);
    const std::string reply = configurationReply(*window, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        lv::LoadedValues snapshot;
        benchmark::DoNotOptimize(lv::loadMultiPort(*window, reply, window->portCount, snapshot));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
    state.SetComplexityN(static_cast<int64_t>(reply.size()));
}

// ---- set command ---------------------------------------------------------------------------------

// A set command whose every field changed: the 4-port window's fields, 10 and 100 times as many.
void BM_AssembleSetCommand(benchmark::State& state)
{
    std::vector<lv::FieldChange> fields;
    const int scale = static_cast<int>(state.range(0));
    int serial = 0;
    for (int s = 0; s < scale; ++s)
        for (const lv::FieldDef& field : fourPortWindow().fields)
            if (!field.tag.empty())
                fields.push_back({field.tag + (s ? std::to_string(s) : std::string()), valueFor(field, ++serial), ""});
    for (auto _ : state)
        benchmark::DoNotOptimize(
            lv::assembleSetCommand("00:50:C2:00:01:02", "192.168.1.10", "secret", lv::HeaderExtra::Nul, fields));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(fields.size()));
    state.SetComplexityN(static_cast<int64_t>(fields.size()));
}
BENCHMARK(BM_AssembleSetCommand)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

// ---- device-line patch ----------------------------------------------------------------------------

// A line whose device ID is 1x, 10x, 100x as long as a usual one.
std::string lineWithId(int scale)
{
    std::string id;
    for (int s = 0; s < scale; ++s)
        id += "PLANT-A0001";
    return lv::deviceListLine("00-50-C2-00-01-02", "192.168.1.10", id);
}

void BM_PatchIpColumn(benchmark::State& state)
{
    const std::string line = lineWithId(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(lv::patchIpColumn(line, "192.168.1.10", "10.0.0.7"));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
    state.SetComplexityN(static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_PatchIpColumn)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

void BM_PatchDeviceIdColumn(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    const std::string line = lineWithId(scale);
    std::string loadedId;
    for (int s = 0; s < scale; ++s)
        loadedId += "PLANT-A0001";
    for (auto _ : state)
        benchmark::DoNotOptimize(lv::patchDeviceIdColumn(line, loadedId, "LINE-B02"));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
    state.SetComplexityN(static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_PatchDeviceIdColumn)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

// One benchmark family per window of the catalogue, through its loader.
const bool kLoadersRegistered = [] {
    for (const lv::WindowDef& window : lv::windowCatalogue()) {
        const bool multi = window.isMultiPort();
        benchmark::RegisterBenchmark(((multi ? "BM_LoadMultiPort/" : "BM_LoadSinglePort/") + window.name).c_str(),
                                     multi ? BM_LoadMultiPort : BM_LoadSinglePort, window.name)
            ->Arg(1)
            ->Arg(10)
            ->Arg(100)
            ->Complexity(benchmark::oN);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
