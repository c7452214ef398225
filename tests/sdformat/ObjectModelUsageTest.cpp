// The object model as a plug-in uses it: build objects over a stored
// station's object elements, register them, adopt the containers' `child`
// elements, rearrange children with the WithSdf operations, write the
// station and read the same structure back.

#include <sdformat/Element.h>
#include <sdformat/SDF.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>
#include <sdformat/SdfNode.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using sdf::Element;
using Ids = std::vector<std::uint32_t>;

// The plug-in's own object classes and kinds.
constexpr sdf::ObjectType PartKind{13};
constexpr sdf::ObjectType AssemblyKind{12};

class Part : public sdf::SdfNode
{
public:
    explicit Part(std::shared_ptr<Element> element) : SdfNode(std::move(element), PartKind) {}
};

class Assembly : public sdf::SdfContainer
{
public:
    explicit Assembly(std::shared_ptr<Element> element) : SdfContainer(std::move(element), AssemblyKind) {}
};

// The objects of one station, owned by the plug-in and registered while it
// holds them.
class StationModel
{
public:
    explicit StationModel(const std::shared_ptr<Element>& station)
    {
        for (const std::shared_ptr<Element>& element : station->elements()) {
            if (element->label() != "part" && element->label() != "assembly")
                continue;
            // Containers for the elements that list children.
            std::unique_ptr<sdf::SdfObject> object;
            if (element->exists("child"))
                object = std::make_unique<Assembly>(element);
            else
                object = std::make_unique<Part>(element);
            object->setObjParent(element->valueOr<unsigned int>("parent", 0u));
            if (!sdf::SdfManager::Register(object.get()))
                throw std::runtime_error("duplicate object id in station");
            if (auto* container = dynamic_cast<sdf::SdfContainer*>(object.get())) {
                for (const std::shared_ptr<Element>& child : element->children("child"))
                    container->addObjChild(child);
            }
            objects.push_back(std::move(object));
        }
    }
    ~StationModel()
    {
        for (const auto& object : objects)
            sdf::SdfManager::Remove(object->getId());
    }
    // Unregisters an object and takes it and its element out of the station.
    void drop(std::uint32_t id)
    {
        sdf::SdfManager::Remove(id);
        std::erase_if(objects, [id](const auto& object) {
            if (object->getId() != id)
                return false;
            object->getElement()->removeFromParent();
            return true;
        });
    }
    StationModel(const StationModel&) = delete;
    StationModel& operator=(const StationModel&) = delete;

    // id -> (name, object parent, listed children), the structure to compare.
    struct Entry
    {
        std::string name;
        std::uint32_t parent;
        Ids children;
        friend bool operator==(const Entry&, const Entry&) = default;
    };
    std::map<std::uint32_t, Entry> structure() const
    {
        std::map<std::uint32_t, Entry> result;
        for (const auto& object : objects) {
            const auto* container = dynamic_cast<const sdf::SdfContainer*>(object.get());
            result[object->getId()] = {object->getDisplayString(), object->getObjParentId(),
                                       container ? container->getObjChildren() : Ids{}};
        }
        return result;
    }

    std::vector<std::unique_ptr<sdf::SdfObject>> objects;
};

// A stored station: a fixture assembly (10) holding three clamps, and a
// loose workpiece.
constexpr std::string_view StoredStation = R"(<sdf version='1.0'>
  <station id='1'>
    <name>Cell</name>
    <part id='11'>
      <name>Clamp 11</name>
      <parent>10</parent>
    </part>
    <part id='12'>
      <name>Clamp 12</name>
      <parent>10</parent>
    </part>
    <part id='13'>
      <name>Clamp 13</name>
      <parent>10</parent>
    </part>
    <part id='20'>
      <name>Workpiece</name>
      <pose>100 0 50 1 0 0 0</pose>
    </part>
    <assembly id='10'>
      <name>Fixture</name>
      <child>11</child>
      <child>12</child>
      <child>13</child>
    </assembly>
  </station>
</sdf>
)";

// A file of its own in the temporary directory, removed afterwards.
struct TemporaryFile
{
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("zrv-object-model-" + std::to_string(::getpid()) + ".sdf");
    ~TemporaryFile() { std::filesystem::remove(path); }
};

Ids ChildElementIds(const std::shared_ptr<Element>& element)
{
    Ids ids;
    for (const auto& child : element->children("child"))
        ids.push_back(child->asUInt());
    return ids;
}

} // namespace

TEST(ObjectModelUsage, RearrangedChildrenSurviveWritingAndReading)
{
    TemporaryFile stored;
    TemporaryFile written;
    {
        std::ofstream(stored.path) << StoredStation;
    }
    const std::shared_ptr<sdf::SDF> document = sdf::SDF::ReadSdfFromFile(stored.path);
    const auto station = document->Root()->get("station");
    auto model = std::make_unique<StationModel>(station);

    auto* fixture = sdf::SdfManager::Get<sdf::SdfContainer>(10);
    ASSERT_NE(fixture, nullptr);
    EXPECT_EQ(fixture->getObjChildren(), (Ids{11, 12, 13}));
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfContainer>(20), nullptr) << "a part without children is a plain node";
    EXPECT_TRUE(fixture->hasObjChild(12));

    // Move the last clamp to the front, drop the middle one, add a new part
    // in second place.
    fixture->moveChild(13, 0);
    fixture->removeObjChildWithSdf(12);
    model->drop(12);
    model->objects.push_back(std::make_unique<Part>(station->appendObject("part", 21, "Stop")));
    sdf::SdfObject& stop = *model->objects.back();
    ASSERT_TRUE(sdf::SdfManager::Register(&stop));
    stop.setObjParentWithSdf(10);
    fixture->addObjChildWithSdf(21, 1);
    EXPECT_EQ(fixture->getObjChildren(), (Ids{13, 21, 11}));
    EXPECT_EQ(ChildElementIds(fixture->getElement()), (Ids{13, 21, 11}));

    document->Write(written.path);
    const auto expected = model->structure();
    model.reset();
    EXPECT_FALSE(sdf::SdfManager::Contains(10));

    const std::shared_ptr<sdf::SDF> readBack = sdf::SDF::ReadSdfFromFile(written.path);
    StationModel rebuilt(readBack->Root()->get("station"));
    EXPECT_EQ(rebuilt.structure(), expected);
    EXPECT_EQ(expected.at(10).children, (Ids{13, 21, 11}));
    EXPECT_EQ(expected.at(21).parent, 10u);
    EXPECT_EQ(expected.count(12), 0u);
}
