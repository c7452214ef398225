#pragma once

// A station object with a place in the visual hierarchy and a pose. The
// visual parent may differ from the object parent and lives in memory only.
// The cached pose starts at the default pose whatever the element holds; a
// client that wants the stored pose reads it and calls setPose.

#include <sdformat/Export.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/SdfObject.h>

#include <cstdint>
#include <memory>

namespace sdf {

class SDF_EXPORT SdfNode : public SdfObject
{
public:
    using Pose = zrv::rob::PoseTemplate<double>;

    SdfNode(const SdfNode&) = default;
    SdfNode& operator=(const SdfNode&) = default;

    virtual Pose getPose() const;
    // Caches the pose and writes it into the element's `pose` child,
    // creating that child when missing.
    virtual void setPose(const Pose& pose);

    void setVisualParent(std::uint32_t parentId);
    std::uint32_t getVisParentId() const { return visParentId; }
    // Null without visual parent (id 0) or when it is not a node;
    // std::out_of_range when its id is not registered.
    SdfNode* visualParent() const;
    // Both parents in memory; the document is not touched.
    void setVisAndObjParent(std::uint32_t parentId);
    // Both parents; the object parent is also written to the element's
    // `parent` child (the visual parent never is).
    void setVisAndObjParentWithSdf(std::uint32_t parentId);
    // Whether some node up the chain of visual parents has that id; the node
    // itself is not compared.
    bool isDescendantVisualOf(std::uint32_t ancestorId) const;

protected:
    SdfNode(std::shared_ptr<Element> element, ObjectType type);
    ~SdfNode() override;

private:
    std::uint32_t visParentId = 0;
    Pose pose;
};

} // namespace sdf
