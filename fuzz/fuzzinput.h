// SPDX-License-Identifier: Apache-2.0
#pragma once

// Cuts a fuzz input into chunks at every two-byte 0xFF 0xFF marker: a sequence of datagrams, or of
// steps, out of one input.
#include <string_view>
#include <vector>

inline std::vector<std::string_view> splitChunks(std::string_view input)
{
    static constexpr std::string_view kMarker = "\xFF\xFF";
    std::vector<std::string_view> chunks;
    for (;;) {
        const std::size_t at = input.find(kMarker);
        if (at == std::string_view::npos) {
            chunks.push_back(input);
            return chunks;
        }
        chunks.push_back(input.substr(0, at));
        input.remove_prefix(at + kMarker.size());
    }
}
