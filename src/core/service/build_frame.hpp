#pragma once

#include <string_view>

#include "core/bytes/byte_buffer.hpp"
#include "core/expression/evaluation_context.hpp"
#include "core/project/project.hpp"

namespace orvalix {

// The name under which the frame being built is readable while it is built.
inline constexpr std::u16string_view kTransmitName = u"T";

// Builds the frame into the transmit buffer and the store entry of the frame name, row by
// row, registering "T" and the frame name after each field so later fields can read them. A
// field fills as many positions as its outermost operation gives (see fieldLayout), and the
// rows after a multi-byte field are its placeholders; a COPY row fills as many as it copies.
void buildFrame(std::u16string_view frameName, const FrameDefinition& definition, ByteBuffer& transmitBuffer,
                NamedStore& namedStore, EvaluationContext& context);

}  // namespace orvalix
