// Writes the sample station to the path given, for examples/stations/:
//   write_sample_station examples/stations/sample_cell.sdf

#include "SampleCell.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
        return 2;
    }
    try {
        // Reading the built tree back makes a document of it; the text is
        // what the reader accepts and the writer gives again.
        auto root = sdf::testing::BuildSampleCell();
        sdf::SDF::ReadSdfFromString(root->toXMLString(""))->Write(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
