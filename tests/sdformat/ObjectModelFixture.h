#pragma once

// Shared ground for the object model tests: a fresh station document to hang
// object elements on, public constructors for the node and container bases,
// and a fixture that leaves the process-wide registry as it found it.

#include <sdformat/Element.h>
#include <sdformat/RootElement.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>
#include <sdformat/SdfNode.h>
#include <sdformat/SdfObject.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sdf::test {

// A kind that heads no group.
inline constexpr ObjectType PlainKind{60};

class TestNode : public SdfNode
{
public:
    explicit TestNode(std::shared_ptr<Element> element, ObjectType type = PlainKind) : SdfNode(std::move(element), type)
    {
    }
    ~TestNode() override = default;
};

class TestContainer : public SdfContainer
{
public:
    explicit TestContainer(std::shared_ptr<Element> element, ObjectType type = ObjectType::Group12)
        : SdfContainer(std::move(element), type)
    {
    }
};

// Counts destructions, to see what EraseAllChildren deletes.
class CountedObject : public SdfObject
{
public:
    CountedObject(std::shared_ptr<Element> element, int& destroyed)
        : SdfObject(std::move(element), PlainKind), destroyed(&destroyed)
    {
    }
    ~CountedObject() override { ++*destroyed; }

private:
    int* destroyed;
};

// Values of the `child` elements of an object element, in document order.
inline std::vector<std::uint32_t> ChildElementIds(const std::shared_ptr<Element>& object)
{
    std::vector<std::uint32_t> ids;
    for (const std::shared_ptr<Element>& child : object->children("child"))
        ids.push_back(child->asUInt());
    return ids;
}

class ObjectModelTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // Unregister before the objects go, and only what is still ours.
        for (const auto& [id, object] : registered) {
            if (SdfManager::Contains(id) && SdfManager::Get<SdfObject>(id) == object)
                SdfManager::Remove(id);
        }
    }

    // A new `part` of the station (a node kind of the catalogue, with the
    // common object fields and a pose).
    std::shared_ptr<Element> partElement(std::uint32_t id, std::string_view name = "")
    {
        return station->appendObject("part", id, name);
    }

    // Builds an object over a new part element, keeps it for the test and
    // registers it under its id.
    template <class T, class... Args>
    T& make(std::uint32_t id, Args&&... args)
    {
        auto object = std::make_unique<T>(partElement(id), std::forward<Args>(args)...);
        T& ref = *object;
        owned.push_back(std::move(object));
        enter(ref);
        return ref;
    }

    void enter(SdfObject& object)
    {
        ASSERT_TRUE(SdfManager::Register(&object));
        registered.emplace_back(object.getId(), &object);
    }

    std::shared_ptr<Element> root = CreateRootElement();
    std::shared_ptr<Element> station = root->append("station");
    std::vector<std::unique_ptr<SdfObject>> owned;
    std::vector<std::pair<std::uint32_t, SdfObject*>> registered;
};

} // namespace sdf::test
