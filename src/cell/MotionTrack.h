#pragma once

// One task's motion sampled into a timeline (see MotionSimulation.h for the
// model). Internal to the library.

#include "cell/MotionProgram.h"
#include "cell/MotionTimeline.h"
#include "cell/SimulationOptions.h"

namespace cell {

class MotionTrack
{
public:
    // Adds the task's robot to the timeline with its samples, spans, path
    // and task times and events, starting from the robot's stored joints.
    static void Build(const TaskProgram& task, const SimulationOptions& options, MotionTimeline& timeline);
};

} // namespace cell
