#pragma once

// The shape of one geometry file as the cell uses it: triangles with normals
// for drawing and picking, and for B-rep files the faces and edges that
// operations name by index. All lengths are millimetres, areas mm², volumes
// mm³, in the file's own frame.
//
// Order (what `faceindex` and an edge index mean):
//  - B-rep files (STEP, IGES, BREP): faces are numbered from 0 in the order
//    TopExp::MapShapes(shape, TopAbs_FACE) meets them in the shape as read
//    (the order of the file's shells). The edges of one face are numbered
//    from 0 sorted by place: by the point at half the edge's length (x,
//    then y, then z, on a grid of 0.001 mm), then by length. Translators
//    reorder the edges of a loop when they write it, so the order of the
//    loop itself would not survive a file written and read again. The
//    body's edges are numbered by first appearance, faces in order and each
//    face's edges in its order; Face::edges maps a face's edge index to the
//    body's.
//  - Mesh files: every mesh of the file is one face, in depth-first order of
//    the file's node tree (a node's own meshes before its children's); a
//    mesh has no edges.

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cell {

struct ZRV_CELL_EXPORT Geometry
{
    // A face's own view of one of its edges: the points in the direction
    // the face's boundary runs the edge (its outer boundary counter-
    // clockwise seen from outside the material), with the face's outward
    // normal and the edge's unit tangent (in that direction) at each point.
    struct EdgeTrack
    {
        std::vector<Vec3d> points;
        std::vector<Vec3d> normals;
        std::vector<Vec3d> tangents;
    };

    struct Face
    {
        std::uint32_t firstIndex = 0; // into indices; three per triangle
        std::uint32_t indexCount = 0;
        double area = 0; // of the exact surface (B-rep), of the triangles (mesh)
        // Edge index on this face -> index into Geometry::edges.
        std::vector<std::uint32_t> edges;
        // Along each of those edges (same index; B-rep files only, empty
        // for a degenerate edge).
        std::vector<EdgeTrack> tracks;
        std::int32_t part = -1; // index into Geometry::parts, -1: none
        bool hasColour = false;
        std::array<float, 4> colour{0.7f, 0.7f, 0.7f, 1.0f}; // RGBA, 0..1
    };

    struct Edge
    {
        std::vector<Vec3d> points; // polyline within the chord tolerance
        double length = 0;         // of the exact curve
        bool degenerate = false;   // a pole or apex: no length, no points
    };

    // A solid of a B-rep file, or one mesh of a mesh file, with the name the
    // file gives it.
    struct Part
    {
        std::string name;
        double volume = 0;
    };

    std::filesystem::path file;
    std::string format; // "step", "iges", "brep", "stl", "obj", ...
    std::string name;   // the file's own name for its content, if any

    std::vector<float> positions;       // x, y, z per vertex
    std::vector<float> normals;         // x, y, z per vertex, unit length
    std::vector<std::uint32_t> indices; // counter-clockwise seen from outside
    std::vector<float> points;          // x, y, z of loose points (point clouds)

    std::vector<Face> faces;
    std::vector<Edge> edges;
    std::vector<Part> parts;

    Vec3d boundsMin{0, 0, 0};
    Vec3d boundsMax{0, 0, 0};
    // Of the B-rep solids; of the triangles for a mesh (meaningful only
    // when the mesh is closed).
    double volume = 0;

    std::size_t triangleCount() const { return indices.size() / 3; }
    std::size_t vertexCount() const { return positions.size() / 3; }
    double area() const;
    // The face a triangle (index into indices / 3) belongs to, for picking;
    // -1 when it is out of range.
    std::int64_t faceOfTriangle(std::size_t triangle) const;
};

} // namespace cell
