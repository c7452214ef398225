#include "sdformat/StationTextCheck.h"

#include "sdformat/ElementTemplate.h"
#include "sdformat/MessageText.h"
#include "sdformat/ObjectFields.h"
#include "sdformat/ReadSteps.h"
#include "sdformat/StrictValue.h"
#include "sdformat/ValueText.h"

#include <fmt/format.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>

namespace sdf::detail {

namespace {

using Finding = StationCheck::Finding;

// Line and column (from 1, bytes) of offsets into a text, asked in any
// order: the line starts are found once.
class Places
{
public:
    explicit Places(std::string_view text)
    {
        _starts.push_back(0);
        for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
            _starts.push_back(at + 1);
    }

    std::pair<std::size_t, std::size_t> of(std::size_t offset) const
    {
        const auto after = std::upper_bound(_starts.begin(), _starts.end(), offset);
        const auto line = static_cast<std::size_t>(after - _starts.begin());
        return {line, offset - *(after - 1) + 1};
    }

private:
    std::vector<std::size_t> _starts;
};

// What the reader makes of a text the strict reading refuses, as the
// document would write it; empty when even that is unknown.
std::string readsAs(const std::string& type, std::string_view text)
{
    try {
        std::string out;
        AppendValueText(out, ReadValueText(type, text), TextPlace::Content);
        return out;
    } catch (const std::exception&) {
        return {};
    } catch (const UnwritableCharacter&) {
        return {};
    }
}

bool blank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

class TextWalk
{
public:
    TextWalk(std::string_view text, std::vector<Finding>& findings) : _text(text), _places(text), _findings(findings)
    {
        for (std::size_t i = 0; i < findings.size(); ++i)
            if (!findings[i].paths.empty())
                _wanted[findings[i].paths.front()].push_back(i);
    }

    void run(pugi::xml_node root, const char* buffer)
    {
        _buffer = buffer;
        struct Pending
        {
            pugi::xml_node node;
            const ElementTemplate* templ;
            std::string path;
            unsigned int objectId;
        };
        std::vector<Pending> pending{{root, &RootTemplate(), "/" + std::string(root.name()), 0}};
        while (!pending.empty()) {
            Pending at = std::move(pending.back());
            pending.pop_back();
            unsigned int objectId = at.objectId;
            if (IsObjectTemplate(*at.templ))
                objectId = static_cast<unsigned int>(std::strtoul(at.node.attribute("id").value(), nullptr, 10));
            visit(at.node, *at.templ, at.path, objectId, at.templ == &RootTemplate());

            // Children in reverse, so that they come off the stack in
            // document order; a label repeated among them gets its place.
            std::unordered_map<std::string_view, std::pair<std::size_t, std::size_t>> counts;
            for (pugi::xml_node child = at.node.first_child(); child; child = child.next_sibling())
                if (child.type() == pugi::node_element)
                    counts[child.name()].first++;
            const std::size_t first = pending.size();
            for (pugi::xml_node child = at.node.first_child(); child; child = child.next_sibling()) {
                if (child.type() != pugi::node_element)
                    continue;
                const ElementTemplate* templ = nullptr;
                try {
                    templ = &at.templ->child(child.name());
                } catch (const std::logic_error&) {
                    continue;   // the reader refuses it; nothing to add here
                }
                auto& [total, seen] = counts[child.name()];
                std::string path = at.path + "/" + child.name();
                if (total > 1)
                    path += fmt::format("[{}]", ++seen);
                pending.push_back({child, templ, std::move(path), objectId});
            }
            std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
        }
    }

private:
    std::pair<std::size_t, std::size_t> placeOf(const char* at) const
    {
        if (at < _buffer || at > _buffer + _text.size())
            return {0, 0};
        return _places.of(static_cast<std::size_t>(at - _buffer));
    }

    void visit(pugi::xml_node node, const ElementTemplate& templ, const std::string& path, unsigned int objectId,
               bool isRoot)
    {
        if (const auto it = _wanted.find(path); it != _wanted.end()) {
            // The parser gives the place of the name; the element starts at
            // the '<' before it.
            const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(node.offset_debug() - 1, 0));
            const auto [line, column] = _places.of(offset);
            for (const std::size_t i : it->second)
                std::tie(_findings[i].line, _findings[i].column) = std::pair{line, column};
        }
        if (!isRoot) {
            for (const pugi::xml_attribute attr : node.attributes()) {
                const std::string_view label = attr.name();
                if (label == "type")
                    continue;
                std::string type = label == "id" ? "unsigned int" : "";
                for (const auto& attrTempl : templ._attributes)
                    if (attrTempl._label == label)
                        type = attrTempl._type;
                if (!type.empty())
                    checkText(type, attr.value(), path + "/@" + std::string(label), objectId);
            }
        }
        if (!templ.hasValue())
            return;
        // A document may give any value a type of its own, as the reader
        // takes it; an annotated value has no other.
        std::string type = templ._value._type;
        if (const pugi::xml_attribute given = node.attribute("type"); given || templ._annotated)
            type = given.value();
        if (!type.empty() && type != "string")
            checkText(type, node.child_value(), path, objectId);
    }

    void checkText(const std::string& type, const char* value, const std::string& path, unsigned int objectId)
    {
        const std::string_view text(value);
        if (type == "string" || blank(text))
            return;
        const StrictValue strict = StrictValue::Parse(type, text);
        if (strict.ok())
            return;
        Finding finding;
        finding.kind = "value-text";
        const std::string read = readsAs(type, text);
        finding.message = read.empty() ? strict.error()
                                       : fmt::format("{}; it reads as '{}'", strict.error(), ForMessage(read));
        finding.paths.push_back(path);
        finding.objectId = objectId;
        std::tie(finding.line, finding.column) = placeOf(value);
        _findings.push_back(std::move(finding));
    }

    std::string_view _text;
    const char* _buffer = nullptr;
    Places _places;
    std::vector<Finding>& _findings;
    std::unordered_map<std::string, std::vector<std::size_t>> _wanted;
};

} // namespace

void CheckStationText(std::string_view text, std::vector<StationCheck::Finding>& findings)
{
    // Parsed in place, so that every value points into the text itself and
    // its place is where it stands (decoding only ever shortens a value).
    std::string buffer(text);
    pugi::xml_document document;
    if (!document.load_buffer_inplace(buffer.data(), buffer.size(), kParseOptions))
        return;
    pugi::xml_node root;
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_element && std::strcmp(node.name(), "sdf") == 0)
            root = node;
    if (!root)
        return;
    TextWalk(text, findings).run(root, buffer.data());
}

} // namespace sdf::detail
