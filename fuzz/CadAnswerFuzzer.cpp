// The CAD reader program's answer is where bytes from another process, one
// that a malformed file may have left in any state, become the library's
// geometry. Whatever the bytes, decoding gives geometry whose every index
// is good, or a std::runtime_error; what is decoded encodes to the same
// bytes again.

#include "GeometryCheck.h"
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
        zrv::fuzz::CheckGeometry(geometry);
        if (cell::detail::EncodeGeometry(geometry) != bytes)
            std::abort();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
