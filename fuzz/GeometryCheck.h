#pragma once

// What every geometry a loader or decoder gives back must hold: indices
// within the vertices, faces within the indices, edges and parts that
// exist. A breach aborts, which the fuzzer reports.

#include "cell/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace zrv::fuzz {

inline void CheckGeometry(const cell::Geometry& geometry)
{
    const std::size_t vertices = geometry.vertexCount();
    for (const std::uint32_t index : geometry.indices)
        if (index >= vertices)
            std::abort();
    for (const auto& face : geometry.faces) {
        if (std::size_t{face.firstIndex} + face.indexCount > geometry.indices.size())
            std::abort();
        for (const std::uint32_t edge : face.edges)
            if (edge >= geometry.edges.size())
                std::abort();
        if (face.part >= static_cast<std::int64_t>(geometry.parts.size()))
            std::abort();
    }
}

} // namespace zrv::fuzz
