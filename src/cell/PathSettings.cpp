#include "cell/PathSettings.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>
#include <string_view>

namespace cell {

namespace {

bool SameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The index of the text among the choices, compared without case (the
// catalogue itself writes "movej" beside "Movel").
template <std::size_t N>
std::size_t Choice(const sdf::Element& block, std::string_view path, std::string_view fallback,
                   const std::array<std::string_view, N>& choices)
{
    const std::string text = block.valueOr<std::string>(path, std::string(fallback));
    for (std::size_t i = 0; i < N; ++i)
        if (SameWord(text, choices[i]))
            return i;
    throw std::invalid_argument(fmt::format("{}/{}: '{}' is not one of {}", block.label(), path, text,
                                            fmt::join(choices, ", ")));
}

unsigned Axis(const sdf::Element& block, std::string_view path, unsigned fallback)
{
    const unsigned axis = block.valueOr<unsigned int>(path, fallback);
    if (axis > 5)
        throw std::invalid_argument(
            fmt::format("{}/{}: {} is not an axis (0=X, 1=-X, 2=Y, 3=-Y, 4=Z, 5=-Z)", block.label(), path, axis));
    return axis;
}

PathSettings::Motion MotionOf(const sdf::Element& block, std::string_view path, std::string_view fallback)
{
    constexpr std::array<std::string_view, 2> kMotions{"Movej", "Movel"};
    return Choice(block, path, fallback, kMotions) == 0 ? PathSettings::Motion::Joint : PathSettings::Motion::Linear;
}

PathSettings::Lead LeadOf(const sdf::Element& block, const std::string& side)
{
    constexpr std::array<std::string_view, 4> kMethods{"TangentLine", "PerpendicularLine", "Arc", "LineAndArc"};
    constexpr std::array<std::string_view, 2> kSides{"Right", "Left"};
    PathSettings::Lead lead;
    lead.enabled = block.valueOr<bool>(side + "_enabled", false);
    lead.method = static_cast<PathSettings::LeadMethod>(Choice(block, side + "_method", "TangentLine", kMethods));
    lead.right = Choice(block, side + "_side", "Right", kSides) == 0;
    lead.lineLength = block.valueOr<double>(side + "_line_length", 10);
    lead.heightOffset = block.valueOr<double>(side + "_height_offset", 0);
    lead.arcRadius = block.valueOr<double>(side + "_arc_radius", 10);
    lead.arcAngle = block.valueOr<double>(side + "_arc_angle", 90);
    return lead;
}

} // namespace

PathSettings PathSettings::Read(const sdf::Element& operation)
{
    PathSettings s;
    if (const auto gen = operation.get("path_gen")) {
        const sdf::Element& g = *gen;
        constexpr std::array<std::string_view, 2> kAlignments{"profile_tracking", "spherical_interpolation"};
        constexpr std::array<std::string_view, 2> kConfigurations{"fixed_orientation", "linear_interpolation"};
        constexpr std::array<std::string_view, 2> kPatterns{"Aligned", "Alternating"};
        constexpr std::array<std::string_view, 3> kApproximations{"Linear", "Circular", "Constant"};
        s.alignment = static_cast<Alignment>(Choice(g, "path_alignment_method", "profile_tracking", kAlignments));
        s.zRotation = g.valueOr<bool>("z_rotation", false);
        s.interpolateAngles = Choice(g, "orientation_configuration", "fixed_orientation", kConfigurations) == 1;
        s.start = {g.valueOr<double>("work_angle", 0), g.valueOr<double>("travel_angle", 0),
                   g.valueOr<double>("spin_angle", 0)};
        s.end = {g.valueOr<double>("end_work_angle", 0), g.valueOr<double>("end_travel_angle", 0),
                 g.valueOr<double>("end_spin_angle", 0)};
        s.normalOffset = g.valueOr<double>("normal_offset", 0);
        s.sideOffset = g.valueOr<double>("side_offset", 0);
        s.movementAxis = Axis(g, "movement_axis", 0);
        s.normalAxis = Axis(g, "normal_axis", 4);
        if (s.movementAxis / 2 == s.normalAxis / 2)
            throw std::invalid_argument(fmt::format("path_gen: movement_axis {} and normal_axis {} lie on one axis",
                                                    s.movementAxis, s.normalAxis));
        s.alternating = Choice(g, "pattern", "Aligned", kPatterns) == 1;
        s.approximation = static_cast<Approximation>(Choice(g, "approximation_type", "Linear", kApproximations));
        s.minDistance = std::max(0.0, g.valueOr<double>("min_distance", 0.1));
        s.maxRadius = std::max(0.0, g.valueOr<double>("max_radius", 0));
        s.tolerance = std::max(0.0, g.valueOr<double>("tolerance", 0));
        s.targetSpacing = std::max(0.0, g.valueOr<double>("target_spacing", 0));
        s.speed = g.valueOr<unsigned int>("speed", 0);
        s.zone = g.valueOr<unsigned int>("zone", 0);
        s.workObject = g.valueOr<unsigned int>("workobject", 0);
        s.toolData = g.valueOr<unsigned int>("tooldata", 0);
    }
    if (const auto lead = operation.get("entry_exit")) {
        s.entry = LeadOf(*lead, "entry");
        s.exit = LeadOf(*lead, "exit");
    }
    const auto ar = operation.get("approach_retract");
    s.approachRetract = ar && ar->valueOr<bool>("enabled", true);
    if (ar) {
        const sdf::Element& a = *ar;
        s.retractAxis = Axis(a, "axis", 4);
        s.initialMotion = MotionOf(a, "initial_motion_type", "movej");
        s.initialSpeed = a.valueOr<unsigned int>("initial_speed", 0);
        s.clearanceEnabled = a.valueOr<bool>("clearance_enabled", true);
        s.clearanceMotion = MotionOf(a, "clearance_motion_type", "Movel");
        s.clearanceDistance = a.valueOr<double>("clearance_distance", 100);
        s.clearanceSpeed = a.valueOr<unsigned int>("clearance_speed", 0);
        s.beginEndOnly = a.valueOr<bool>("begin_end_only", true);
        s.approachEnabled = a.valueOr<bool>("approach_enabled", true);
        s.approachMotion = MotionOf(a, "approach_motion_type", "Movel");
        s.approachDistance = a.valueOr<double>("approach_distance", 50);
        s.approachSpeed = a.valueOr<unsigned int>("approach_speed", 0);
        s.feedEnabled = a.valueOr<bool>("feed_enabled", true);
        s.feedHeight = a.valueOr<double>("feed_height", 5);
        s.atEntry = a.valueOr<bool>("entry_enabled", true);
        s.atExit = a.valueOr<bool>("exit_enabled", true);
    }
    return s;
}

} // namespace cell
