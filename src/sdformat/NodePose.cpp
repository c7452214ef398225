#include <sdformat/NodePose.h>

#include <common/ZrvAssert.h>
#include <sdformat/SdfManager.h>
#include <sdformat/SdfNode.h>

#include <fmt/format.h>

#include <stdexcept>

namespace sdf {

namespace {

SdfNode* RegisteredNode(std::uint32_t id)
{
    SdfNode* node = SdfManager::Get<SdfNode>(id);
    ZRV_ASSERT(node, "the object is a node", "src/sdformat/SdfContainer");
    if (!node)
        throw std::logic_error(fmt::format("object {} is not a node", id));
    return node;
}

} // namespace

zrv::rob::PoseTemplate<double> GetPose(std::uint32_t id)
{
    return RegisteredNode(id)->getPose();
}

void SetPose(std::uint32_t id, const zrv::rob::PoseTemplate<double>& pose)
{
    RegisteredNode(id)->setPose(pose);
}

} // namespace sdf
