// The CAD reader program's answer is where bytes from another process, one
// that a malformed file may have left in any state, become the library's
// geometry. Whatever the bytes, decoding gives geometry whose every index
// is good, or a std::runtime_error; what is decoded encodes to the same
// bytes again.

#include "cell/GeometryWire.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const cell::Geometry geometry = cell::detail::DecodeGeometry(bytes, "/fuzz/answer.step", "STEP");
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
        if (cell::detail::EncodeGeometry(geometry) != bytes)
            std::abort();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
