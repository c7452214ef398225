#include "cell/MotionTimeline.h"

#include <common/ZrvAssert.h>

#include <algorithm>
#include <cmath>

namespace cell {

MotionTimeline::MotionTimeline(double sampleTime)
    : step(sampleTime)
{
    ZRV_ASSERT(sampleTime > 0, "sampleTime > 0", "src/cell/MotionTimeline");
}

std::size_t MotionTimeline::sampleCount() const
{
    std::size_t count = 0;
    for (std::size_t k = 0; k < tracks.size(); ++k)
        count = std::max(count, trackLength(k));
    return count;
}

double MotionTimeline::duration() const
{
    const std::size_t count = sampleCount();
    return count == 0 ? 0 : static_cast<double>(count - 1) * step;
}

std::span<const double> MotionTimeline::joints(std::size_t robot, std::size_t sample) const
{
    const Track& track = tracks[robot];
    const std::size_t length = trackLength(robot);
    ZRV_ASSERT(length > 0, "length > 0", "src/cell/MotionTimeline");
    const std::size_t k = std::min(sample, length - 1);
    return {track.values.data() + k * track.dof, track.dof};
}

std::vector<double> MotionTimeline::jointsAt(std::size_t robot, double time) const
{
    const double position = std::clamp(time / step, 0.0, static_cast<double>(std::max<std::size_t>(sampleCount(), 1) - 1));
    const auto k = static_cast<std::size_t>(std::floor(position));
    const double f = position - static_cast<double>(k);
    const std::span<const double> a = joints(robot, k);
    const std::span<const double> b = joints(robot, k + 1);
    std::vector<double> out(a.size());
    for (std::size_t j = 0; j < a.size(); ++j)
        out[j] = a[j] + f * (b[j] - a[j]);
    return out;
}

std::uint32_t MotionTimeline::instructionAt(std::uint32_t task, double time) const
{
    for (const Span& span : spanList)
        if (span.task == task && time >= span.start && time <= span.end)
            return span.instruction;
    return 0;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> MotionTimeline::collisionsAt(double time) const
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (const SimulationEvent& e : eventList)
        if (e.kind == SimulationEvent::Kind::Collision && time >= e.time && time <= e.endTime)
            out.emplace_back(e.objectA, e.objectB);
    return out;
}

bool MotionTimeline::fails() const
{
    return std::any_of(eventList.begin(), eventList.end(), [](const SimulationEvent& e) { return e.fails(); });
}

std::size_t MotionTimeline::addRobot(std::uint32_t id, std::size_t dof)
{
    ZRV_ASSERT(dof > 0, "dof > 0", "src/cell/MotionTimeline");
    tracks.push_back({id, dof, {}});
    return tracks.size() - 1;
}

void MotionTimeline::appendSample(std::size_t robot, std::span<const double> joints)
{
    Track& track = tracks[robot];
    ZRV_ASSERT(joints.size() == track.dof, "joints.size() == track.dof", "src/cell/MotionTimeline");
    track.values.insert(track.values.end(), joints.begin(), joints.end());
}

void MotionTimeline::sortEvents()
{
    std::stable_sort(eventList.begin(), eventList.end(),
                     [](const SimulationEvent& a, const SimulationEvent& b) { return a.time < b.time; });
}

} // namespace cell
