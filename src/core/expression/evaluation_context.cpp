#include "core/expression/evaluation_context.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace orvalix {

void setNamedBytes(NamesTable& table, std::u16string_view name, const std::uint8_t* data, std::uint32_t length) {
    // Called every cycle for the same few names: reuse the entry rather than rebuild it.
    if (const auto found = table.find(name); found != table.end()) {
        found->second.data = data;
        found->second.length = length;
        return;
    }
    std::u16string key(name);
    table.emplace(key, NamedBytes{key, data, length});
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
