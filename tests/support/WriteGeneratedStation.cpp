// Writes a generated station of about the given number of elements, for
// tests and measurements that need a big station file:
//   write_generated_station big.sdf 150000

#include "StationGenerator.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 3 || std::atol(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: %s <file> <elements>\n", argv[0]);
        return 2;
    }
    try {
        const auto options = sdf::testing::GeneratorOptions::ForElementCount(std::strtoul(argv[2], nullptr, 10));
        auto root = sdf::testing::GenerateStation(options);
        sdf::SDF::ReadSdfFromString(root->toXMLString(""))->Write(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
