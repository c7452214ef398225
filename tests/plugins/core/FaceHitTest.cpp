// What a click on a part names: the first face a ray meets, from either
// side, and the edge of that face nearest to the point hit.
#include "FaceHit.h"

#include <gtest/gtest.h>

namespace {

using zrv::core::FaceHit;

// A 10 x 10 mm square at z = 0 (face 0) and a 5 x 5 mm one above it at
// z = 5 (face 1), two triangles each. Face 0's four sides are its edges,
// listed on the face after a degenerate edge (a pole, no points) and in
// another order than the body's.
cell::Geometry TwoSquares()
{
    cell::Geometry g;
    g.format = "step";
    g.positions = {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0, 0, 0, 5, 5, 0, 5, 5, 5, 5, 0, 5, 5};
    g.indices = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    g.edges = {{{{10, 0, 0}, {10, 10, 0}}, 10, false},
               {{{0, 10, 0}, {0, 0, 0}}, 10, false},
               {{{0, 0, 0}, {10, 0, 0}}, 10, false},
               {{{10, 10, 0}, {0, 10, 0}}, 10, false},
               {{}, 0, true}};
    g.faces.resize(2);
    g.faces[0].firstIndex = 0;
    g.faces[0].indexCount = 6;
    g.faces[0].edges = {4, 2, 0, 3, 1};
    g.faces[1].firstIndex = 6;
    g.faces[1].indexCount = 6;
    return g;
}

TEST(FaceHit, TheNearestFaceAlongTheRayFromEitherSide)
{
    const cell::Geometry g = TwoSquares();
    // From above, over both: the upper square, 5 mm down.
    const auto above = FaceHit::Cast(g, {2, 3, 10}, {0, 0, -1});
    ASSERT_TRUE(above);
    EXPECT_EQ(above->face, 1u);
    EXPECT_NEAR(above->distance, 5, 1e-9);
    EXPECT_NEAR(above->point[0], 2, 1e-9);
    EXPECT_NEAR(above->point[1], 3, 1e-9);
    // From below, where only the large square is: its back is hit too.
    const auto below = FaceHit::Cast(g, {7, 8, -4}, {0, 0, 1});
    ASSERT_TRUE(below);
    EXPECT_EQ(below->face, 0u);
    EXPECT_NEAR(below->point[2], 0, 1e-9);
    // Beside both, or pointing away from them: nothing.
    EXPECT_FALSE(FaceHit::Cast(g, {12, 5, 10}, {0, 0, -1}));
    EXPECT_FALSE(FaceHit::Cast(g, {2, 3, 10}, {0, 0, 1}));
}

TEST(FaceHit, TheNearestEdgeIsCountedOnTheFace)
{
    const cell::Geometry g = TwoSquares();
    // Near x = 10 (the body's edge 0, the face's edge 2), then near y = 0
    // (body's 2, face's 1): indices on the face, the pole among them.
    EXPECT_EQ(FaceHit::NearestEdge(g, 0, {9, 5, 0}), 2);
    EXPECT_EQ(FaceHit::NearestEdge(g, 0, {5, 0.5, 0}), 1);
    // Measured to the segments, not their end points: past the end of x = 0
    // the corner counts.
    EXPECT_NEAR(FaceHit::ToPolyline(g.edges[1].points, {-3, 14, 0}), 5, 1e-9);
    EXPECT_NEAR(FaceHit::ToPolyline(g.edges[1].points, {-2, 5, 0}), 2, 1e-9);
    // A face without edges (a mesh's), or one that is not there.
    EXPECT_EQ(FaceHit::NearestEdge(g, 1, {1, 1, 5}), -1);
    EXPECT_EQ(FaceHit::NearestEdge(g, 2, {1, 1, 5}), -1);
}

} // namespace
