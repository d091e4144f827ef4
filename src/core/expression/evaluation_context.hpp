#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/bytes/byte_buffer.hpp"
#include "core/expression/name_hash.hpp"

namespace orvalix {

// Elapsed times in 100 ns units, indexed by the time keyword's sub-code:
// 0 since start, 1 since the previous cycle began, 2 from start to the previous cycle.
struct TimeValues {
    std::array<std::int64_t, 3> values{};
};

// Times in 100 ns units since the port's last reception and transmission.
struct PortActivity {
    std::int64_t sinceLastReceive = 0;
    std::int64_t sinceLastTransmit = 0;
};

// Bytes readable by name; the entry does not own them.
struct NamedBytes {
    std::u16string name;
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

// Named bytes by name, read on the per-byte path for every identifier an expression holds.
// A lookup hashes the name and compares it with one entry, however many names there are, and
// builds no string; a name of one ASCII character, as the received and transmitted frames are
// named, is found by that character alone. Entries are only ever added (the first time a
// name is set), so a table allocates nothing once it has seen its names. Iteration is in the
// order names were added.
class NamesTable {
public:
    using value_type = std::pair<std::u16string, NamedBytes>;
    using const_iterator = std::vector<value_type>::const_iterator;

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    const_iterator find(std::u16string_view name) const {
        const std::size_t index = indexOf(name, hashName(name));
        return index == kAbsent ? entries_.end() : entries_.begin() + static_cast<std::ptrdiff_t>(index);
    }
    // The entry, or nothing when the name is absent; the hash is hashName(name).
    const NamedBytes* lookup(std::u16string_view name, std::uint32_t hash) const {
        const std::size_t index = indexOf(name, hash);
        return index == kAbsent ? nullptr : &entries_[index].second;
    }
    const NamedBytes& at(std::u16string_view name) const {
        const NamedBytes* entry = lookup(name, hashName(name));
        if (entry == nullptr) {
            throw std::out_of_range("no such name");
        }
        return *entry;
    }

    // Makes the name refer to the bytes, adding the entry the first time.
    void set(std::u16string_view name, const std::uint8_t* data, std::uint32_t length);

private:
    static constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

    // Open addressing, at most half full; the hash is kept beside the entry's place so that
    // a probe touches the bucket array alone until the names are compared.
    struct Bucket {
        std::uint32_t hash = 0;
        std::uint32_t place = 0;  // entry index + 1; 0 when free
    };

    std::size_t indexOf(std::u16string_view name, std::uint32_t hash) const {
        if (name.size() == 1 && name[0] < kOneUnitNames) {
            const std::uint32_t place = oneUnitPlaces_[name[0]];
            return place == 0 ? kAbsent : place - 1;
        }
        if (buckets_.empty()) {
            return kAbsent;
        }
        const std::size_t mask = buckets_.size() - 1;
        for (std::size_t b = hash & mask;; b = (b + 1) & mask) {
            const Bucket bucket = buckets_[b];
            if (bucket.place == 0) {
                return kAbsent;
            }
            if (bucket.hash == hash && std::u16string_view(entries_[bucket.place - 1].first) == name) {
                return bucket.place - 1;
            }
        }
    }

    void addToBuckets(std::size_t index, std::uint32_t hash);

    // Names of one UTF-16 unit below this are placed here rather than in the buckets.
    static constexpr char16_t kOneUnitNames = 128;

    std::vector<value_type> entries_;
    std::vector<Bucket> buckets_;
    std::array<std::uint32_t, kOneUnitNames> oneUnitPlaces_{};  // entry index + 1; 0 when absent
};

using ActivityTable = std::map<std::int64_t, PortActivity>;
// std::less<> lets lookups by u16string_view find entries without building a string.
using NamedStore = std::map<std::u16string, ByteBuffer, std::less<>>;

// A frame being built: the name it is readable under, and how many bytes are built so far.
struct BuildProgress {
    std::u16string_view name;
    std::uint32_t built = 0;
};

struct EvaluationContext {
    TimeValues times;
    ActivityTable activity;
    NamesTable names;
    // Set while a frame is built: LEN of its name reads the bytes built so far, not the
    // length its buffer had when the build began.
    std::optional<BuildProgress> building;
};

// Makes the name refer to the caller's bytes; nothing is copied.
void setNamedBytes(NamesTable& table, std::u16string_view name, const std::uint8_t* data,
                   std::uint32_t length);

// Copies at most kMaxFrameLength bytes into the store entry for the name and registers it.
void storeNamedBytes(const std::uint8_t* data, std::uint32_t length, std::u16string_view name,
                     NamedStore& store, NamesTable& table);

}  // namespace orvalix
