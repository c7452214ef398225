// Writes a generated station of about the size asked for, for measuring the
// tools on large documents:
//   write_generated_station big.sdf 80        (about 80 MB)

#include "StationGenerator.h"

#include <sdformat/Element.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <string_view>

int main(int argc, char** argv)
{
    unsigned megabytes = 0;
    const std::string_view size = argc == 3 ? argv[2] : "";
    if (argc != 3 || std::from_chars(size.data(), size.data() + size.size(), megabytes).ec != std::errc() ||
        megabytes == 0) {
        std::fprintf(stderr, "usage: %s <file> <megabytes>\n", argv[0]);
        return 2;
    }
    try {
        // The text per element varies little with the station's size, so a
        // small station gives the count for the size asked for.
        constexpr std::size_t kProbe = 20000;
        const auto probe = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(kProbe));
        const double bytesPerElement =
            static_cast<double>(probe->toXMLString("").size()) / static_cast<double>(sdf::testing::CountElements(*probe));
        const auto elements = static_cast<std::size_t>(megabytes * 1e6 / bytesPerElement);
        const auto root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(elements));
        const std::string text = root->toXMLString("");
        std::ofstream out(argv[1], std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: write failure\n", argv[1]);
            return 1;
        }
        std::printf("%s: %zu bytes, %zu elements\n", argv[1], text.size(), sdf::testing::CountElements(*root));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
