#include "cell/MotionSimulation.h"

#include "cell/CellKinematics.h"
#include "cell/CollisionWorld.h"
#include "cell/GeometryCache.h"
#include "cell/MotionProgram.h"
#include "cell/MotionTrack.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace cell {

namespace {

// Checks the collision sets along the timeline and adds their events.
void CheckCollisions(CollisionWorld& world, MotionTimeline& timeline, const SimulationOptions& options)
{
    const std::size_t robots = timeline.robotCount();
    std::vector<double> reach(robots);
    for (std::size_t r = 0; r < robots; ++r)
        reach[r] = world.moves(timeline.robotId(r)) ? world.reach(timeline.robotId(r)) : 0;
    std::map<std::uint32_t, std::uint32_t> taskOfRobot;
    for (const auto& task : timeline.tasks())
        taskOfRobot.try_emplace(task.robot, task.task);

    // (kind, set, a, b, instruction) -> event index
    std::map<std::tuple<int, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>, std::size_t> known;
    std::vector<SimulationEvent> found;
    const auto record = [&](const CollisionWorld::Contact& contact, double time) {
        std::uint32_t robot = world.robotOf(contact.objectA);
        if (robot == 0)
            robot = world.robotOf(contact.objectB);
        const auto task = taskOfRobot.find(robot);
        const std::uint32_t instruction = task == taskOfRobot.end() ? 0 : timeline.instructionAt(task->second, time);
        const auto kind = contact.collision ? SimulationEvent::Kind::Collision : SimulationEvent::Kind::NearMiss;
        const auto key = std::make_tuple(static_cast<int>(kind), contact.collisionSet, contact.objectA,
                                         contact.objectB, instruction);
        if (const auto seen = known.find(key); seen != known.end()) {
            SimulationEvent& e = found[seen->second];
            e.endTime = time;
            e.distance = contact.collision ? std::max(e.distance, contact.distance) : std::min(e.distance, contact.distance);
            return;
        }
        SimulationEvent e;
        e.kind = kind;
        e.time = time;
        e.endTime = time;
        e.task = task == taskOfRobot.end() ? 0 : task->second;
        e.instruction = instruction;
        e.robot = robot;
        e.objectA = contact.objectA;
        e.objectB = contact.objectB;
        e.collisionSet = contact.collisionSet;
        e.distance = contact.distance;
        known.emplace(key, found.size());
        found.push_back(std::move(e));
    };

    const std::size_t samples = timeline.sampleCount();
    std::vector<std::vector<double>> joints(robots);
    for (std::size_t k = 0; k < samples; ++k) {
        // Enough steps between this sample and the one before that no
        // point moves further than collisionTravel.
        std::size_t steps = 1;
        for (std::size_t r = 0; k > 0 && r < robots; ++r) {
            const auto a = timeline.joints(r, k - 1);
            const auto b = timeline.joints(r, k);
            double turn = 0;
            for (std::size_t j = 0; j < a.size(); ++j)
                turn += std::abs(b[j] - a[j]);
            steps = std::max(steps, static_cast<std::size_t>(std::ceil(turn * reach[r] / options.collisionTravel)));
        }
        // A jump further than that between two samples (an arm flipping
        // through a singularity) already breaks a speed limit; checking it
        // finely would only cost time.
        steps = std::min<std::size_t>(steps, 256);
        for (std::size_t i = 1; i <= steps; ++i) {
            const double f = static_cast<double>(i) / static_cast<double>(steps);
            for (std::size_t r = 0; r < robots; ++r) {
                if (reach[r] <= 0)
                    continue;
                const auto b = timeline.joints(r, k);
                const auto a = timeline.joints(r, k > 0 ? k - 1 : 0);
                joints[r].resize(b.size());
                for (std::size_t j = 0; j < b.size(); ++j)
                    joints[r][j] = a[j] + f * (b[j] - a[j]);
                world.move(timeline.robotId(r), joints[r]);
            }
            const double time = (static_cast<double>(k) - 1 + f) * timeline.sampleTime();
            for (const auto& contact : world.check())
                record(contact, std::max(0.0, time));
            if (k == 0)
                break;
        }
    }
    for (SimulationEvent& e : found) {
        e.message = e.kind == SimulationEvent::Kind::Collision
                        ? fmt::format("{} and {} collide (depth {:.3g} mm)", e.objectA, e.objectB, e.distance)
                        : fmt::format("{} and {} come within {:.3g} mm", e.objectA, e.objectB, e.distance);
        timeline.addEvent(std::move(e));
    }
}

} // namespace

MotionSimulation::MotionSimulation(std::shared_ptr<sdf::Element> root, std::filesystem::path baseDirectory,
                                   SimulationOptions options, GeometryCache* cache)
    : root(std::move(root))
    , baseDirectory(std::move(baseDirectory))
    , options(options)
    , cache(cache)
{
}

MotionTimeline MotionSimulation::run(std::string_view scenario) const
{
    const CellKinematics kinematics(root);
    const std::vector<TaskProgram> programs = MotionProgram::Read(root, kinematics, scenario);
    MotionTimeline timeline(options.sampleTime);
    for (const TaskProgram& task : programs) {
        if (!task.robot) {
            SimulationEvent e;
            e.kind = SimulationEvent::Kind::Unreachable;
            e.task = task.id;
            e.message = fmt::format("task '{}' has no robot", task.name);
            timeline.addEvent(std::move(e));
            continue;
        }
        MotionTrack::Build(task, options, timeline);
    }
    if (options.collisions && timeline.robotCount() > 0) {
        std::unique_ptr<GeometryCache> own;
        if (!cache)
            own = std::make_unique<GeometryCache>(GeometryCache::Loader{}, 1);
        CollisionWorld world(root, baseDirectory, kinematics, cache ? *cache : *own);
        if (world.pairCount() > 0)
            CheckCollisions(world, timeline, options);
    }
    timeline.sortEvents();
    return timeline;
}

} // namespace cell
