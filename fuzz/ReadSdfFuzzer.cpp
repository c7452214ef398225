// Any text given to the reader ends in a document or in one of the
// reader's own exceptions; anything else (a crash, a leak, a hang or
// another exception) is a finding. A document read is written and read
// once more: the writer must never produce a text its own reader rejects.

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

std::shared_ptr<sdf::SDF> Read(std::string_view text)
{
    try {
        return sdf::SDF::ReadSdfFromString(text);
    } catch (const std::logic_error&) {
        // Includes std::out_of_range for a `type` naming no registered type.
    } catch (const std::runtime_error&) {
    }
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto doc = Read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!doc)
        return 0;
    std::string written;
    try {
        written = doc->Root()->toXMLString("");
    } catch (const std::runtime_error& e) {
        // A control character the parser let in has no form in XML, and
        // the writer refuses it rather than write a file it cannot read.
        if (std::string_view(e.what()).starts_with("cannot write '"))
            return 0;
        throw;
    }
    try {
        const auto again = sdf::SDF::ReadSdfFromString(written);
        if (again->Root()->toXMLString("").empty())
            std::abort();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "written document does not read back: %s\n%s\n", e.what(), written.c_str());
        std::abort();
    }
    return 0;
}
