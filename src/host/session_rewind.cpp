// The rewind ring: the last half minute of states in memory. Only the newest is kept whole;
// each older one is what differs from its successor (XOR of the two, runs of equal 8-byte
// words left out), so memory and disk images that did not change cost almost nothing.
#include <cstring>

#include "host/session_internal.h"

namespace {

uint64_t word_at(const std::vector<uint8_t>& bytes, size_t word)
{
    uint64_t v = 0;
    if (word * 8 < bytes.size())
        std::memcpy(&v, bytes.data() + word * 8, 8);
    return v;
}

void put_u32(std::vector<uint8_t>* out, uint32_t v)
{
    const size_t at = out->size();
    out->resize(at + 4);
    std::memcpy(out->data() + at, &v, 4);
}

// Runs of (skip, count, count words) turning `newer` into `older`.
void encode_difference(const std::vector<uint8_t>& older, const std::vector<uint8_t>& newer,
                       std::vector<uint8_t>* delta)
{
    const size_t words = std::max(older.size(), newer.size()) / 8;
    const size_t common = std::min(older.size(), newer.size()) / 8;
    constexpr size_t block = 512; // words compared at once while they are equal
    delta->clear();
    size_t w = 0;
    while (w < words) {
        size_t start = w;
        while (w + block <= common && std::memcmp(older.data() + w * 8, newer.data() + w * 8, block * 8) == 0)
            w += block;
        while (w < words && word_at(older, w) == word_at(newer, w))
            ++w;
        const size_t skip = w - start;
        start = w;
        while (w < words && word_at(older, w) != word_at(newer, w))
            ++w;
        const size_t count = w - start;
        if (count == 0)
            break;
        put_u32(delta, uint32_t(skip));
        put_u32(delta, uint32_t(count));
        const size_t at = delta->size();
        delta->resize(at + count * 8);
        for (size_t i = 0; i < count; ++i) {
            const uint64_t x = word_at(older, start + i) ^ word_at(newer, start + i);
            std::memcpy(delta->data() + at + i * 8, &x, 8);
        }
    }
}

} // namespace

void rewind_push(RewindRing* ring, const uint8_t* state, size_t size, uint64_t frame)
{
    std::vector<uint8_t> incoming((size + 7) & ~size_t(7), 0);
    if (size)
        std::memcpy(incoming.data(), state, size);
    rewind_push_taking(ring, &incoming, size, frame);
}

void rewind_push_taking(RewindRing* ring, std::vector<uint8_t>* state, size_t size, uint64_t frame)
{
    std::vector<uint8_t>& incoming = *state;
    incoming.resize((size + 7) & ~size_t(7), 0);
    if (ring->has_newest) {
        RewindEntry entry;
        entry.frame = ring->newest_frame;
        entry.size = ring->newest_size;
        encode_difference(ring->newest, incoming, &entry.delta);
        entry.delta.shrink_to_fit();
        ring->delta_bytes += entry.delta.size();
        ring->older.push_back(std::move(entry));
    }
    ring->newest.swap(incoming);
    ring->newest_size = size;
    ring->newest_frame = frame;
    ring->has_newest = true;
    while (!ring->older.empty() &&
           (ring->older.size() > ring->max_entries || rewind_memory(*ring) > ring->max_bytes)) {
        ring->delta_bytes -= ring->older.front().delta.size();
        ring->older.erase(ring->older.begin());
    }
}

bool rewind_pop(RewindRing* ring)
{
    if (ring->older.empty())
        return false;
    RewindEntry entry = std::move(ring->older.back());
    ring->older.pop_back();
    ring->delta_bytes -= entry.delta.size();
    const size_t words = (entry.size + 7) / 8;
    if (ring->newest.size() < words * 8)
        ring->newest.resize(words * 8, 0);
    const uint8_t* p = entry.delta.data();
    const uint8_t* end = p + entry.delta.size();
    size_t w = 0;
    while (p + 8 <= end) {
        uint32_t skip, count;
        std::memcpy(&skip, p, 4);
        std::memcpy(&count, p + 4, 4);
        p += 8;
        w += skip;
        for (uint32_t i = 0; i < count && p + 8 <= end; ++i, ++w, p += 8) {
            uint64_t a, x;
            std::memcpy(&a, ring->newest.data() + w * 8, 8);
            std::memcpy(&x, p, 8);
            a ^= x;
            std::memcpy(ring->newest.data() + w * 8, &a, 8);
        }
    }
    ring->newest.resize(words * 8);
    ring->newest_size = entry.size;
    ring->newest_frame = entry.frame;
    return true;
}

void rewind_clear(RewindRing* ring)
{
    ring->older.clear();
    ring->delta_bytes = 0;
    ring->has_newest = false;
    ring->newest_size = 0;
    ring->newest.clear();
}

size_t rewind_memory(const RewindRing& ring)
{
    return ring.newest.size() + ring.delta_bytes + ring.older.size() * sizeof(RewindEntry);
}
