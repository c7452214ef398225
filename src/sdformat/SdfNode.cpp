#include <sdformat/SdfNode.h>

#include <sdformat/Element.h>
#include <sdformat/ParentWalk.h>
#include <sdformat/SdfManager.h>

namespace sdf {

SdfNode::SdfNode(std::shared_ptr<Element> element, ObjectType type) : SdfObject(std::move(element), type) {}

SdfNode::~SdfNode() = default;

SdfNode::Pose SdfNode::getPose() const
{
    return pose;
}

void SdfNode::setPose(const Pose& newPose)
{
    pose = newPose;
    getElement()->set("pose", newPose);
}

void SdfNode::setVisualParent(std::uint32_t parentId)
{
    visParentId = parentId;
}

SdfNode* SdfNode::visualParent() const
{
    if (visParentId == 0)
        return nullptr;
    return SdfManager::Get<SdfNode>(visParentId);
}

void SdfNode::setVisAndObjParent(std::uint32_t parentId)
{
    setObjParent(parentId);
    visParentId = parentId;
}

void SdfNode::setVisAndObjParentWithSdf(std::uint32_t parentId)
{
    setObjParentWithSdf(parentId);
    visParentId = parentId;
}

bool SdfNode::isDescendantVisualOf(std::uint32_t ancestorId) const
{
    return AnyUpTheChain(
        this, [](const SdfNode* at) { return at->visualParent(); },
        [ancestorId](const SdfNode* at) { return at->getId() == ancestorId; });
}

} // namespace sdf
