#include "TreeListing.h"

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <algorithm>
#include <string_view>

namespace sdf::testing {

namespace {

// Control characters and the separators of a line are shown escaped, so a
// difference in white space is visible in a failure message.
void AppendVisible(std::string& line, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '\n':
            line += "\\n";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\\':
            line += "\\\\";
            break;
        case '|':
            line += "\\|";
            break;
        default:
            line += c;
        }
    }
}

// An element's own value is not visible through the public interface; its
// template tells: typed elements always have one, annotated elements once
// their `type` attribute records the value's type.
bool HasOwnValue(const Element& element, const ElementTemplate& templ)
{
    if (templ.hasValue())
        return true;
    if (!templ._annotated)
        return false;
    const auto& attributes = element.attributes();
    return std::any_of(attributes.begin(), attributes.end(), [](const auto& a) { return a->label() == "type"; });
}

void List(const Element& element, const ElementTemplate& templ, std::size_t depth, std::vector<std::string>& lines)
{
    lines.push_back(ListLine(element, templ, depth));
    for (const auto& child : element.elements())
        List(*child, templ.child(child->label()), depth + 1, lines);
}

} // namespace

std::string ListLine(const Element& element, const ElementTemplate& templ, std::size_t depth)
{
    std::string line(depth, ' ');
    line += element.label();
    for (const auto& attribute : element.attributes()) {
        line += " |@";
        line += attribute->label();
        line += '=';
        AppendVisible(line, attribute->asString());
    }
    if (HasOwnValue(element, templ)) {
        line += " |=";
        AppendVisible(line, element.getStringFromValue());
    }
    return line;
}

std::vector<std::string> ListTree(const Element& root)
{
    std::vector<std::string> lines;
    List(root, RootTemplate(), 0, lines);
    return lines;
}

std::size_t FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    const auto [at, bt] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (at == a.end() && bt == b.end())
        return std::string::npos;
    return static_cast<std::size_t>(at - a.begin());
}

} // namespace sdf::testing
