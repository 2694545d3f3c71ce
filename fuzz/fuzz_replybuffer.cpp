// SPDX-License-Identifier: Apache-2.0
// ReplyBuffer and the completion rule over a sequence of datagrams. The first byte chooses the
// exchange (an Update's answer, or a configuration reply of one of a few devices); every chunk that
// follows is one datagram, its first byte how many times it arrives. The settle time is not waited
// for: what is checked holds at every append. A run makes at most kMaxAppends appends (enough to
// reach the buffer's bound with datagrams of 8.5 KB), and each append is checked in time proportional
// to the datagram, the gathered text as a whole once per chunk (and after every append while it is
// short), so that every run stays short.

#include "loaders.h"
#include "modeltable.h"
#include "replybuffer.h"
#include "tagmessage.h"

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include <QByteArray>
#include <QCoreApplication>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kMaxAppends = 32;
// Up to this length (a real reply is one or two KB) a reply that waits is tested for being whole after
// every append; past it, after the last datagram of each chunk.
constexpr std::size_t kWholeTestBytes = 2048;

// The MAC fields a configuration request may be for; the last is not a MAC field at all.
constexpr std::array<std::string_view, 4> kAskedFields = {"0.80.194.1.2.3", "0.80.194.1.2.9", "255.255.255.255.255.255",
                                                          "ABC"};

// A reply the window's check calls whole loads every item it reads, as GetTagValue finds it.
void checkWhole(const std::string& reply)
{
    const lv::ModelDispatch dispatch = lv::dispatchModel(lv::readModelVersion(reply).model);
    if (!dispatch.windowDef)
        return;
    const lv::WindowDef& window = *dispatch.windowDef;
    const int ports = window.isMultiPort() ? dispatch.portCount : 0;
    if (!lv::missingItems(window, reply, ports).empty())
        return;
    // Nor does it read a piece of a tag as its model or version.
    const lv::ModelVersion mv = lv::readModelVersion(reply);
    check(reply.find(lv::kModelMarker) == std::string::npos || mv.model.find_first_of("<>") == std::string::npos);
    check(reply.find(lv::kVersionMarker) == std::string::npos || mv.version.find_first_of("<>") == std::string::npos);
    lv::LoadedValues snapshot;
    const lv::LoadResult loaded =
        ports ? lv::loadMultiPort(window, reply, ports, snapshot) : lv::loadSinglePort(window, reply);
    for (const lv::FieldDef& field : window.fields)
        if (!field.tag.empty() && field.block <= ports && field.rule == lv::LoadRule::Text)
            check(lv::GetTagValue(reply, field.tag).present && loaded.loaded.count(field.tag) == 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    static lv::ReplyBuffer buffer;
    const bool configuration = (mode & 0x80) != 0;
    std::optional<lv::MacAddress> expected;
    if (configuration) {
        const std::string_view field = kAskedFields[mode % kAskedFields.size()];
        buffer.expectConfiguration(field);
        expected = lv::MacAddress::fromField(field, lv::MacAddress::FieldDigits::UpToThree);
    } else {
        buffer.clear();
    }
    check(buffer.text().empty() && !buffer.complete() && buffer.foreignReplies() == 0);

    bool gathering = false; // the reply was complete and takes more (keepGathering)
    std::string model;      // the text the buffer must hold
    bool modelMac = false;  // whether it holds "MAC"
    int foreign = 0;
    int appends = 0;
    for (const std::string_view chunk : splitChunks(input)) {
        const int times = chunk.empty() ? 1 : 1 + static_cast<unsigned char>(chunk[0]) % 64;
        const std::string_view datagram = chunk.empty() ? chunk : chunk.substr(1);
        const QByteArray bytes(datagram.data(), static_cast<qsizetype>(datagram.size()));
        for (int n = 0; n < times && appends < kMaxAppends; ++n, ++appends) {
            const bool wasComplete = buffer.complete();
            buffer.append(bytes);
            const std::string& text = buffer.text();
            check(text.size() <= lv::ReplyBuffer::kMaxBytes);
            if (gathering) {
                // An incomplete reply takes every datagram that fits, as it comes.
                if (model.size() + datagram.size() <= lv::ReplyBuffer::kMaxBytes)
                    model.append(datagram);
                check(text.size() == model.size());
                if (model.size() <= kWholeTestBytes || n + 1 == times)
                    checkWhole(model);
                continue;
            }
            if (wasComplete) {
                // A complete reply takes nothing more.
                check(buffer.complete() && text.size() == model.size());
                continue;
            }
            const bool accepted = !(model.empty() && (datagram.empty() || datagram.front() != 'A')) &&
                                  model.size() + datagram.size() <= lv::ReplyBuffer::kMaxBytes;
            if (accepted) {
                // "MAC" can only be new where the datagram starts or within two characters before it.
                const std::size_t from = model.size() < 2 ? 0 : model.size() - 2;
                model.append(datagram);
                modelMac = modelMac || model.find("MAC", from) != std::string::npos;
            }
            if (buffer.foreignReplies() != foreign) {
                // Set aside: it held "MAC" and a MacAddress that names another device.
                check(configuration && accepted && buffer.foreignReplies() == foreign + 1);
                check(lv::replyHoldsMac(model) && lv::findOutsideItems(model, lv::kModelMarker) != std::string::npos);
                const lv::TagValue mac = lv::GetTagValue(model, lv::kMacAddressTag);
                check(mac.present && expected);
                const auto named = lv::MacAddress::fromDeviceText(mac.value);
                check(named && *named != *expected);
                check(text.empty() && !buffer.complete());
                model.clear();
                modelMac = false;
                ++foreign;
                continue;
            }
            // The same text as the model: its length, and the datagram just taken at its end.
            check(text.size() == model.size());
            if (accepted)
                check(text.compare(text.size() - datagram.size(), datagram.size(), datagram) == 0);
            // Never a datagram that does not start with "A" at the front.
            check(text.empty() || text.front() == 'A');
            if (buffer.complete()) {
                check(text == model && lv::replyHoldsMac(text));
                checkWhole(text);
                if (configuration && (mode & 0x40) != 0) {
                    // As a request does when items its window reads are missing.
                    buffer.keepGathering();
                    gathering = true;
                }
                if (configuration) {
                    // Without waiting, only a reply with its MacAddress and model completes, and
                    // never one that names another device.
                    const lv::TagValue mac = lv::GetTagValue(text, lv::kMacAddressTag);
                    check(mac.present && lv::findOutsideItems(text, lv::kModelMarker) != std::string::npos);
                    const auto named = lv::MacAddress::fromDeviceText(mac.value);
                    check(!expected || !named || *named == *expected);
                }
            } else if (modelMac && (model.size() <= kWholeTestBytes || n + 1 == times || appends + 1 == kMaxAppends)) {
                // An Update's answer is complete on "MAC"; a configuration reply with "MAC", its
                // MacAddress and "MODEL: " is complete or set aside.
                check(configuration && !(lv::GetTagValue(model, lv::kMacAddressTag).present &&
                                         lv::findOutsideItems(model, lv::kModelMarker) != std::string::npos));
            }
        }
        // The whole text, once the chunk's datagrams are in.
        check(buffer.text() == model);
    }
    return 0;
}
