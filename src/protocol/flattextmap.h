// SPDX-License-Identifier: Apache-2.0
#pragma once

// A hash map from text to a value: the entries in one dense array, found through a table of slots
// (open addressing with linear probing) that each hold an entry's index beside 32 bits of its key's
// hash. A search answered by tens of thousands of devices looks every answer up at least once: here
// that costs a probe into one small array, with no node to allocate or to chase, and the key is read
// only when its hash matches. Looked up with a string_view, so a datagram is looked up without
// copying it first.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv {

template <typename Value> class FlatTextMap {
public:
    std::size_t size() const { return m_entries.size(); }

    Value* find(std::string_view key)
    {
        const std::size_t at = locate(key, hashOf(key));
        return at == kNone ? nullptr : &m_entries[entryOf(at)].value;
    }
    const Value* find(std::string_view key) const { return const_cast<FlatTextMap*>(this)->find(key); }

    // The value of `key`, inserted as Value{} when the key is new.
    Value& operator[](std::string_view key)
    {
        const std::uint64_t hash = hashOf(key);
        if (const std::size_t at = locate(key, hash); at != kNone)
            return m_entries[entryOf(at)].value;
        if ((m_entries.size() + 1) * 2 > m_slots.size())
            grow();
        m_entries.push_back(Entry{std::string(key), hash, Value{}});
        place(hash, m_entries.size() - 1);
        return m_entries.back().value;
    }

    // Removes `key`; false when it was not there.
    bool erase(std::string_view key)
    {
        const std::size_t at = locate(key, hashOf(key));
        if (at == kNone)
            return false;
        const std::size_t index = entryOf(at);
        removeSlot(at);
        // The last entry fills the gap, and its slot is pointed at its new place.
        const std::size_t last = m_entries.size() - 1;
        if (index != last) {
            const std::size_t moved = slotOfEntry(last);
            m_entries[index] = std::move(m_entries[last]);
            m_slots[moved] = slotWord(m_entries[index].hash, index);
        }
        m_entries.pop_back();
        return true;
    }

    void clear()
    {
        m_entries.clear();
        m_slots.clear();
    }

private:
    struct Entry {
        std::string key;
        std::uint64_t hash;
        Value value;
    };

    // A slot: 0 when empty, else the upper 32 bits of the key's hash above the entry's index + 1.
    using Slot = std::uint64_t;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    static std::uint64_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }
    static Slot slotWord(std::uint64_t hash, std::size_t index)
    {
        return (hash & 0xFFFFFFFF00000000ull) | (static_cast<std::uint64_t>(index) + 1);
    }
    std::size_t entryOf(std::size_t at) const { return static_cast<std::size_t>(m_slots[at] & 0xFFFFFFFFull) - 1; }
    std::size_t mask() const { return m_slots.size() - 1; }
    std::size_t home(std::uint64_t hash) const { return static_cast<std::size_t>(hash) & mask(); }

    std::size_t locate(std::string_view key, std::uint64_t hash) const
    {
        if (m_slots.empty())
            return kNone;
        const std::uint64_t tag = hash & 0xFFFFFFFF00000000ull;
        for (std::size_t at = home(hash); m_slots[at] != 0; at = (at + 1) & mask())
            if ((m_slots[at] & 0xFFFFFFFF00000000ull) == tag && m_entries[entryOf(at)].key == key)
                return at;
        return kNone;
    }

    std::size_t slotOfEntry(std::size_t index) const
    {
        std::size_t at = home(m_entries[index].hash);
        while (entryOf(at) != index)
            at = (at + 1) & mask();
        return at;
    }

    void place(std::uint64_t hash, std::size_t index)
    {
        std::size_t at = home(hash);
        while (m_slots[at] != 0)
            at = (at + 1) & mask();
        m_slots[at] = slotWord(hash, index);
    }

    // Backward-shift deletion: the slots after the hole that are found through it move into it, so
    // no lookup ever needs a tombstone.
    void removeSlot(std::size_t hole)
    {
        for (std::size_t next = (hole + 1) & mask(); m_slots[next] != 0; next = (next + 1) & mask()) {
            const std::size_t from = home(m_entries[entryOf(next)].hash);
            if (((next - from) & mask()) >= ((next - hole) & mask())) {
                m_slots[hole] = m_slots[next];
                hole = next;
            }
        }
        m_slots[hole] = 0;
    }

    void grow()
    {
        m_slots.assign(m_slots.empty() ? 16 : m_slots.size() * 2, 0);
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            place(m_entries[i].hash, i);
    }

    std::vector<Entry> m_entries;
    std::vector<Slot> m_slots; // a power of two in size, at most half full
};

} // namespace lv
