#include "cell/MotionTrack.h"

#include "cell/ArmConfiguration.h"
#include "cell/InverseKinematics.h"
#include "cell/MotionProfile.h"
#include "cell/QuaternionMath.h"

#include <fmt/format.h>

#include <cmath>
#include <functional>
#include <set>
#include <utility>

namespace cell {

namespace {

using detail::AngleBetween;
using detail::Distance;
using detail::Lerp;
using detail::Slerp;

constexpr double kDegree = 3.14159265358979323846 / 180;

// A move with its place in the task's programme; a circular move becomes
// two straight ones, through its via point without stopping.
struct Step
{
    const MoveInstruction* move = nullptr;
    std::size_t path = 0;
    MoveInstruction::Kind kind = MoveInstruction::Kind::Linear;
    RigidTransform target;
    bool finePoint = true;
    double zone = 0;
    bool last = false; // of the task: the robot stops there
};

std::vector<Step> Flatten(const TaskProgram& task)
{
    std::vector<Step> steps;
    for (std::size_t p = 0; p < task.paths.size(); ++p) {
        for (const MoveInstruction& move : task.paths[p].moves) {
            if (move.via)
                steps.push_back({&move, p, MoveInstruction::Kind::Linear, *move.via, false, 0, false});
            steps.push_back({&move, p, move.kind, move.target, move.finePoint, move.zone, false});
        }
    }
    if (!steps.empty())
        steps.back().last = true;
    return steps;
}

Vec3d Bezier(const Vec3d& a, const Vec3d& c, const Vec3d& b, double f)
{
    return Lerp(Lerp(a, c, f), Lerp(c, b, f), f);
}

double BezierLength(const Vec3d& a, const Vec3d& c, const Vec3d& b)
{
    double length = 0;
    Vec3d previous = a;
    for (int k = 1; k <= 32; ++k) {
        const Vec3d point = Bezier(a, c, b, k / 32.0);
        length += Distance(previous, point);
        previous = point;
    }
    return length;
}

class Builder
{
public:
    Builder(const TaskProgram& task, const SimulationOptions& options, MotionTimeline& timeline)
        : task(task)
        , ik(*task.robot)
        , options(options)
        , timeline(timeline)
        , q(ik.robot().currentValues())
    {
        robot = timeline.addRobot(ik.robot().id(), ik.robot().dof());
        timeline.appendSample(robot, q);
        for (const auto& joint : ik.robot().joints())
            limits.push_back(joint.type == RobotModel::JointType::Revolute ? options.revoluteSpeed
                                                                          : options.prismaticSpeed);
        const auto solved = ik.solve(ik.robot().flange(q), q);
        if (!solved.solutions.empty())
            branch = solved.solutions.front().conf[3];
    }

    void run()
    {
        const std::vector<Step> steps = Flatten(task);
        std::vector<double> pathStart(task.paths.size(), -1);
        std::vector<double> pathEnd(task.paths.size(), 0);
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const Step& step = steps[k];
            const MoveInstruction& move = *step.move;
            if (pathStart[step.path] < 0)
                pathStart[step.path] = t;
            if (!current || current->id != move.id) {
                current = &move;
                moveStart = t;
            }
            if (!move.problem.empty()) {
                event(SimulationEvent::Kind::Unreachable, move.problem);
                stopped = true;
                entry.reset();
            } else if (step.kind == MoveInstruction::Kind::Joint) {
                jointMove(step, k + 1 < steps.size() ? &steps[k + 1] : nullptr);
            } else {
                linearMove(step, k + 1 < steps.size() ? &steps[k + 1] : nullptr);
            }
            pathEnd[step.path] = t;
            if (k + 1 == steps.size() || steps[k + 1].move != &move)
                timeline.addSpan({task.id, task.paths[step.path].id, move.id, moveStart, t});
        }
        for (std::size_t p = 0; p < task.paths.size(); ++p) {
            const double start = pathStart[p] < 0 ? t : pathStart[p];
            timeline.addPath({task.id, task.paths[p].id, task.paths[p].name, start, std::max(start, pathEnd[p])});
        }
        timeline.addTask({task.id, task.name, ik.robot().id(), t});
    }

private:
    RigidTransform tcpOf(const std::vector<double>& joints, const RigidTransform& tool) const
    {
        return ik.robot().base() * ik.robot().flange(joints) * tool;
    }

    void event(SimulationEvent::Kind kind, std::string message, double at = -1)
    {
        if (!reported.insert({current ? current->id : 0, static_cast<int>(kind)}).second)
            return;
        SimulationEvent e;
        e.kind = kind;
        e.time = at < 0 ? t : at;
        e.endTime = e.time;
        e.task = task.id;
        e.instruction = current ? current->id : 0;
        e.robot = ik.robot().id();
        e.message = std::move(message);
        timeline.addEvent(std::move(e));
    }

    // Samples the piece [t, t + duration] with pose(s) giving the joints.
    void sample(double duration, const MotionProfile& profile, const std::function<void(double, double)>& at)
    {
        const double end = t + duration;
        for (;;) {
            const double time = static_cast<double>(timeline.trackLength(robot)) * timeline.sampleTime();
            if (time > end + 1e-12)
                break;
            at(profile.at(time - t), time);
            timeline.appendSample(robot, q);
        }
        at(1, end); // the piece's end, between samples too
        t = end;
    }

    void jointMove(const Step& step, const Step* next)
    {
        const MoveInstruction& move = *step.move;
        const auto answer = ik.reach(ik.flangeFor(step.target, move.tool), move.conf, q);
        if (answer.solutions.empty()) {
            event(answer.status == ReachStatus::OutsideLimits ? SimulationEvent::Kind::JointLimit
                                                               : SimulationEvent::Kind::Unreachable,
                  fmt::format("target of instruction {}: {}", move.id, answer.reason));
            stopped = true;
            entry.reset();
            return;
        }
        if (answer.status == ReachStatus::NotInConfiguration)
            event(SimulationEvent::Kind::ConfigurationChange, answer.reason);
        const std::vector<double> q0 = q;
        const std::vector<double>& q1 = answer.solutions.front().joints;
        const RigidTransform from = tcpOf(q0, move.tool);
        const double travel = Distance(from.t, step.target.t);

        // A zone between two joint moves cuts the corner in joint space:
        // the joints leave the line to q1 before reaching it and join the
        // line to the next target as far after, on a parabola whose control
        // point is q1. How far: the zone's share of each move's straight
        // tool travel (never more than half of either move).
        std::vector<double> q2;
        double leaveShare = 0;
        double joinShare = 0;
        if (!step.finePoint && step.zone > 0 && next && !step.last && next->kind == MoveInstruction::Kind::Joint &&
            next->move->problem.empty()) {
            const auto onward = ik.reach(ik.flangeFor(next->target, next->move->tool), next->move->conf, q1);
            const double nextTravel = Distance(step.target.t, next->target.t);
            if (!onward.solutions.empty() && travel > 0 && nextTravel > 0) {
                q2 = onward.solutions.front().joints;
                leaveShare = std::min(step.zone / travel, 0.5);
                joinShare = std::min(step.zone / nextTravel, 0.5);
            }
        }
        const bool blends = !q2.empty();
        std::vector<double> leave = q1;
        for (std::size_t j = 0; j < q.size(); ++j)
            leave[j] = q1[j] + leaveShare * (q0[j] - q1[j]);

        double cruise = 0;
        for (std::size_t j = 0; j < q.size(); ++j)
            cruise = std::max(cruise, std::abs(leave[j] - q0[j]) / limits[j]);
        cruise = std::max({cruise, (1 - leaveShare) * travel / move.tcpSpeed,
                           AngleBetween(from.q, step.target.q) / (move.orientationSpeed * kDegree)});
        const bool stopAtEnd = !blends && (step.finePoint || step.last);
        const MotionProfile profile(cruise, options.rampTime, stopped, stopAtEnd);
        sample(profile.duration(), profile, [&](double s, double time) {
            for (std::size_t j = 0; j < q.size(); ++j)
                q[j] = q0[j] + s * (leave[j] - q0[j]);
            lastTime = time;
        });
        branch = answer.solutions.front().conf[3];
        stopped = stopAtEnd;
        entry.reset();
        if (blends)
            jointBlend(leave, q1, q2, joinShare, move, *next->move);
    }

    // The corner of two joint moves as a quadratic Bézier in joint space,
    // from `leave` through the control point `corner` to the point `share`
    // of the way from `corner` to `onward`, at the speed the slower joint
    // or the slower move's tool speed allows.
    void jointBlend(const std::vector<double>& leave, const std::vector<double>& corner,
                    const std::vector<double>& onward, double share, const MoveInstruction& move,
                    const MoveInstruction& nextMove)
    {
        std::vector<double> join = corner;
        for (std::size_t j = 0; j < join.size(); ++j)
            join[j] = corner[j] + share * (onward[j] - corner[j]);
        const auto at = [&](double f) {
            std::vector<double> joints(join.size());
            for (std::size_t j = 0; j < joints.size(); ++j)
                joints[j] = (1 - f) * (1 - f) * leave[j] + 2 * (1 - f) * f * corner[j] + f * f * join[j];
            return joints;
        };
        constexpr int kPieces = 16;
        double cruise = 0;
        double tcpLength = 0;
        std::vector<double> previous = leave;
        Vec3d previousTcp = tcpOf(leave, move.tool).t;
        std::vector<double> jointLength(join.size(), 0);
        for (int k = 1; k <= kPieces; ++k) {
            const std::vector<double> joints = at(k / double(kPieces));
            for (std::size_t j = 0; j < joints.size(); ++j)
                jointLength[j] += std::abs(joints[j] - previous[j]);
            const Vec3d tcp = tcpOf(joints, move.tool).t;
            tcpLength += Distance(previousTcp, tcp);
            previous = joints;
            previousTcp = tcp;
        }
        for (std::size_t j = 0; j < join.size(); ++j)
            cruise = std::max(cruise, jointLength[j] / limits[j]);
        cruise = std::max(cruise, tcpLength / std::min(move.tcpSpeed, nextMove.tcpSpeed));
        const MotionProfile blend(cruise, options.rampTime, false, false);
        sample(blend.duration(), blend, [&](double s, double time) {
            q = at(s);
            lastTime = time;
        });
    }

    void linearMove(const Step& step, const Step* next)
    {
        const MoveInstruction& move = *step.move;
        const RigidTransform now = tcpOf(q, move.tool);
        const Vec3d start = entry ? *entry : now.t;
        const std::array<double, 4> r0 = now.q;
        const std::array<double, 4> r1 = step.target.q;
        const Vec3d corner = step.target.t;

        // A zone cuts the corner to the next straight move with the same
        // tool: the path leaves this line `d` before the target and joins
        // the next `d` after it, on a parabola (quadratic Bézier) whose
        // control point is the target.
        double d = 0;
        const bool blends = !step.finePoint && step.zone > 0 && next && !step.last &&
                            next->kind == MoveInstruction::Kind::Linear && next->move->problem.empty() &&
                            RigidTransformsEqual(next->move->tool, move.tool);
        if (blends)
            d = std::min({step.zone, Distance(start, corner) / 2, Distance(corner, next->target.t) / 2});
        const Vec3d leave = Lerp(corner, start, Distance(start, corner) > 0 ? d / Distance(start, corner) : 0);
        const Vec3d join = blends ? Lerp(corner, next->target.t, d / std::max(Distance(corner, next->target.t), 1e-12))
                                  : corner;

        const double length = Distance(start, leave);
        const double cruise = std::max(length / move.tcpSpeed, AngleBetween(r0, r1) / (move.orientationSpeed * kDegree));
        const bool stopAtEnd = !blends && (step.finePoint || step.last);
        const MotionProfile line(cruise, options.rampTime, stopped, stopAtEnd);
        sample(line.duration(), line, [&](double s, double time) {
            reachPose(RigidTransform::FromParts(Lerp(start, leave, s), Slerp(r0, r1, s)), move.tool, time);
        });
        checkEndConfiguration(move);
        stopped = stopAtEnd;
        entry.reset();
        if (!blends || d <= 0)
            return;
        const double speed = std::min(move.tcpSpeed, next->move->tcpSpeed);
        const MotionProfile blend(BezierLength(leave, corner, join) / speed, options.rampTime, false, false);
        sample(blend.duration(), blend, [&](double s, double time) {
            reachPose(RigidTransform::FromParts(Bezier(leave, corner, join, s), r1), move.tool, time);
        });
        entry = join;
    }

    // A straight move keeps the arm's configuration nearest to the one it
    // starts in, so it can end in another configuration than the one its
    // target names; the real controller would refuse to carry it out.
    // Checked where the line ends (before any corner blend).
    void checkEndConfiguration(const MoveInstruction& move)
    {
        if (!move.conf)
            return;
        const std::array<int, 4> reached = ArmConfiguration::Of(ik.robot(), q, branch);
        if (ArmConfiguration::Matches(reached, *move.conf, ik.closedForm()))
            return;
        const std::array<int, 4>& wanted = *move.conf;
        event(SimulationEvent::Kind::ConfigurationChange,
              fmt::format("the line of instruction {} ends in configuration [{}, {}, {}, {}], its target names "
                          "[{}, {}, {}, {}]",
                          move.id, reached[0], reached[1], reached[2], reached[3], wanted[0], wanted[1], wanted[2],
                          wanted[3]),
              lastTime);
    }

    static bool RigidTransformsEqual(const RigidTransform& a, const RigidTransform& b)
    {
        return a.q == b.q && a.t == b.t;
    }

    // The joints for the pose nearest the present ones, and the events of
    // getting there.
    void reachPose(const RigidTransform& tcp, const RigidTransform& tool, double time)
    {
        const auto answer = ik.reach(ik.flangeFor(tcp, tool), std::nullopt, q);
        if (answer.solutions.empty()) {
            event(answer.status == ReachStatus::OutsideLimits ? SimulationEvent::Kind::JointLimit
                                                               : SimulationEvent::Kind::Unreachable,
                  fmt::format("the line of instruction {} leaves the robot's reach: {}", current->id, answer.reason),
                  time);
            return;
        }
        const IkSolution& chosen = answer.solutions.front();
        const double since = time - lastTime;
        if (since > 1e-9) {
            for (std::size_t j = 0; j < q.size(); ++j) {
                const double speed = std::abs(chosen.joints[j] - q[j]) / since;
                if (speed > limits[j] * 1.001) {
                    event(SimulationEvent::Kind::SpeedLimit,
                          fmt::format("joint {} would move at {:.4g} per second, above its limit {:.4g}", j + 1,
                                      speed, limits[j]),
                          time);
                    break;
                }
            }
        }
        if (chosen.singular())
            event(SimulationEvent::Kind::Singularity,
                  fmt::format("{} singularity", chosen.wristSingular      ? "wrist"
                                                : chosen.shoulderSingular ? "shoulder"
                                                : chosen.elbowSingular    ? "elbow"
                                                                          : "chain"),
                  time);
        if (ik.closedForm() && chosen.conf[3] != branch)
            event(SimulationEvent::Kind::ConfigurationChange,
                  fmt::format("the arm changes its branch from cfx {} to {}", branch, chosen.conf[3]), time);
        branch = chosen.conf[3];
        q = chosen.joints;
        lastTime = time;
    }

    const TaskProgram& task;
    const InverseKinematics& ik;
    const SimulationOptions& options;
    MotionTimeline& timeline;
    std::size_t robot = 0;
    std::vector<double> q;
    std::vector<double> limits;
    int branch = 0;
    double t = 0;
    double lastTime = 0;
    bool stopped = true;
    std::optional<Vec3d> entry; // where a blend left the next straight move to start
    const MoveInstruction* current = nullptr;
    double moveStart = 0;
    std::set<std::pair<std::uint32_t, int>> reported; // one event of a kind per instruction
};

} // namespace

void MotionTrack::Build(const TaskProgram& task, const SimulationOptions& options, MotionTimeline& timeline)
{
    if (!task.robot || task.robot->robot().dof() == 0)
        return;
    Builder(task, options, timeline).run();
}

} // namespace cell
