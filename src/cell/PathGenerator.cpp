#include "cell/PathGenerator.h"

#include "cell/FrameMath.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <utility>

namespace cell {

using namespace frame;

namespace {

using Move = PathGenerator::Move;
using Role = PathGenerator::Role;
using Pose = PathGenerator::Pose;

constexpr double kDegree = std::numbers::pi / 180;
constexpr double kSamePoint = 1e-9;

// A place on an edge: position, outward normal and unit tangent (in the
// direction of travel), and its arc length from the edge's start.
struct Sample
{
    Vec3d p;
    Vec3d n;
    Vec3d t;
    double s = 0;
    Move move = Move::Linear;
};

// An edge turned the way it is travelled, with its arc lengths.
class Polyline
{
public:
    Polyline(const EdgeCurve& edge, std::size_t index)
    {
        for (std::size_t k = 0; k < edge.points.size(); ++k) {
            const CurvePoint& point = edge.points[edge.reversed ? edge.points.size() - 1 - k : k];
            if (!p.empty() && Distance(p.back(), point.position) < kSamePoint)
                continue;
            p.push_back(point.position);
            n.push_back(point.normal);
            given.push_back(point.tangent ? std::optional(Normalised(edge.reversed ? Scale(*point.tangent, -1)
                                                                                   : *point.tangent,
                                                                     {1, 0, 0}))
                                          : std::nullopt);
            c.push_back(c.empty() ? 0 : c.back() + Distance(p[p.size() - 2], p.back()));
        }
        if (p.size() < 2)
            throw std::invalid_argument(fmt::format("edge {} has fewer than two distinct points", index + 1));
    }

    std::size_t size() const { return p.size(); }
    double length() const { return c.back(); }
    double at(std::size_t i) const { return c[i]; }
    const Vec3d& point(std::size_t i) const { return p[i]; }

    Sample vertex(std::size_t i) const
    {
        Vec3d t = given[i].value_or(Vec3d{0, 0, 0});
        if (!given[i]) {
            if (i > 0)
                t = Add(t, Normalised(Sub(p[i], p[i - 1]), {1, 0, 0}));
            if (i + 1 < p.size())
                t = Add(t, Normalised(Sub(p[i + 1], p[i]), {1, 0, 0}));
            t = Normalised(t, Normalised(Sub(p[std::min(i + 1, p.size() - 1)], p[i > 0 ? i - 1 : 0]), {1, 0, 0}));
        }
        return {p[i], n[i], t, c[i], Move::Linear};
    }

    Sample sample(double s) const
    {
        s = std::clamp(s, 0.0, length());
        const auto k = static_cast<std::size_t>(
            std::clamp<std::ptrdiff_t>(std::upper_bound(c.begin(), c.end(), s) - c.begin() - 1, 0,
                                       static_cast<std::ptrdiff_t>(p.size()) - 2));
        const double span = c[k + 1] - c[k];
        const double f = (s - c[k]) / span;
        if (f * span < kSamePoint)
            return vertex(k);
        if ((1 - f) * span < kSamePoint)
            return vertex(k + 1);
        const Vec3d along = Normalised(Sub(p[k + 1], p[k]), {1, 0, 0});
        Vec3d t = along;
        if (given[k] && given[k + 1])
            t = Normalised(Lerp(*given[k], *given[k + 1], f), along);
        return {Lerp(p[k], p[k + 1], f), Normalised(Lerp(n[k], n[k + 1], f), n[k]), t, s, Move::Linear};
    }

private:
    std::vector<Vec3d> p;
    std::vector<Vec3d> n;
    std::vector<std::optional<Vec3d>> given;
    std::vector<double> c;
};

double SegmentDistance(const Vec3d& x, const Vec3d& a, const Vec3d& b)
{
    const Vec3d ab = Sub(b, a);
    const double len2 = Dot(ab, ab);
    const double f = len2 > 0 ? std::clamp(Dot(Sub(x, a), ab) / len2, 0.0, 1.0) : 0.0;
    return Distance(x, Add(a, Scale(ab, f)));
}

// The polyline points that chords within the tolerance need (Douglas and
// Peucker), in order.
std::vector<std::size_t> KeptPoints(const Polyline& line, double tolerance)
{
    std::vector<char> keep(line.size(), 0);
    keep.front() = keep.back() = 1;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, line.size() - 1}};
    while (!stack.empty()) {
        const auto [a, b] = stack.back();
        stack.pop_back();
        double worst = -1;
        std::size_t at = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d = SegmentDistance(line.point(i), line.point(a), line.point(b));
            if (d > worst) {
                worst = d;
                at = i;
            }
        }
        if (worst > tolerance) {
            keep[at] = 1;
            stack.emplace_back(a, at);
            stack.emplace_back(at, b);
        }
    }
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < keep.size(); ++i)
        if (keep[i])
            kept.push_back(i);
    return kept;
}

struct Circle
{
    Vec3d centre;
    Vec3d axis;
    double radius = 0;
};

std::optional<Circle> CircleThrough(const Vec3d& a, const Vec3d& b, const Vec3d& c)
{
    const Vec3d ab = Sub(b, a);
    const Vec3d ac = Sub(c, a);
    const Vec3d normal = Cross(ab, ac);
    const double n2 = Dot(normal, normal);
    if (n2 < 1e-12 * Dot(ab, ab) * Dot(ac, ac))
        return std::nullopt;
    const Vec3d toCentre =
        Scale(Add(Scale(Cross(normal, ab), Dot(ac, ac)), Scale(Cross(ac, normal), Dot(ab, ab))), 1 / (2 * n2));
    return Circle{Add(a, toCentre), Scale(normal, 1 / std::sqrt(n2)), Length(toCentre)};
}

double TurnAngle(const Circle& circle, const Vec3d& from, const Vec3d& to)
{
    const Vec3d u = Sub(from, circle.centre);
    const Vec3d v = Sub(to, circle.centre);
    return std::atan2(Dot(Cross(u, v), circle.axis), Dot(u, v));
}

// Whether points a..b of the line lie on one arc of at most a half turn.
bool FitsArc(const Polyline& line, std::size_t a, std::size_t b, double tolerance, double maxRadius)
{
    const std::size_t mid = (a + b) / 2;
    const auto circle = CircleThrough(line.point(a), line.point(mid), line.point(b));
    if (!circle || (maxRadius > 0 && circle->radius > maxRadius))
        return false;
    double swept = 0;
    for (std::size_t i = a; i < b; ++i) {
        const double turn = TurnAngle(*circle, line.point(i), line.point(i + 1));
        if (turn <= 0)
            return false;
        swept += turn;
        const Vec3d off = Sub(line.point(i + 1), circle->centre);
        if (std::abs(Length(off) - circle->radius) > tolerance || std::abs(Dot(off, circle->axis)) > tolerance)
            return false;
    }
    return swept <= std::numbers::pi + 1e-9;
}

bool FitsLine(const Polyline& line, std::size_t a, std::size_t b, double tolerance)
{
    for (std::size_t i = a + 1; i < b; ++i)
        if (SegmentDistance(line.point(i), line.point(a), line.point(b)) > tolerance)
            return false;
    return true;
}

std::vector<Sample> Place(const Polyline& line, const PathSettings& s)
{
    std::vector<Sample> out;
    switch (s.approximation) {
    case PathSettings::Approximation::Constant: {
        if (s.targetSpacing <= 0)
            throw std::invalid_argument("target_spacing must be above 0 for Constant approximation");
        const auto count = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(line.length() / s.targetSpacing - 1e-9)));
        out.reserve(count + 1);
        for (std::size_t k = 0; k <= count; ++k)
            out.push_back(line.sample(line.length() * static_cast<double>(k) / static_cast<double>(count)));
        break;
    }
    case PathSettings::Approximation::Linear: {
        const auto kept = KeptPoints(line, std::max(s.tolerance, kSamePoint));
        out.push_back(line.vertex(kept.front()));
        for (std::size_t k = 1; k < kept.size(); ++k) {
            const double from = line.at(kept[k - 1]);
            const double span = line.at(kept[k]) - from;
            if (s.targetSpacing > 0 && span > s.targetSpacing) {
                const auto pieces = static_cast<std::size_t>(std::ceil(span / s.targetSpacing - 1e-9));
                for (std::size_t m = 1; m < pieces; ++m)
                    out.push_back(line.sample(from + span * static_cast<double>(m) / static_cast<double>(pieces)));
            }
            out.push_back(line.vertex(kept[k]));
        }
        break;
    }
    case PathSettings::Approximation::Circular: {
        const double tolerance = std::max(s.tolerance, 1e-6);
        out.push_back(line.vertex(0));
        std::size_t i = 0;
        while (i + 1 < line.size()) {
            std::size_t arcEnd = i;
            for (std::size_t j = i + 2; j < line.size() && FitsArc(line, i, j, tolerance, s.maxRadius); ++j)
                arcEnd = j;
            if (arcEnd > i) {
                Sample via = line.sample((line.at(i) + line.at(arcEnd)) / 2);
                via.move = Move::CircularVia;
                out.push_back(via);
                Sample end = line.vertex(arcEnd);
                end.move = Move::Circular;
                out.push_back(end);
                i = arcEnd;
                continue;
            }
            std::size_t lineEnd = i + 1;
            while (lineEnd + 1 < line.size() && FitsLine(line, i, lineEnd + 1, tolerance) &&
                   !(lineEnd + 2 < line.size() && FitsArc(line, lineEnd, lineEnd + 2, tolerance, s.maxRadius)))
                ++lineEnd;
            out.push_back(line.vertex(lineEnd));
            i = lineEnd;
        }
        break;
    }
    }

    // Neighbours closer than min_distance: drop the later one, but keep the
    // edge's end, which then replaces the one before it.
    std::vector<Sample> kept;
    kept.reserve(out.size());
    for (std::size_t k = 0; k < out.size(); ++k) {
        const bool last = k + 1 == out.size();
        if (!kept.empty() && Distance(kept.back().p, out[k].p) < s.minDistance) {
            if (!last)
                continue;
            if (kept.size() > 1)
                kept.pop_back();
        }
        kept.push_back(out[k]);
    }
    // A circular move needs both its points.
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (kept[k].move == Move::CircularVia && (k + 1 == kept.size() || kept[k + 1].move != Move::Circular))
            kept[k].move = Move::Linear;
        if (kept[k].move == Move::Circular && (k == 0 || kept[k - 1].move != Move::CircularVia))
            kept[k].move = Move::Linear;
    }
    return kept;
}


// The target's axes in the path frame: movement axis on X, normal axis on
// Z, the third completing a right-handed frame.
RigidTransform AxisMap(unsigned movementAxis, unsigned normalAxis)
{
    std::array<Vec3d, 3> column{};
    column[movementAxis / 2] = Scale(Vec3d{1, 0, 0}, movementAxis % 2 ? -1.0 : 1.0);
    column[normalAxis / 2] = Scale(Vec3d{0, 0, 1}, normalAxis % 2 ? -1.0 : 1.0);
    const std::size_t third = 3 - movementAxis / 2 - normalAxis / 2;
    column[third] = Cross(column[(third + 1) % 3], column[(third + 2) % 3]);
    return FromAxes(column[0], column[1], column[2], {0, 0, 0});
}

struct Angles
{
    double work;
    double travel;
    double spin;
};

Angles Blend(const PathSettings::Angles& a, const PathSettings::Angles& b, double f)
{
    return {a.work + (b.work - a.work) * f, a.travel + (b.travel - a.travel) * f, a.spin + (b.spin - a.spin) * f};
}

// The right-hand side of travel on the surface.
Vec3d RightOf(const Sample& x) { return Normalised(Cross(x.t, x.n), AnyPerpendicular(x.t)); }

// The sample with its normal made square to its tangent.
Sample Squared(Sample x)
{
    x.n = Normalised(Sub(x.n, Scale(x.t, Dot(x.n, x.t))), AnyPerpendicular(x.t));
    return x;
}

struct Row
{
    std::vector<Sample> samples;
    std::vector<double> along; // arc length over the whole operation
};

} // namespace

PathGenerator::PathGenerator(PathSettings settings)
    : s(std::move(settings))
{
}

std::vector<Pose> PathGenerator::generate(const std::vector<EdgeCurve>& edges) const
{
    if (edges.empty())
        throw std::invalid_argument("the operation has no edges");

    std::vector<Row> rows;
    double total = 0;
    const double join = std::max(s.tolerance, 0.01);
    for (std::size_t e = 0; e < edges.size(); ++e) {
        const Polyline line(edges[e], e);
        std::vector<Sample> placed = Place(line, s);
        if (!rows.empty() && Distance(rows.back().samples.back().p, placed.front().p) <= join)
            placed.erase(placed.begin());
        else
            rows.emplace_back();
        for (Sample& x : placed) {
            rows.back().along.push_back(total + x.s);
            rows.back().samples.push_back(Squared(x));
        }
        total += line.length();
    }
    const RigidTransform axisMap = AxisMap(s.movementAxis, s.normalAxis);

    const auto profile = [&](const Sample& x, const Angles& a, bool flip) {
        const Vec3d right = RightOf(x);
        const Vec3d position = Add(x.p, Add(Scale(x.n, s.normalOffset), Scale(right, s.sideOffset)));
        const Vec3d z = Scale(x.n, -1);
        const Vec3d xAxis = flip ? Scale(x.t, -1) : x.t;
        const RigidTransform path = FromAxes(xAxis, Cross(z, xAxis), z, position);
        return path * RigidTransform::Rotation({1, 0, 0}, a.work * kDegree) *
               RigidTransform::Rotation({0, 1, 0}, a.travel * kDegree) *
               RigidTransform::Rotation({0, 0, 1}, a.spin * kDegree) * axisMap;
    };
    const auto fraction = [&](double along) { return total > 0 ? along / total : 0.0; };

    // The orientations spherical interpolation blends between.
    const Sample& first = rows.front().samples.front();
    const Sample& last = rows.back().samples.back();
    const bool lastFlipped = s.alternating && rows.size() % 2 == 0;
    const RigidTransform startFrame = profile(first, {s.start.work, s.start.travel, s.start.spin}, false);
    const RigidTransform endFrame = profile(last, {s.end.work, s.end.travel, s.end.spin}, lastFlipped);

    const auto orient = [&](const Sample& x, double f, bool flip) {
        if (s.alignment == PathSettings::Alignment::ProfileTracking)
            return profile(x, s.interpolateAngles ? Blend(s.start, s.end, f) : Angles{s.start.work, s.start.travel, s.start.spin},
                           flip);
        const RigidTransform here = profile(x, Blend(s.start, s.end, f), flip);
        if (s.zRotation)
            return RigidTransform::FromParts(here.t, Slerp(startFrame, endFrame, f).q);
        // The normal axis stays on this target's; the movement axis keeps
        // the first target's direction as far as it can.
        const unsigned n = s.normalAxis / 2;
        const unsigned m = s.movementAxis / 2;
        const Vec3d normalDir = AxisOf(here, static_cast<int>(n));
        const Vec3d kept = AxisOf(startFrame, static_cast<int>(m));
        const Vec3d moveDir =
            Normalised(Sub(kept, Scale(normalDir, Dot(kept, normalDir))), AxisOf(here, static_cast<int>(m)));
        std::array<Vec3d, 3> axes{};
        axes[n] = normalDir;
        axes[m] = moveDir;
        const std::size_t third = 3 - n - m;
        axes[third] = Cross(axes[(third + 1) % 3], axes[(third + 2) % 3]);
        return FromAxes(axes[0], axes[1], axes[2], here.t);
    };

    const std::uint32_t processSpeed = s.speed;
    const auto speedOr = [&](std::uint32_t id) { return id != 0 ? id : processSpeed; };
    const auto arcSteps = [&](double radius, double angle) {
        double step = 10 * kDegree;
        if (s.tolerance > 0 && s.tolerance < radius)
            step = std::min(step, 2 * std::acos(1 - s.tolerance / radius));
        return std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(angle / step - 1e-9)));
    };

    // Lead points from the row's first (entry) or last (exit) target,
    // ordered away from it, each with the fraction of the lead's length.
    const auto leadPoints = [&](const PathSettings::Lead& lead, const Sample& x, const Vec3d& at, bool entry) {
        std::vector<std::pair<Vec3d, double>> points;
        const Vec3d t = entry ? Scale(x.t, -1) : x.t; // away from the target
        const Vec3d side = Scale(RightOf(x), lead.right ? 1.0 : -1.0);
        const double angle = lead.arcAngle * kDegree;
        const double arcLength = lead.arcRadius * angle;
        switch (lead.method) {
        case PathSettings::LeadMethod::TangentLine:
            points.emplace_back(Add(at, Scale(t, lead.lineLength)), 1.0);
            break;
        case PathSettings::LeadMethod::PerpendicularLine:
            points.emplace_back(Add(at, Scale(side, lead.lineLength)), 1.0);
            break;
        case PathSettings::LeadMethod::Arc:
        case PathSettings::LeadMethod::LineAndArc: {
            const bool withLine = lead.method == PathSettings::LeadMethod::LineAndArc;
            const double length = arcLength + (withLine ? lead.lineLength : 0);
            const Vec3d centre = Add(at, Scale(side, lead.arcRadius));
            const std::size_t steps = arcSteps(lead.arcRadius, angle);
            for (std::size_t k = 1; k <= steps; ++k) {
                const double phi = angle * static_cast<double>(k) / static_cast<double>(steps);
                const Vec3d p = Add(centre, Add(Scale(side, -lead.arcRadius * std::cos(phi)),
                                                Scale(t, lead.arcRadius * std::sin(phi))));
                points.emplace_back(p, length > 0 ? lead.arcRadius * phi / length : 1.0);
            }
            if (withLine) {
                // On along the arc's tangent at its far end.
                const Vec3d away = Add(Scale(t, std::cos(angle)), Scale(side, std::sin(angle)));
                points.emplace_back(Add(points.back().first, Scale(away, lead.lineLength)), 1.0);
            }
            break;
        }
        }
        std::vector<Vec3d> raised;
        for (const auto& [p, f] : points)
            raised.push_back(Add(p, Scale(x.n, lead.heightOffset * f)));
        return raised;
    };

    std::vector<Pose> out;
    const auto backOff = [&](const RigidTransform& from, double distance) {
        const Vec3d axis = AxisOf(from, static_cast<int>(s.retractAxis / 2));
        const Vec3d away = Scale(axis, s.retractAxis % 2 ? 1.0 : -1.0);
        return RigidTransform::FromParts(Add(from.t, Scale(away, distance)), from.q);
    };
    const auto motionOf = [](PathSettings::Motion m) { return m == PathSettings::Motion::Joint ? Move::Joint : Move::Linear; };

    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        const bool flip = s.alternating && r % 2 == 1;
        std::vector<Pose> process;
        process.reserve(row.samples.size());
        for (std::size_t k = 0; k < row.samples.size(); ++k) {
            const Sample& x = row.samples[k];
            process.push_back({orient(x, fraction(row.along[k]), flip), x.move, Role::Process, processSpeed});
        }
        std::vector<Pose> body;
        if (s.entry.enabled) {
            auto points = leadPoints(s.entry, row.samples.front(), process.front().tool.t, true);
            std::reverse(points.begin(), points.end());
            for (const Vec3d& p : points)
                body.push_back({RigidTransform::FromParts(p, process.front().tool.q), Move::Linear, Role::Entry, processSpeed});
        }
        body.insert(body.end(), process.begin(), process.end());
        if (s.exit.enabled) {
            for (const Vec3d& p : leadPoints(s.exit, row.samples.back(), process.back().tool.t, false))
                body.push_back({RigidTransform::FromParts(p, process.back().tool.q), Move::Linear, Role::Exit, processSpeed});
        }

        const bool wayIn = s.approachRetract && s.atEntry && (r == 0 || !s.beginEndOnly);
        const bool wayOut = s.approachRetract && s.atExit && (r + 1 == rows.size() || !s.beginEndOnly);
        if (wayIn) {
            const RigidTransform& b = body.front().tool;
            if (s.clearanceEnabled)
                out.push_back({backOff(b, s.clearanceDistance), motionOf(s.clearanceMotion), Role::Clearance, speedOr(s.clearanceSpeed)});
            if (s.approachEnabled)
                out.push_back({backOff(b, s.approachDistance), motionOf(s.approachMotion), Role::Approach, speedOr(s.approachSpeed)});
            if (s.feedEnabled)
                out.push_back({backOff(b, s.feedHeight), Move::Linear, Role::Feed, speedOr(s.approachSpeed)});
        }
        // The move onto the row's first pose is linear whatever placed it.
        body.front().move = Move::Linear;
        out.insert(out.end(), body.begin(), body.end());
        if (wayOut) {
            const RigidTransform e = body.back().tool;
            if (s.feedEnabled)
                out.push_back({backOff(e, s.feedHeight), Move::Linear, Role::Feed, processSpeed});
            if (s.approachEnabled)
                out.push_back({backOff(e, s.approachDistance), motionOf(s.approachMotion), Role::Approach, speedOr(s.approachSpeed)});
            if (s.clearanceEnabled)
                out.push_back({backOff(e, s.clearanceDistance), motionOf(s.clearanceMotion), Role::Clearance, speedOr(s.clearanceSpeed)});
        }
    }
    // The first move of the path comes from wherever the robot is.
    out.front().move = motionOf(s.initialMotion);
    out.front().speed = speedOr(s.initialSpeed);
    return out;
}

} // namespace cell
