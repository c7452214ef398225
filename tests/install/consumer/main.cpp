// Reads the station document named on the command line and prints its
// station's name and how many elements the document has.

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

std::size_t countElements(const sdf::Element& element)
{
    std::size_t count = 1;
    for (const auto& child : element.elements())
        count += countElements(*child);
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: station_info FILE\n");
        return 2;
    }
    try {
        const auto document = sdf::SDF::ReadSdfFromFile(argv[1]);
        const auto root = document->Root();
        const auto name = root->get("station/name");
        std::printf("station: %s\nelements: %zu\n", name ? name->getStringFromValue().c_str() : "",
                    countElements(*root));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "station_info: %s\n", e.what());
        return 1;
    }
    return 0;
}
