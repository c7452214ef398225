// Saving a station's state before a run and putting it back afterwards.
#include "SimulationStation.h"

#include "cell/StationState.h"

#include <sdformat/Element.h>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using cell::StationState;
using Pose = zrv::rob::PoseTemplate<double>;

std::shared_ptr<sdf::Element> Child(const std::shared_ptr<sdf::Element>& parent, const std::string& label,
                                    std::uint32_t id)
{
    for (const auto& element : parent->children(label))
        if (element->getId(false) == id)
            return element;
    return nullptr;
}

TEST(StationState, SavedFileHoldsJointsPosesAndAttachmentsAndRestoreGivesThemBack)
{
    const auto dir = std::filesystem::temp_directory_path() / fmt::format("zrv_state_{}", ::getpid());
    std::filesystem::create_directories(dir);
    const auto document = sdf::SDF::ReadSdfFromString(cell::test::StationText(dir, {}));
    const auto root = document->Root();
    const auto station = root->get("station");

    const auto state = StationState::AutoSave(root, 1767225600000);
    const std::uint32_t stateId = state->getId(false);
    EXPECT_GT(stateId, 50u); // above every id in use
    // Saved again: the one automatic state, renewed in place.
    EXPECT_EQ(StationState::AutoSave(root, 1767225601000)->getId(false), stateId);

    // What the written file holds.
    document->Write(dir / "saved.sdf");
    const auto saved = sdf::SDF::ReadSdfFromFile(dir / "saved.sdf")->Root();
    const auto read = Child(saved->get("station/simulation"), "state", stateId);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->valueOr<bool>("auto_saved", false));
    EXPECT_EQ(read->valueOr<std::uint64_t>("timestamp", 0), 1767225601000u);
    const auto arm = read->get("mechanism");
    ASSERT_NE(arm, nullptr);
    EXPECT_EQ(arm->valueOr<unsigned>("id", 0u), 2u);
    std::vector<std::pair<unsigned, double>> joints;
    for (const auto& joint : arm->children("joint"))
        joints.emplace_back(joint->valueOr<unsigned>("index", 0u), joint->valueOr<double>("value", -1));
    ASSERT_EQ(joints.size(), 6u);
    EXPECT_EQ(joints[4], (std::pair<unsigned, double>{5, 0.5}));
    bool platePose = false;
    for (const auto& object : read->children("object"))
        platePose = platePose || object->valueOr<unsigned>("id", 0u) == 5u;
    EXPECT_TRUE(platePose);
    const auto attachment = read->get("attachment");
    ASSERT_NE(attachment, nullptr);
    EXPECT_EQ(attachment->valueOr<unsigned>("source_id", 0u), 3u);
    EXPECT_EQ(attachment->valueOr<unsigned>("target_id", 0u), 30u);

    // A run moves the arm, shifts the plate and drops the tool.
    Child(Child(station, "manipulator", 2), "joint", 24)->set<double>("value", -1.25);
    Child(station, "part", 5)->set<Pose>("pose", Pose{{10, 20, 30}, {1, 0, 0, 0}});
    station->remove("attachment", [](const auto&) { return true; });

    StationState::Restore(root, *StationState::LastAutoSaved(root));
    EXPECT_DOUBLE_EQ(Child(Child(station, "manipulator", 2), "joint", 24)->valueOr<double>("value", 0), 0.5);
    EXPECT_DOUBLE_EQ(Child(station, "part", 5)->valueOr<Pose>("pose", {}).pos.x, 0);
    const auto back = Child(station, "attachment", 7);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->valueOr<unsigned>("target_id", 0u), 30u);
    EXPECT_EQ(StationState::Find(root, std::to_string(stateId)), StationState::LastAutoSaved(root));
    std::filesystem::remove_all(dir);
}

} // namespace
