// Any text given to the reader ends in a document or in one of the
// reader's own exceptions; anything else (a crash, a leak, a hang or
// another exception) is a finding. Reading only to check must end the same
// way, having visited as many elements as the document has. A document
// read is written and read once more: the writer must never produce a text
// its own reader rejects.

#include <sdformat/DocumentCheck.h>
#include <sdformat/Element.h>
#include <sdformat/SDF.h>
#include <sdformat/TreeWalk.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

std::shared_ptr<sdf::SDF> Read(std::string_view text, std::string& failure)
{
    try {
        return sdf::SDF::ReadSdfFromString(text);
    } catch (const std::logic_error& e) {
        // Includes std::out_of_range for a `type` naming no registered type.
        failure = e.what();
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    return nullptr;
}

// Checking ends as reading did (failure), having seen the elements read.
void ExpectCheckAsRead(std::string_view text, const std::string& failure, const sdf::SDF* doc)
{
    std::size_t visited = 0;
    std::string checkFailure;
    try {
        sdf::DocumentCheck::CheckSdfString(text, [&](const sdf::CheckVisit&) { ++visited; });
    } catch (const std::exception& e) {
        checkFailure = e.what();
    }
    std::size_t elements = 0;
    if (doc)
        sdf::WalkTree(*doc->Root(), [&](const sdf::TreeVisit&) { ++elements; });
    if (checkFailure != failure || (doc && visited != elements)) {
        std::fprintf(stderr, "checking ended as '%s' after %zu elements, reading as '%s' with %zu\n",
                     checkFailure.c_str(), visited, failure.c_str(), elements);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string failure;
    const auto doc = Read(text, failure);
    ExpectCheckAsRead(text, failure, doc.get());
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
