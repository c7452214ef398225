#include "RobotValues.h"

#include <array>
#include <cmath>
#include <numbers>

namespace sdf::testing {

namespace {

Orient Normalised(double w, double x, double y, double z)
{
    const double n = std::sqrt(w * w + x * x + y * y + z * z);
    return {w / n, x / n, y / n, z / n};
}

// Turn about one principal axis by a multiple of a quarter turn.
Orient QuarterTurns(int axis, int quarters)
{
    const double half = quarters * std::numbers::pi / 4;
    const double c = std::cos(half);
    const double s = std::sin(half);
    return {c, axis == 0 ? s : 0.0, axis == 1 ? s : 0.0, axis == 2 ? s : 0.0};
}

} // namespace

Pos RandomPosition(GeneratorRandom& rng, double reach)
{
    return {rng.rounded(-reach, reach, 1), rng.rounded(-reach, reach, 1), rng.rounded(0, reach / 2, 1)};
}

Orient RandomOrientation(GeneratorRandom& rng)
{
    switch (rng.below(4)) {
    case 0:
        return {};
    case 1:
        // Tool pointing down, as most taught targets are.
        return {0, 0, 1, 0};
    case 2:
        return QuarterTurns(static_cast<int>(rng.below(3)), rng.between(1, 3));
    default:
        return Normalised(rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(-1, 1));
    }
}

Pose RandomPose(GeneratorRandom& rng, double reach) { return {RandomPosition(rng, reach), RandomOrientation(rng)}; }

Vec3 RandomAxis(GeneratorRandom& rng)
{
    switch (rng.below(5)) {
    case 0:
        return {1, 0, 0};
    case 1:
        return {0, 1, 0};
    case 2:
    case 3:
        return {0, 0, 1};
    default: {
        const Orient q = Normalised(rng.uniform(-1, 1), rng.uniform(-1, 1), rng.uniform(-1, 1), 0);
        return {q.w, q.x, q.y};
    }
    }
}

zrv::rob::ToolData RandomToolData(GeneratorRandom& rng)
{
    zrv::rob::ToolData tool;
    tool.robhold = !rng.chance(0.1);
    tool.tframe.trans = {rng.rounded(-50, 50, 1), rng.rounded(-50, 50, 1), rng.rounded(100, 400, 1)};
    const Orient q = RandomOrientation(rng);
    tool.tframe.rot = {q.w, q.x, q.y, q.z};
    tool.tload.mass = rng.rounded(0.5, 25, 2);
    tool.tload.cog = {rng.rounded(-20, 20, 1), rng.rounded(-20, 20, 1), rng.rounded(20, 200, 1)};
    tool.tload.ix = rng.rounded(0, 0.2, 4);
    tool.tload.iy = rng.rounded(0, 0.2, 4);
    tool.tload.iz = rng.rounded(0, 0.2, 4);
    return tool;
}

zrv::rob::WObjData RandomWObjData(GeneratorRandom& rng)
{
    zrv::rob::WObjData wobj;
    if (rng.chance(0.2)) {
        // Work object carried by a positioner.
        wobj.ufprog = false;
        wobj.ufmec = rng.pick({"Axes_1", "Axes_2", "Track_1"});
    }
    const Pos p = RandomPosition(rng, 1500);
    wobj.uframe.trans = {p.x, p.y, p.z};
    const Orient q = RandomOrientation(rng);
    wobj.uframe.rot = {q.w, q.x, q.y, q.z};
    wobj.oframe.trans = {rng.rounded(-100, 100, 1), rng.rounded(-100, 100, 1), 0};
    return wobj;
}

zrv::rob::SpeedData StandardSpeed(GeneratorRandom& rng)
{
    static constexpr std::array<double, 12> kTcp{5, 10, 50, 100, 150, 200, 300, 500, 800, 1000, 1500, 2000};
    zrv::rob::SpeedData speed;
    speed.v_tcp = rng.pick(std::span<const double>(kTcp));
    return speed;
}

zrv::rob::ZoneData StandardZone(GeneratorRandom& rng)
{
    // An exact stop, then corner zones of 0.3 to 100 mm as programs use them.
    static constexpr std::array<std::array<double, 6>, 8> kZones{{
        {0, 0, 0, 0, 0, 0},
        {0.3, 0.3, 0.3, 0.03, 0.3, 0.03},
        {1, 1, 1, 0.1, 1, 0.1},
        {5, 8, 8, 0.8, 8, 0.8},
        {10, 15, 15, 1.5, 15, 1.5},
        {20, 30, 30, 3, 30, 3},
        {50, 75, 75, 7.5, 75, 7.5},
        {100, 150, 150, 15, 150, 15},
    }};
    const unsigned i = rng.below(static_cast<unsigned>(kZones.size()));
    zrv::rob::ZoneData zone;
    zone.finep = i == 0;
    zone.pzone_tcp = kZones[i][0];
    zone.pzone_ori = kZones[i][1];
    zone.pzone_eax = kZones[i][2];
    zone.zone_ori = kZones[i][3];
    zone.zone_leax = kZones[i][4];
    zone.zone_reax = kZones[i][5];
    return zone;
}

zrv::rob::RobTarget RandomRobTarget(GeneratorRandom& rng)
{
    zrv::rob::RobTarget target;
    const Pos p = RandomPosition(rng, 1200);
    target.trans = {p.x, p.y, p.z + 200};
    const Orient q = RandomOrientation(rng);
    target.rot = {q.w, q.x, q.y, q.z};
    target.robconf = {rng.between(-2, 1), rng.between(-2, 1), rng.between(-2, 1), rng.between(0, 7)};
    if (rng.chance(0.15))
        target.extax[0] = rng.rounded(-180, 180, 2);
    return target;
}

zrv::rob::JointTarget RandomJointTarget(GeneratorRandom& rng)
{
    zrv::rob::JointTarget target;
    static constexpr std::array<double, 6> kRange{165, 110, 70, 160, 120, 400};
    for (std::size_t i = 0; i < target.robax.size(); ++i)
        target.robax[i] = rng.rounded(-kRange[i], kRange[i], 2);
    return target;
}

} // namespace sdf::testing
