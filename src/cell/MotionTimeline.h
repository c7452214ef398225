#pragma once

// A simulation run sampled once, for playing it back and looking it up: the
// joint values of every robot at evenly spaced times, which instruction
// moves when, the cycle time of every path and task, and the events found.
// A robot whose program ends earlier than the run keeps its last values.

#include "cell/Export.h"
#include "cell/SimulationEvent.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace cell {

class ZRV_CELL_EXPORT MotionTimeline
{
public:
    // When one instruction moves (seconds from the start).
    struct Span
    {
        std::uint32_t task = 0;
        std::uint32_t path = 0;
        std::uint32_t instruction = 0;
        double start = 0;
        double end = 0;
    };

    struct PathTime
    {
        std::uint32_t task = 0;
        std::uint32_t path = 0;
        std::string name;
        double start = 0;
        double end = 0;
        double cycleTime() const { return end - start; }
    };

    struct TaskTime
    {
        std::uint32_t task = 0;
        std::string name;
        std::uint32_t robot = 0;
        double cycleTime = 0;
    };

    explicit MotionTimeline(double sampleTime = 0.004);

    double sampleTime() const { return step; }
    // The last sample's time.
    double duration() const;
    std::size_t sampleCount() const;

    // Robots, in the order they were added.
    std::size_t robotCount() const { return tracks.size(); }
    std::uint32_t robotId(std::size_t robot) const { return tracks[robot].id; }
    std::size_t dof(std::size_t robot) const { return tracks[robot].dof; }
    // Stored joint values of a robot at a sample (its last ones beyond
    // its end).
    std::span<const double> joints(std::size_t robot, std::size_t sample) const;
    // Joint values at any time, linear between samples, clamped to the run.
    std::vector<double> jointsAt(std::size_t robot, double time) const;
    // The instruction a task's robot carries out at the time (0: none).
    std::uint32_t instructionAt(std::uint32_t task, double time) const;

    // Objects in a collision at the time, two by two (for colouring).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> collisionsAt(double time) const;

    const std::vector<Span>& spans() const { return spanList; }
    const std::vector<PathTime>& paths() const { return pathList; }
    const std::vector<TaskTime>& tasks() const { return taskList; }
    // In time order.
    const std::vector<SimulationEvent>& events() const { return eventList; }
    bool fails() const;

    // Building (MotionSimulation): a robot's track, then its samples in
    // time order from sample 0.
    std::size_t addRobot(std::uint32_t id, std::size_t dof);
    void appendSample(std::size_t robot, std::span<const double> joints);
    std::size_t trackLength(std::size_t robot) const { return tracks[robot].values.size() / tracks[robot].dof; }
    void addSpan(const Span& span) { spanList.push_back(span); }
    void addPath(PathTime path) { pathList.push_back(std::move(path)); }
    void addTask(TaskTime task) { taskList.push_back(std::move(task)); }
    void addEvent(SimulationEvent event) { eventList.push_back(std::move(event)); }
    // Puts the events in time order (stable).
    void sortEvents();

private:
    struct Track
    {
        std::uint32_t id = 0;
        std::size_t dof = 0;
        std::vector<double> values; // dof per sample
    };

    double step;
    std::vector<Track> tracks;
    std::vector<Span> spanList;
    std::vector<PathTime> pathList;
    std::vector<TaskTime> taskList;
    std::vector<SimulationEvent> eventList;
};

} // namespace cell
