#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/expression/compiled_expression.hpp"
#include "core/ports/port_options.hpp"
#include "core/project/fault_rule.hpp"
#include "core/project/record_cells.hpp"

namespace orvalix {

// Records keep their rows exactly as read (untrimmed); only expression cells are compiled.
struct SequenceStep {
    RecordCells cells;
    CompiledExpression txCondition;    // cell 1
    CompiledExpression jumpCondition;  // cell 3

    friend bool operator==(const SequenceStep&, const SequenceStep&) = default;
};

struct NamedCondition {
    RecordCells cells;
    CompiledExpression condition;         // cell 1
    CompiledExpression markCondition;     // cell 2
    CompiledExpression triggerCondition;  // cell 3

    friend bool operator==(const NamedCondition&, const NamedCondition&) = default;
};

// One compiled expression per data row of the frame file, in file order.
using FrameDefinition = std::vector<CompiledExpression>;

struct Environment {
    PortOptions port;  // as the environment file gives it
    std::vector<SequenceStep> sequence;
    std::vector<NamedCondition> namedConditions;
    std::vector<FaultRule> faults;  // the rows of its fault file that make a rule, in file order

    friend bool operator==(const Environment&, const Environment&) = default;
};

// Maps keyed by names compare UTF-16 code units as unsigned numbers, which is what
// std::u16string's ordering does.
using EnvironmentMap = std::map<std::u16string, Environment, std::less<>>;
using FrameMap = std::map<std::u16string, FrameDefinition, std::less<>>;
using FrameFileTimes = std::map<std::u16string, std::uint64_t, std::less<>>;

struct Project {
    std::u16string dataFolder;
    // Never changed once loaded, and never null: a run shares it rather than copying it, which
    // for a folder of a million steps is gigabytes and seconds.
    std::shared_ptr<const EnvironmentMap> environments = std::make_shared<const EnvironmentMap>();
    FrameMap frames;
    // Last-write time (FILETIME) of each frame file when it was last examined.
    FrameFileTimes frameFileTimes;

    // Projects compare by what they hold, not by where their environments lie; null (a
    // project put together as Project{folder, {}, ...}) holds none.
    friend bool operator==(const Project& left, const Project& right) {
        const auto sameEnvironments = [](const EnvironmentMap* a, const EnvironmentMap* b) {
            return (a == nullptr || a->empty()) ? (b == nullptr || b->empty()) : (b != nullptr && *a == *b);
        };
        return left.dataFolder == right.dataFolder &&
               sameEnvironments(left.environments.get(), right.environments.get()) && left.frames == right.frames &&
               left.frameFileTimes == right.frameFileTimes;
    }
};

}  // namespace orvalix
