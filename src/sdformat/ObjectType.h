#pragma once

// The kinds of station objects. The values form nested groups: a group value
// stands for itself and for a contiguous run of values after it, so that one
// test answers "is this any kind of X". The library relies only on the
// numbers and the group ranges; what most values stand for is decided by the
// application that constructs the objects, so only the kinds the library
// itself builds carry a descriptive name. Any other value is a valid kind of
// its own: write it as ObjectType{n}.

#include <cstdint>

namespace sdf {

enum class ObjectType : std::uint64_t
{
    Group8 = 8,   // 8 to 11
    Group12 = 12, // 12 to 29, holds Group13 and Group24
    Group13 = 13, // 13 and 14
    Group24 = 24, // 24 to 26
    Group30 = 30, // 30 to 36, holds Group32
    Group32 = 32, // 32 to 36
    Group37 = 37, // 37 to 43
    Group44 = 44, // 44 to 47, holds the wrist
    Wrist = 47,   // a robot wrist (WristInterface)
    Group51 = 51, // 51 to 56, holds Group52 and Group55
    Group52 = 52, // 53 and 54 only: 52 itself is not a member
    Group55 = 55, // 55 and 56
};

// Whether `kind` belongs to the group of `group`. A value that heads no group
// is a group of its own value only.
constexpr bool InGroup(ObjectType kind, ObjectType group) noexcept
{
    const auto k = static_cast<std::uint64_t>(kind);
    const auto inRange = [k](std::uint64_t first, std::uint64_t last) { return first <= k && k <= last; };
    switch (group) {
    case ObjectType::Group8: return inRange(8, 11);
    case ObjectType::Group12: return inRange(12, 29);
    case ObjectType::Group13: return inRange(13, 14);
    case ObjectType::Group24: return inRange(24, 26);
    case ObjectType::Group30: return inRange(30, 36);
    case ObjectType::Group32: return inRange(32, 36);
    case ObjectType::Group37: return inRange(37, 43);
    case ObjectType::Group44: return inRange(44, 47);
    case ObjectType::Group51: return inRange(51, 56);
    case ObjectType::Group52: return inRange(53, 54);
    case ObjectType::Group55: return inRange(55, 56);
    default: return kind == group;
    }
}

} // namespace sdf
