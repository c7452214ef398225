#pragma once

// Reading a document only to check it and count what is in it, without
// keeping it. Internal to the library; the command-line tool validates
// with it.
//
// A read document holds several times its text, and checking a large
// station needs none of that at once. These read exactly as
// SDF::ReadSdfFromFile and SDF::ReadSdfFromString do, with the same checks
// and the same errors, but hand each element to a visitor as soon as it is
// complete and let it go right after: memory stays near what the parser
// itself takes.

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

namespace sdf {

struct CheckVisit
{
    const Element& element;
    const ElementTemplate& templ;
    std::size_t depth; // the root is 0
};

// Called once for every element of the document, the required elements the
// document left out included, after everything below the element. Its
// children list is not to be relied on: read children are let go before
// their parent is visited.
using CheckVisitor = std::function<void(const CheckVisit&)>;

struct DocumentCheck
{
    static void CheckSdfFile(const std::filesystem::path& path, const CheckVisitor& visit);
    static void CheckSdfString(std::string_view text, const CheckVisitor& visit);
};

} // namespace sdf
