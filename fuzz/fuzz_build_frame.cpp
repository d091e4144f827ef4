// Feeds a frame file to buildFrame: the input is "FRAME_FILE\x1EREQUEST", the frame file's
// rows compiled as the loader compiles them (as frame rows, so COPY rows too), the request
// bytes readable as "R". The frame is built twice, so that the second build reads the first
// one's stored bytes. One input length in 64 also builds the rows behind 16383 empty ones, so
// that their fields meet the frame limit (rarely: that build costs as much as a hundred
// ordinary runs).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/expression/field_layout.hpp"
#include "core/project/loaders.hpp"
#include "core/service/build_frame.hpp"
#include "fuzz_input.hpp"

namespace {

using orvalix::fuzz::require;

constexpr std::u16string_view kFrameName = u"Reply";
constexpr std::size_t kFirstDataRow = 2;

orvalix::FrameDefinition compileFrame(std::string_view fileBytes) {
    const orvalix::CsvParse parse = orvalix::parseCsvText(orvalix::fuzz::decodeLikeDataFile(fileBytes));
    orvalix::FrameDefinition definition;
    for (std::size_t r = kFirstDataRow; r < parse.table.size(); ++r) {
        orvalix::compileCell(parse.table[r], 1, definition.emplace_back(),
                             orvalix::ExpressionPlace::FrameRow);
    }
    return definition;
}

bool copies(const orvalix::FrameDefinition& definition) {
    return std::any_of(definition.begin(), definition.end(), [](const orvalix::CompiledExpression& row) {
        return orvalix::fieldLayout(row).copies;
    });
}

void buildAndCheck(const orvalix::FrameDefinition& definition, orvalix::ByteBuffer& transmit,
                   orvalix::NamedStore& store, orvalix::EvaluationContext& context) {
    orvalix::buildFrame(kFrameName, definition, transmit, store, context);
    require(transmit.length <= orvalix::kMaxFrameLength, "the frame stays within the limit");
    // A COPY row fills as many positions as it copies, none at all for an empty range.
    if (!copies(definition)) {
        require(transmit.length >= std::min(definition.size(), orvalix::kMaxFrameLength),
                "without COPY rows the frame has at least one byte per row");
    }
    require(!context.building, "LEN(T) reads the built frame again once it is built");
    const orvalix::ByteBuffer& stored = store.find(kFrameName)->second;
    require(stored.length == transmit.length &&
                std::equal(stored.data.begin(), stored.data.begin() + stored.length, transmit.data.begin()),
            "the stored frame equals the sent one");
    const auto named = context.names.find(kFrameName);
    const auto sent = context.names.find(orvalix::kTransmitName);
    if (!definition.empty()) {
        require(named != context.names.end() && named->second.length == stored.length &&
                    named->second.data == stored.data.data(),
                "the frame is readable by name");
        require(sent != context.names.end() && sent->second.length == transmit.length &&
                    sent->second.data == transmit.data.data(),
                "the frame is readable as T");
    }
}

// Buffers of 16 KiB and the padding rows are made once: allocating them for every run would
// spend most of the time in page faults. Every run starts them from the same state.
struct Workspace {
    orvalix::ByteBuffer transmit;
    orvalix::NamedStore store{{std::u16string(kFrameName), orvalix::ByteBuffer{}}};
    orvalix::FrameDefinition padded = orvalix::FrameDefinition(orvalix::kMaxFrameLength - 1);

    void reset() {
        for (orvalix::ByteBuffer* buffer : {&transmit, &store.begin()->second}) {
            buffer->length = 0;
            buffer->data.fill(0);
        }
        padded.resize(orvalix::kMaxFrameLength - 1);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Workspace workspace;
    workspace.reset();
    const std::vector<std::string_view> pieces = orvalix::fuzz::splitPieces(orvalix::fuzz::asText({data, size}), 2);
    const orvalix::FrameDefinition definition = compileFrame(pieces[0]);
    const std::string_view request = pieces.size() > 1 ? pieces[1] : std::string_view{};

    orvalix::EvaluationContext context;
    orvalix::setNamedBytes(context.names, u"R", reinterpret_cast<const std::uint8_t*>(request.data()),
                           static_cast<std::uint32_t>(request.size()));
    buildAndCheck(definition, workspace.transmit, workspace.store, context);
    buildAndCheck(definition, workspace.transmit, workspace.store, context);

    if (size % 64 == 1) {
        workspace.padded.insert(workspace.padded.end(), definition.begin(), definition.end());
        buildAndCheck(workspace.padded, workspace.transmit, workspace.store, context);
    }
    return 0;
}
