// Writes the sample station to the path given, for examples/stations/, and
// its meshes and CAD files beside it:
//   write_sample_station examples/stations/sample_cell.sdf

#include "SampleCad.h"
#include "SampleCell.h"
#include "SampleMeshes.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>

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
        const std::filesystem::path dir = std::filesystem::path(argv[1]).parent_path();
        auto files = sdf::testing::SampleMeshes();
        files.merge(sdf::testing::SampleCad());
        for (const auto& [name, text] : files) {
            const std::filesystem::path file = dir / name;
            std::filesystem::create_directories(file.parent_path());
            std::ofstream out(file, std::ios::binary);
            out << text;
            if (!out.flush())
                throw std::runtime_error("could not write " + file.string());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
