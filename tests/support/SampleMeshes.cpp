#include "SampleMeshes.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace sdf::testing {

namespace {

using V3 = std::array<double, 3>;

std::string Base64(const std::string& bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// Collects boxes and prisms as one OBJ object with one material.
class Mesh
{
public:
    void box(V3 lo, V3 hi)
    {
        const std::size_t first = vertices.size() + 1;
        for (int i = 0; i < 8; ++i)
            vertices.push_back({(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2]});
        // Outward faces, counter-clockwise seen from outside.
        constexpr std::array<std::array<int, 4>, 6> kFaces{{
            {0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}};
        for (const auto& f : kFaces)
            faces.push_back({first + f[0], first + f[1], first + f[2], first + f[3]});
    }

    // A round bar (12 sides) along the axis (0 x, 1 y, 2 z) through centre,
    // from `from` to `to` along that axis.
    void bar(int axis, V3 centre, double radius, double from, double to)
    {
        constexpr int kSides = 12;
        const int u = (axis + 1) % 3;
        const int v = (axis + 2) % 3;
        const std::size_t first = vertices.size() + 1;
        for (int end = 0; end < 2; ++end) {
            for (int i = 0; i < kSides; ++i) {
                const double a = 2 * std::numbers::pi * i / kSides;
                V3 p = centre;
                p[axis] = end ? to : from;
                p[u] += radius * std::cos(a);
                p[v] += radius * std::sin(a);
                vertices.push_back(p);
            }
        }
        for (int i = 0; i < kSides; ++i) {
            const std::size_t j = (i + 1) % kSides;
            faces.push_back({first + i, first + j, first + kSides + j, first + kSides + i});
        }
        std::vector<std::size_t> bottom;
        std::vector<std::size_t> top;
        for (int i = 0; i < kSides; ++i) {
            bottom.push_back(first + kSides - 1 - i);
            top.push_back(first + kSides + i);
        }
        faces.push_back(bottom);
        faces.push_back(top);
    }

    // A glTF 2.0 file with the mesh flat shaded (a normal per face) and
    // its buffer inline, in one material.
    std::string gltf(const std::string& name, std::array<double, 3> rgb) const
    {
        std::string data;
        const auto put = [&data](const V3& v) {
            for (double c : v) {
                const float f = static_cast<float>(c);
                data.append(reinterpret_cast<const char*>(&f), sizeof(f));
            }
        };
        V3 lo = vertices.front();
        V3 hi = vertices.front();
        std::size_t count = 0;
        for (const auto& face : faces) {
            const V3& a = vertices[face[0] - 1];
            for (std::size_t i = 1; i + 1 < face.size(); ++i) {
                const V3& b = vertices[face[i] - 1];
                const V3& c = vertices[face[i + 1] - 1];
                const V3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
                const V3 w{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                V3 n{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
                const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                for (double& x : n)
                    x = len > 0 ? x / len : 0;
                for (const V3* p : {&a, &b, &c}) {
                    put(*p);
                    put(n);
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::min(lo[k], (*p)[k]);
                        hi[k] = std::max(hi[k], (*p)[k]);
                    }
                    ++count;
                }
            }
        }
        return fmt::format(
            R"({{"asset":{{"version":"2.0","generator":"zervan sample cell"}},"scene":0,"scenes":[{{"nodes":[0]}}],)"
            R"("nodes":[{{"name":"{0}","mesh":0}}],"meshes":[{{"name":"{0}","primitives":[{{"attributes":{{"POSITION":0,"NORMAL":1}},"material":0}}]}}],)"
            R"("materials":[{{"pbrMetallicRoughness":{{"baseColorFactor":[{1:g},{2:g},{3:g},1],"metallicFactor":0.1,"roughnessFactor":0.6}}}}],)"
            R"("buffers":[{{"byteLength":{4},"uri":"data:application/octet-stream;base64,{5}"}}],)"
            R"("bufferViews":[{{"buffer":0,"byteLength":{4},"byteStride":24}}],)"
            R"("accessors":[{{"bufferView":0,"componentType":5126,"count":{6},"type":"VEC3","min":[{7:g},{8:g},{9:g}],"max":[{10:g},{11:g},{12:g}]}},)"
            R"({{"bufferView":0,"byteOffset":12,"componentType":5126,"count":{6},"type":"VEC3"}}]}})"
            "\n",
            name, rgb[0], rgb[1], rgb[2], data.size(), Base64(data), count, lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
    }

private:
    std::vector<V3> vertices;
    std::vector<std::vector<std::size_t>> faces;
};

void Put(std::map<std::string, std::string>& files, const std::string& dir, const std::string& name, const Mesh& mesh,
         std::array<double, 3> rgb)
{
    files[dir + name + ".gltf"] = mesh.gltf(name, rgb);
}

} // namespace

std::map<std::string, std::string> SampleMeshes()
{
    std::map<std::string, std::string> files;
    constexpr std::array<double, 3> kRobot{0.93, 0.55, 0.12};
    constexpr std::array<double, 3> kDark{0.25, 0.27, 0.3};

    // The table: a 1200 x 800 top 760 mm high on four legs.
    Mesh table;
    table.box({-600, -400, 720}, {600, 400, 760});
    for (double x : {-560.0, 500.0})
        for (double y : {-360.0, 300.0})
            table.box({x, y, 0}, {x + 60, y + 60, 720});
    Put(files, "meshes/", "table", table, {0.55, 0.6, 0.66});

    // The bracket: an L of 10 mm plate, 300 mm long; the seam runs along
    // the inner corner, on the x axis at z = 10.
    Mesh bracket;
    bracket.box({-150, 0, 0}, {150, 120, 10});
    bracket.box({-150, -10, 0}, {150, 0, 150});
    Put(files, "meshes/", "bracket", bracket, {0.35, 0.45, 0.75});

    // The robot, link by link, each from its own frame towards the next.
    const std::string robot = "meshes/zr12/";
    Mesh base;
    base.bar(2, {0, 0, 0}, 200, 0, 40);
    base.bar(2, {0, 0, 0}, 150, 40, 220);
    Put(files, robot, "base_link", base, kDark);
    Mesh link1; // turns about z; its frame is 486.5 above the base
    link1.bar(2, {0, 0, 0}, 140, -266.5, -80);
    link1.box({-110, -120, -80}, {200, 120, 70});
    Put(files, robot, "link_1", link1, kRobot);
    Mesh link2; // the upper arm, 700 long
    link2.bar(1, {0, 0, 0}, 110, -150, 150);
    link2.box({-60, -70, 0}, {60, 70, 700});
    link2.bar(1, {0, 0, 700}, 90, -130, 130);
    Put(files, robot, "link_2", link2, kRobot);
    Mesh link3; // the elbow housing
    link3.box({-90, -85, -80}, {200, 85, 90});
    link3.bar(0, {0, 0, 0}, 70, 200, 314);
    Put(files, robot, "link_3", link3, kRobot);
    Mesh link4; // the forearm
    link4.bar(0, {0, 0, 0}, 60, 0, 240);
    link4.box({240, -60, -45}, {286, 60, 45});
    Put(files, robot, "link_4", link4, kRobot);
    Mesh link5; // the wrist
    link5.bar(1, {0, 0, 0}, 50, -50, 50);
    link5.bar(0, {0, 0, 0}, 40, 0, 58);
    Put(files, robot, "link_5", link5, kRobot);
    Mesh link6; // the flange
    link6.bar(0, {0, 0, 0}, 45, 0, 7);
    Put(files, robot, "link_6", link6, kDark);

    // The torch, along its z axis from the flange to the wire tip at 412.5.
    Mesh torch;
    torch.bar(2, {0, 0, 0}, 45, 0, 40);
    torch.box({-35, -35, 40}, {35, 35, 110});
    torch.bar(2, {0, 0, 0}, 22, 110, 330);
    torch.bar(2, {0, 0, 0}, 11, 330, 405);
    Put(files, "meshes/", "torch", torch, {0.2, 0.2, 0.22});
    return files;
}

} // namespace sdf::testing
