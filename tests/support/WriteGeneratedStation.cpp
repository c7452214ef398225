// Writes a generated station, for tests and measurements that need a big
// station file. The size is a number of elements or, ending in "MB", about
// that many megabytes of text:
//   write_generated_station big.sdf 150000
//   write_generated_station big.sdf 80MB

#include "StationGenerator.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <string_view>

namespace {

// The text per element varies little with the station's size, so a small
// station gives the element count for the size asked for.
std::size_t ElementsForMegabytes(std::size_t megabytes)
{
    constexpr std::size_t kProbe = 20000;
    const auto probe = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(kProbe));
    const double bytesPerElement =
        static_cast<double>(probe->toXMLString("").size()) / static_cast<double>(sdf::testing::CountElements(*probe));
    return static_cast<std::size_t>(static_cast<double>(megabytes) * 1e6 / bytesPerElement);
}

} // namespace

int main(int argc, char** argv)
{
    std::string_view size = argc == 3 ? argv[2] : "";
    const bool inMegabytes = size.ends_with("MB");
    if (inMegabytes)
        size.remove_suffix(2);
    std::size_t count = 0;
    const auto [end, ec] = std::from_chars(size.data(), size.data() + size.size(), count);
    if (argc != 3 || ec != std::errc() || end != size.data() + size.size() || count == 0) {
        std::fprintf(stderr, "usage: %s <file> <elements>|<megabytes>MB\n", argv[0]);
        return 2;
    }
    try {
        const std::size_t elements = inMegabytes ? ElementsForMegabytes(count) : count;
        const auto root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(elements));
        const auto document = sdf::SDF::ReadSdfFromString(root->toXMLString(""));
        document->Write(argv[1]);
        std::printf("%s: %zu elements\n", argv[1], sdf::testing::CountElements(*root));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
