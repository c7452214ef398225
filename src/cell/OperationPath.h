#pragma once

// Generates an operation's path into its station: finds its edges
// (OperationEdges), places and orients the targets (PathGenerator), judges
// each target's reach when a judge is given (ReachJudge) and writes the
// path over the operation's previous one (PathWriter).
//
// The path goes to the program task that holds the operation, else to the
// task whose data items the operation's `path_gen` names (tool, speed,
// zone, work object), else to the only task. `path_gen` must name its
// speed, zone and tool data; without a work object the targets are given
// in the task frame and the moves name none. Moves are "Movej" and "Movel",
// and "Movec" with a `via` argument for a circular approximation.

#include "cell/Export.h"
#include "cell/PartGeometry.h"
#include "cell/PathGenerator.h"
#include "cell/ReachJudge.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT OperationPath
{
public:
    struct Options
    {
        std::filesystem::path baseDirectory; // where relative shape files are
        PartGeometry geometry;
        ReachJudge judge; // empty: judgeFor's, else reach is not judged
        // Makes the judge once the task that holds the path and the tool
        // data of path_gen are known (the robot is the task's).
        std::function<ReachJudge(const sdf::Element& task, const sdf::Element& toolData)> judgeFor;
    };

    struct Target
    {
        std::string name; // the robtarget data item
        PathGenerator::Role role = PathGenerator::Role::Process;
        RigidTransform tool; // the tool frame in the world frame
        ReachVerdict reach;
    };

    struct Result
    {
        std::uint32_t pathId = 0;
        std::string pathName;
        std::vector<Target> targets; // in the order the robot visits them
        std::size_t moves = 0;
        double length = 0;        // through every target, mm
        double processLength = 0; // between neighbouring process targets, mm
        bool judged = false;
        std::size_t unreachable = 0;
        std::size_t configurationChanges = 0;
    };

    // The operation (under the station or a task) with that id, or else the
    // one with that name; nullptr when there is none.
    static std::shared_ptr<sdf::Element> Find(const sdf::Element& root, const std::string& idOrName);

    // Generates and writes; the document is left as it was when generation
    // fails (std::runtime_error or std::invalid_argument, exact messages
    // naming the operation).
    static Result Generate(const std::shared_ptr<sdf::Element>& root, sdf::Element& operation, const Options& options);
};

} // namespace cell
