#include "ObjectKinds.h"

#include <sdformat/Element.h>

#include <array>
#include <cstdint>

namespace zrv::core {

namespace {

constexpr std::array<std::string_view, 4> RecordLabels{"tooldata", "connection", "dependency", "subregion"};

struct Kind
{
    std::string_view label;
    std::uint64_t kind;
};
constexpr Kind Kinds[] = {
    // mechanisms
    {"manipulator", 8}, {"tool", 9}, {"device", 10}, {"mechanism", 11},
    // parts, what they are made of and what hangs on them
    {"assembly", 12}, {"part", 13}, {"pointcloud", 14}, {"body", 15}, {"frame", 16},
    {"smart_component", 24}, {"signal", 25}, {"property", 26}, {"attachment", 27}, {"collisionset", 28},
    // controllers, then their programs
    {"controller", 30}, {"mechanical_unit", 31}, {"mechanical_unit_group", 31},
    {"task", 32}, {"path", 33}, {"instruction", 34}, {"argument", 35}, {"dataitem", 36},
    // features and operations
    {"mfg", 37}, {"operation", 38}, {"region", 39},
    // kinematics
    {"link", 44}, {"joint", 45}, {"wrist", 46},
    // simulation, views and the station itself
    {"scenario", 51}, {"state", 53}, {"view_point", 55}, {"station", 57},
};

// Kinds of labels outside the table: above every kind the table uses.
constexpr std::uint64_t UnknownKind = 100;

} // namespace

bool IsObjectElement(const sdf::Element& element)
{
    if (element.getId() == 0)
        return false;
    for (std::string_view record : RecordLabels) {
        if (element.label() == record)
            return false;
    }
    return true;
}

sdf::ObjectType KindOf(std::string_view label)
{
    for (const Kind& entry : Kinds) {
        if (entry.label == label)
            return sdf::ObjectType{entry.kind};
    }
    return sdf::ObjectType{UnknownKind};
}

} // namespace zrv::core
