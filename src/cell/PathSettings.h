#pragma once

// An operation's settings for path generation as the generator uses them:
// `path_gen`, `entry_exit` and `approach_retract` with the catalogue's
// defaults for what the document leaves out. Angles stay in degrees as
// written; lengths are millimetres.

#include "cell/Export.h"

#include <cstdint>
#include <string>

namespace sdf {
class Element;
}

namespace cell {

struct ZRV_CELL_EXPORT PathSettings
{
    enum class Alignment { ProfileTracking, SphericalInterpolation };
    enum class Approximation { Linear, Circular, Constant };
    enum class LeadMethod { TangentLine, PerpendicularLine, Arc, LineAndArc };
    enum class Motion { Joint, Linear };

    struct Angles
    {
        double work = 0;
        double travel = 0;
        double spin = 0;
    };

    struct Lead
    {
        bool enabled = false;
        LeadMethod method = LeadMethod::TangentLine;
        bool right = true;
        double lineLength = 10;
        double heightOffset = 0;
        double arcRadius = 10;
        double arcAngle = 90; // degrees
    };

    // path_gen
    Alignment alignment = Alignment::ProfileTracking;
    bool zRotation = false;
    bool interpolateAngles = false; // "linear_interpolation"
    Angles start;
    Angles end;
    double normalOffset = 0;
    double sideOffset = 0;
    unsigned movementAxis = 0; // 0=X 1=-X 2=Y 3=-Y 4=Z 5=-Z
    unsigned normalAxis = 4;
    bool alternating = false;
    Approximation approximation = Approximation::Linear;
    double minDistance = 0.1;
    double maxRadius = 0;
    double tolerance = 0;
    double targetSpacing = 0;
    std::uint32_t speed = 0;
    std::uint32_t zone = 0;
    std::uint32_t workObject = 0;
    std::uint32_t toolData = 0;

    // entry_exit
    Lead entry;
    Lead exit{false, LeadMethod::TangentLine, true, 10, 0, 10, 90};

    // approach_retract
    bool approachRetract = true;
    unsigned retractAxis = 4;
    Motion initialMotion = Motion::Joint;
    std::uint32_t initialSpeed = 0;
    bool clearanceEnabled = true;
    Motion clearanceMotion = Motion::Linear;
    double clearanceDistance = 100;
    std::uint32_t clearanceSpeed = 0;
    bool beginEndOnly = true;
    bool approachEnabled = true;
    Motion approachMotion = Motion::Linear;
    double approachDistance = 50;
    std::uint32_t approachSpeed = 0;
    bool feedEnabled = true;
    double feedHeight = 5;
    bool atEntry = true;
    bool atExit = true;

    // Reads the operation's blocks; an operation without `approach_retract`
    // gets no approach and retract moves (the block is what asks for them).
    // std::invalid_argument with an exact message for a value outside its
    // choices (e.g. "path_gen/approximation_type: 'Spline' is not one of
    // Linear, Circular, Constant").
    static PathSettings Read(const sdf::Element& operation);
};

} // namespace cell
