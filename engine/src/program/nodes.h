#pragma once

// The nodes of a compiled template are its sequences and its groups. The
// postorder names a node with one number: a sequence by its index, a group by
// its index with groupTag set. Figures kept for every node number the
// sequences first, then the groups.

#include "program/program.h"

#include <cstddef>
#include <cstdint>

namespace razmnozhator::detail {

constexpr bool isGroupNode(std::uint32_t node)
{
    return (node & groupTag) != 0;
}

// The group that a group node names.
constexpr std::uint32_t nodeGroup(std::uint32_t node)
{
    return node & ~groupTag;
}

// Where a group's figure stands among those kept for every node.
inline std::size_t groupNodeIndex(const Program &program, std::uint32_t group)
{
    return program.sequences.size() + group;
}

// Where a node's figure stands among those kept for every node.
inline std::size_t nodeIndex(const Program &program, std::uint32_t node)
{
    return isGroupNode(node) ? groupNodeIndex(program, nodeGroup(node)) : node;
}

} // namespace razmnozhator::detail
