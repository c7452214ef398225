// The embedded catalogue as a whole: these figures check the transcription
// of the description files, and the named cases pin the places where order
// and duplicates matter.

#include <sdformat/Catalogue.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/Vec3Template.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {
namespace {

struct Figures
{
    int elements = 0;
    int attributes = 0;
    int typed = 0;
    int annotated = 0;
    int depth = 0;
};

void count(const ElementTemplate& t, int level, Figures& figures)
{
    ++figures.elements;
    figures.attributes += static_cast<int>(t._attributes.size());
    figures.typed += t.hasValue() ? 1 : 0;
    figures.annotated += t._annotated ? 1 : 0;
    figures.depth = std::max(figures.depth, level);
    for (const ElementTemplate& child : t._children)
        count(child, level + 1, figures);
}

// The template at a "/"-separated path below the root, first match at each step.
const ElementTemplate& at(std::string_view path)
{
    const ElementTemplate* t = &RootTemplate();
    while (!path.empty()) {
        const auto slash = path.find('/');
        t = &t->child(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return *t;
}

std::vector<std::string> childNames(const ElementTemplate& t)
{
    std::vector<std::string> names;
    for (const ElementTemplate& child : t._children)
        names.push_back(child._name);
    return names;
}

// Positions of the children with that name.
std::vector<std::size_t> positionsOf(const ElementTemplate& t, std::string_view name)
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < t._children.size(); ++i)
        if (t._children[i]._name == name)
            positions.push_back(i);
    return positions;
}

bool describesAnywhere(const ElementTemplate& t, std::string_view name)
{
    return t._name == name
        || std::ranges::any_of(t._children, [&](const ElementTemplate& c) { return describesAnywhere(c, name); });
}

TEST(CatalogueFigures, RegistersFiftyNineFilesUnderOneVersion)
{
    ASSERT_EQ(Catalogue().size(), 1u);
    const auto& files = Catalogue().at("1.0");
    EXPECT_EQ(files.size(), 59u);
    EXPECT_TRUE(std::ranges::none_of(files, [](const auto& file) { return file.second.empty(); }));
    // Nothing includes it, yet it is served by name.
    EXPECT_FALSE(CatalogueText("project.sdf").empty());
    EXPECT_FALSE(describesAnywhere(RootTemplate(), "project"));
    EXPECT_THROW(CatalogueText("projects.sdf"), std::out_of_range);
}

TEST(CatalogueFigures, RootTemplateAsAWhole)
{
    const ElementTemplate& root = RootTemplate();
    EXPECT_EQ(&RootTemplate(), &root);

    Figures figures;
    count(root, 1, figures);
    EXPECT_EQ(figures.elements, 912);
    EXPECT_EQ(figures.attributes, 45);
    EXPECT_EQ(figures.typed, 699);
    EXPECT_EQ(figures.annotated, 5);
    EXPECT_EQ(figures.depth, 8);

    EXPECT_EQ(root._name, "sdf");
    EXPECT_TRUE(root._required);
    EXPECT_FALSE(root.hasValue());
    ASSERT_EQ(root._attributes.size(), 1u);
    EXPECT_EQ(root._attributes[0]._label, "version");
    EXPECT_EQ(root._attributes[0]._type, "string");
    EXPECT_EQ(std::any_cast<std::string>(root._attributes[0]._default), "1.0");
    EXPECT_TRUE(root._attributes[0]._required);
    EXPECT_EQ(childNames(root), std::vector<std::string>{"station"});
}

TEST(CatalogueFigures, StationBeginsWithTheObjectFields)
{
    const ElementTemplate& station = at("station");
    ASSERT_EQ(station._attributes.size(), 1u);
    EXPECT_EQ(station._attributes[0]._label, "id");
    const auto names = childNames(station);
    ASSERT_EQ(names.size(), 24u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 6),
              (std::vector<std::string>{"name", "parent", "child", "user_file", "next_dataid", "last_viewpoint_pose"}));
    for (const char* child : {"controller", "task", "simulation", "manipulator", "tool", "device"})
        EXPECT_NE(std::ranges::find(names, child), names.end()) << child;
}

TEST(CatalogueFigures, TwoParentDescriptionsAndTheFirstWins)
{
    // tool writes its own parent before the mechanism items bring the
    // object's; device, wrist and path get the object's first.
    struct Case
    {
        const char* path;
        std::size_t first;
        bool firstRequired;
        bool secondRequired;
    };
    for (const Case& c : {Case{"station/tool", 0, false, false}, Case{"station/device", 2, false, false},
                          Case{"station/manipulator/wrist", 1, false, true}, Case{"station/task/path", 1, false, true}}) {
        SCOPED_TRACE(c.path);
        const ElementTemplate& t = at(c.path);
        const auto positions = positionsOf(t, "parent");
        ASSERT_EQ(positions.size(), 2u);
        EXPECT_EQ(positions[0], c.first);
        EXPECT_EQ(&t.child("parent"), &t._children[positions[0]]);
        EXPECT_EQ(t._children[positions[0]]._required, c.firstRequired);
        EXPECT_EQ(t._children[positions[1]]._required, c.secondRequired);
        EXPECT_EQ(t.child("parent")._value._type, "unsigned int");
    }
    // In tool its own parent comes before its tooldata and the mechanism items.
    EXPECT_EQ(childNames(at("station/tool"))[1], "tooldata");
    EXPECT_EQ(childNames(at("station/tool"))[2], "document_type");

    try {
        (void)at("station/tool").child("vendor");
        FAIL() << "tool has no vendor";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "element 'tool' does not have 'vendor' child element");
    }
}

TEST(CatalogueFigures, ManipulatorOrdersVendorMechanismItemsThenWrist)
{
    EXPECT_EQ(childNames(at("station/manipulator")),
              (std::vector<std::string>{"vendor", "document_type", "name", "parent", "child", "user_file", "uri",
                                        "detectable", "pose", "link", "joint", "mechanism_poses", "dependency", "wrist",
                                        "kinematic_configuration"}));
    EXPECT_TRUE(at("station/manipulator/wrist")._required);
}

TEST(CatalogueFigures, TheTwoTasksAreDescribedByTheirOwnFiles)
{
    EXPECT_EQ(childNames(at("station/controller/task")),
              (std::vector<std::string>{"task_id", "entry", "uri", "compiled", "binary", "use_mechanical_unit_group"}));
    const ElementTemplate& programTask = at("station/task");
    ASSERT_EQ(programTask._attributes.size(), 1u);
    EXPECT_EQ(programTask._attributes[0]._label, "id");
    EXPECT_EQ(childNames(programTask)[0], "name");
    EXPECT_TRUE(at("station/controller/task")._attributes.empty());
}

TEST(CatalogueFigures, DefaultsAreTakenAsWritten)
{
    EXPECT_EQ(std::any_cast<double>(at("station/manipulator/joint/axis/limit/lower")._value._default), -1e16);
    EXPECT_EQ(std::any_cast<double>(at("station/manipulator/joint/axis/limit/upper")._value._default), 1e16);
    EXPECT_EQ(std::any_cast<zrv::rob::Vec3Template<double>>(at("station/manipulator/joint/axis/xyz")._value._default),
              (zrv::rob::Vec3Template<double>{0, 0, 1}));
    EXPECT_TRUE(std::any_cast<bool>(at("station/manipulator/detectable")._value._default));
    EXPECT_EQ(std::any_cast<std::string>(at("station/manipulator/vendor")._value._default), "none");
    EXPECT_EQ(std::any_cast<std::string>(at("station/manipulator/kinematic_configuration")._value._default), "None");
    EXPECT_EQ(std::any_cast<std::string>(at("station/task/operation/approach_retract/initial_motion_type")._value._default),
              "movej");
    EXPECT_EQ(std::any_cast<zrv::rob::PosTemplate<double>>(
                  at("station/task/operation/process_curveoffset/startpoint")._value._default),
              (zrv::rob::PosTemplate<double>{0, 0, 0}));
}

} // namespace
} // namespace sdf
