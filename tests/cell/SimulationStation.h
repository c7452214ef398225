#pragma once

// A small cell for the simulation tests: a six-axis arm at the origin with
// a 200 mm rod as its tool on the wrist, a thin plate as a part, a collision
// set of the tool against the plate, and one task whose path the test
// writes. Geometry files are written into a directory of the test's own.

#include <sdformat/SDF.h>

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace cell::test {

struct CellSpec
{
    double plateZ = 400;      // the plate's underside (mm), 4 mm thick
    double nearMiss = 0;      // the set's near-miss distance
    double joint1Limit = 170; // degrees, either way
    std::string instructions; // the path's instructions
    // The plate as the part's second body (id 9), after a small block
    // (body 6) far from the path.
    bool plateSecond = false;
};

// An ASCII STL box between two corners.
inline void WriteBox(const std::filesystem::path& file, double x0, double y0, double z0, double x1, double y1,
                     double z1)
{
    const double p[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                            {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                              {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
    std::ofstream out(file);
    out << "solid box\n";
    for (const auto& f : faces) {
        out << "facet normal 0 0 0\nouter loop\n";
        for (const int v : f)
            out << fmt::format("vertex {} {} {}\n", p[v][0], p[v][1], p[v][2]);
        out << "endloop\nendfacet\n";
    }
    out << "endsolid box\n";
}

// A robtarget argument: the tool pointing straight down at x y z.
inline std::string Down(double x, double y, double z)
{
    return fmt::format("{} {} {} 0 0 1 0 0 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9", x, y, z);
}

// One instruction (ids from `id`) moving to the robtarget text.
inline std::string Move(int id, const std::string& name, const std::string& target, const std::string& speed = "vSlow",
                        const std::string& zone = "zFine")
{
    return fmt::format("<instruction id='{0}'><name>{1}</name>"
                       "<argument id='{2}'><name>target</name><value type='robtarget'>{3}</value></argument>"
                       "<argument id='{4}'><name>speed</name><value type='string'>{5}</value></argument>"
                       "<argument id='{6}'><name>zone</name><value type='string'>{7}</value></argument>"
                       "<argument id='{8}'><name>tool</name><value type='string'>tRod</value></argument>"
                       "</instruction>",
                       id, name, id + 1, target, id + 2, speed, id + 3, zone, id + 4);
}

inline std::string StationText(const std::filesystem::path& dir, const CellSpec& spec)
{
    WriteBox(dir / "rod.stl", -5, -5, 0, 5, 5, 200);
    WriteBox(dir / "plate.stl", 600, -200, spec.plateZ, 1000, 200, spec.plateZ + 4);
    std::string text = "<sdf version='1.0'><station id='1'><manipulator id='2'><name>Arm</name>"
                       "<pose>0 0 0 1 0 0 0</pose>";
    const char* links[7] = {"0 0 0", "0 0 486.5", "150 0 0", "0 0 700", "314 0 0", "286 0 0", "65 0 0"};
    const char* axes[6] = {"0 0 1", "0 1 0", "0 1 0", "1 0 0", "0 1 0", "1 0 0"};
    for (int i = 0; i < 7; ++i)
        text += fmt::format("<link id='{}'><pose>{} 1 0 0 0</pose></link>", 10 + i, links[i]);
    for (int i = 0; i < 6; ++i) {
        const double limit = i == 0 ? spec.joint1Limit : 170;
        text += fmt::format("<joint id='{}'><index>{}</index><value>{}</value><axis><xyz>{}</xyz><limit>"
                            "<lower>{}</lower><upper>{}</upper></limit></axis></joint>",
                            20 + i, i + 1, i == 4 ? 0.5 : 0.0, axes[i], -limit, limit);
    }
    text += "<wrist id='30'><parent>16</parent><pose>0 0 0 0.7071067811865476 0 0.7071067811865476 0</pose></wrist>"
            "</manipulator>"
            "<tool id='3'><name>Rod</name><tooldata><name>tRod</name>"
            "<value>true 0 0 200 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value></tooldata>"
            "<link id='31'><pose>0 0 0 1 0 0 0</pose><user_file><uri>rod.stl</uri></user_file></link></tool>"
            "<part id='5'><name>Plate</name><pose>0 0 0 1 0 0 0</pose>";
    if (spec.plateSecond) {
        WriteBox(dir / "block.stl", -1000, -1000, 0, -900, -900, 100);
        text += "<body id='6'><geometry><uri>block.stl</uri></geometry></body>"
                "<body id='9'><geometry><uri>plate.stl</uri></geometry></body></part>";
    } else {
        text += "<body id='6'><geometry><uri>plate.stl</uri></geometry></body></part>";
    }
    text += "<attachment id='7'><source_id>3</source_id><target_id>30</target_id><pose>0 0 0 1 0 0 0</pose>"
            "</attachment>";
    text += fmt::format("<collisionset id='8'><name>RodPlate</name><active>true</active><nearmiss>{}</nearmiss>"
                        "<groupa><object_id>2</object_id></groupa><groupb><object_id>5</object_id></groupb>"
                        "</collisionset>",
                        spec.nearMiss);
    text += "<controller id='4'><manipulator>2</manipulator></controller>"
            "<task id='40'><name>Main</name><controller_id>4</controller_id>"
            "<dataitem id='41'><name>vSlow</name><value type='speeddata'>100 500 5000 1000</value></dataitem>"
            "<dataitem id='42'><name>vJoint</name><value type='speeddata'>100000 100000 5000 1000</value></dataitem>"
            "<dataitem id='43'><name>zFine</name><value type='zonedata'>true 0 0 0 0 0 0</value></dataitem>"
            "<dataitem id='44'><name>z50</name><value type='zonedata'>false 50 50 50 5 50 5</value></dataitem>"
            "<path id='50'><name>P</name>" +
            spec.instructions + "</path></task></station></sdf>";
    return text;
}

} // namespace cell::test
