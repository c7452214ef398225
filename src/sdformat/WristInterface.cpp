#include <sdformat/WristInterface.h>

namespace sdf {

WristInterface::WristInterface(std::shared_ptr<Element> element, zrv::layout::Manipulator* manipulator,
                               std::uint32_t robotId)
    : SdfContainer(std::move(element), ObjectType::Wrist), manipulator(manipulator), robotId(robotId)
{
}

WristInterface::~WristInterface() = default;

} // namespace sdf
