// A document read from a file and saved with SDF::Write must read back from
// the saved file to the same text form, and the save leaves nothing beside
// the file. Any other outcome, a crash or an unexpected exception is a
// finding.

#include "FuzzSupport.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

using namespace zrv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& dir = WorkDir();
    const auto input = dir / "input.sdf";
    const auto saved = dir / "saved.sdf";
    WriteBytes(input, std::string_view(reinterpret_cast<const char*>(data), size));

    auto doc = ReadOrNull([&] { return sdf::SDF::ReadSdfFromFile(input); });
    if (!doc)
        return 0;
    if (Writable(*doc)) {
        // A double keeps 16 digits in text, which may move a value read from
        // more digits by one unit on its first save; saved once, it stays.
        try {
            doc = sdf::SDF::ReadSdfFromString(doc->Root()->toXMLString(""));
        } catch (const std::exception& e) {
            Finding("the text form does not read back", e.what());
        }
    }
    if (!Writable(*doc)) {
        // Refused before any file is touched.
        WriteBytes(saved, "previous");
        try {
            doc->Write(saved);
        } catch (const std::runtime_error&) {
        }
        std::ifstream in(saved, std::ios::binary);
        if (std::string(std::istreambuf_iterator<char>(in), {}) != "previous")
            Finding("a refused save changed the file");
        return 0;
    }

    const std::string text = doc->Root()->toXMLString("");
    doc->Write(saved);
    std::ifstream in(saved, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (bytes != text)
        Finding("the saved file differs from the text form", bytes);
    std::shared_ptr<sdf::SDF> back;
    try {
        back = sdf::SDF::ReadSdfFromFile(saved);
    } catch (const std::exception& e) {
        Finding("the saved file does not read back", e.what() + ("\n" + text));
    }
    if (back->Root()->toXMLString("") != text)
        Finding("the saved file reads back to another document", text);

    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++files;
    if (files != 2)
        Finding("the save left files behind");
    return 0;
}
