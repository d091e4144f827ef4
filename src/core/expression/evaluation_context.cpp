#include "core/expression/evaluation_context.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace orvalix {

void NamesTable::set(std::u16string_view name, const std::uint8_t* data, std::uint32_t length) {
    // Called every cycle for the same few names: reuse the entry rather than rebuild it.
    const std::uint32_t hash = hashName(name);
    if (const std::size_t index = indexOf(name, hash); index != kAbsent) {
        entries_[index].second.data = data;
        entries_[index].second.length = length;
        return;
    }
    std::u16string key(name);
    entries_.emplace_back(key, NamedBytes{key, data, length});
    if (name.size() == 1 && name[0] < kOneUnitNames) {
        oneUnitPlaces_[name[0]] = static_cast<std::uint32_t>(entries_.size());
        return;
    }
    if (entries_.size() * 2 <= buckets_.size()) {
        addToBuckets(entries_.size() - 1, hash);
        return;
    }
    // Regrown to keep the buckets at most half full.
    buckets_.assign(std::max<std::size_t>(16, buckets_.size() * 2), Bucket{});
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::u16string& entryName = entries_[i].first;
        if (entryName.size() != 1 || entryName[0] >= kOneUnitNames) {
            addToBuckets(i, hashName(entryName));
        }
    }
}

void NamesTable::addToBuckets(std::size_t index, std::uint32_t hash) {
    const std::size_t mask = buckets_.size() - 1;
    std::size_t b = hash & mask;
    while (buckets_[b].place != 0) {
        b = (b + 1) & mask;
    }
    buckets_[b] = Bucket{hash, static_cast<std::uint32_t>(index + 1)};
}

void setNamedBytes(NamesTable& table, std::u16string_view name, const std::uint8_t* data, std::uint32_t length) {
    table.set(name, data, length);
}

void storeNamedBytes(const std::uint8_t* data, std::uint32_t length, std::u16string_view name, NamedStore& store,
                     NamesTable& table) {
    auto slot = store.find(name);
    if (slot == store.end()) {
        slot = store.try_emplace(std::u16string(name)).first;
    }
    ByteBuffer& buffer = slot->second;
    const std::size_t count = data == nullptr ? 0 : std::min<std::size_t>(length, kMaxFrameLength);
    // The source may be this very buffer, e.g. a stored frame stored again under its name.
    if (count != 0) {
        std::memmove(buffer.data.data(), data, count);
    }
    buffer.length = static_cast<std::uint32_t>(count);
    setNamedBytes(table, name, buffer.data.data(), buffer.length);
}

}  // namespace orvalix
