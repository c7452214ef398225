#include "sdformat/StationRules.h"

#include "sdformat/ElementTemplate.h"
#include "sdformat/MessageText.h"
#include "sdformat/ObjectFields.h"
#include "sdformat/TreeWalk.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace sdf::detail {

namespace {

using Finding = StationCheck::Finding;
using Severity = StationCheck::Severity;

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// The words a description lists for a string value, by the labels of the
// element and of its parent.
struct Words
{
    std::string_view parent;
    std::string_view label;
    std::string_view what;
    std::vector<std::string_view> words;
};

const std::vector<Words>& ListedWords()
{
    static const std::vector<Words> listed{
        {"joint", "type", "joint type", {"revolute", "prismatic"}},
        {"mechanicalunit", "type", "kind of unit", {"Robot", "Device"}},
        {"process_curveoperation", "reference_plane", "reference plane", {"XY", "YZ", "ZX", "UserSelected"}},
    };
    return listed;
}

// The value type that an id-valued element of that label must name, or
// empty: a path's speed, zone, work object and tool data.
std::string_view NamedDataType(std::string_view label)
{
    if (label == "speed" || label.ends_with("_speed"))
        return "speeddata";
    if (label == "zone" || label.ends_with("_zone"))
        return "zonedata";
    if (label == "workobject")
        return "wobjdata";
    if (label == "tooldata")
        return "tooldata";
    return {};
}

// The numbers of an element's stored value, as the document writes them.
std::vector<double> Numbers(const Element& element)
{
    std::vector<double> numbers;
    if (!element.hasValue())
        return numbers;
    const std::string text = element.getStringFromValue();
    const char* at = text.c_str();
    for (;;) {
        char* end = nullptr;
        const double value = std::strtod(at, &end);
        if (end == at)
            break;
        numbers.push_back(value);
        at = end;
    }
    return numbers;
}

std::string Text(const Element& element, std::string_view path)
{
    const auto at = element.get(path);
    return at && at->hasValue() ? at->getStringFromValue() : std::string();
}

// The type a document gave an annotated value, or the template's.
std::string ValueType(const Element& element, const ElementTemplate& templ)
{
    for (const auto& attr : element.attributes())
        if (attr->label() == "type")
            return attr->asString();
    return templ.hasValue() ? templ._value._type : std::string();
}

bool IsIdentifier(std::string_view text)
{
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (text.empty() || !letter(text.front()))
        return false;
    return std::ranges::all_of(text, [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

std::string Number(double value)
{
    return fmt::format("{:.6g}", value);
}

class Rules
{
public:
    explicit Rules(std::vector<Finding>& findings) : _findings(findings) {}

    void run(const Element& root)
    {
        WalkTree(root, [this](const TreeVisit& v) { visit(v); });
        checkTypedIds();
        checkNames();
        checkAnchors();
    }

private:
    struct Object
    {
        std::string label;
        std::string path;
        bool hasPose = false;
        unsigned int anchor = 0;
        std::string anchorPath;
    };
    struct DataItem
    {
        unsigned int id;
        std::string type;
    };
    struct TypedId
    {
        unsigned int id;
        std::string_view type;
        std::string path;
        unsigned int objectId;
    };
    struct Argument
    {
        std::string name;
        std::string text;
        std::string path;
        unsigned int objectId;
    };

    void add(Severity severity, std::string kind, std::string message, std::string path, unsigned int objectId)
    {
        Finding finding;
        finding.severity = severity;
        finding.kind = std::move(kind);
        finding.message = std::move(message);
        finding.paths.push_back(std::move(path));
        finding.objectId = objectId;
        _findings.push_back(std::move(finding));
    }

    unsigned int enclosingObject(std::size_t depth) const
    {
        for (std::size_t d = std::min(depth + 1, _objectAtDepth.size()); d-- > 0;)
            if (_objectAtDepth[d] != 0)
                return _objectAtDepth[d];
        return 0;
    }

    void visit(const TreeVisit& v)
    {
        if (_objectAtDepth.size() <= v.depth)
            _objectAtDepth.resize(v.depth + 1, 0);
        _objectAtDepth[v.depth] = 0;
        const std::string path(v.path);
        if (IsObjectTemplate(v.templ)) {
            const unsigned int id = v.element.getId(false);
            _objectAtDepth[v.depth] = id;
            if (id != 0 && _objects.try_emplace(id, Object{v.templ._name, path, v.element.exists("pose"), 0, {}}).second)
                _objectOrder.push_back(id);
        }
        const unsigned int objectId = enclosingObject(v.depth);
        const std::string_view parentLabel = v.parentTempl ? std::string_view(v.parentTempl->_name) : "";

        if (v.templ._name == "joint")
            checkJoint(v.element, parentLabel, path, objectId);
        if (v.templ.hasValue())
            checkValue(v, parentLabel, path, objectId);
        if (v.templ._name == "dataitem")
            if (const auto value = v.element.get("value"))
                _dataItems[Text(v.element, "name")].push_back({v.element.getId(false), ValueType(*value, v.templ.child("value"))});
        if (v.templ._name == "argument" && parentLabel == "instruction")
            if (const auto value = v.element.get("value"); value && ValueType(*value, v.templ.child("value")) == "string")
                _arguments.push_back({Text(v.element, "name"), value->getStringFromValue(), path + "/value", objectId});
    }

    void checkValue(const TreeVisit& v, std::string_view parentLabel, const std::string& path, unsigned int objectId)
    {
        const std::string type = ValueType(v.element, v.templ);
        if (type == "pose" || type == "orient")
            checkQuaternion(v.element, type, path, objectId);
        if (type == "string")
            for (const Words& listed : ListedWords())
                if (listed.parent == parentLabel && listed.label == v.templ._name) {
                    const std::string word = v.element.getStringFromValue();
                    if (std::ranges::find(listed.words, word) == listed.words.end())
                        add(Severity::Error, "unknown-word",
                            fmt::format("'{}' is not a {}: {}", ForMessage(word), listed.what,
                                        fmt::join(listed.words, ", ")),
                            path, objectId);
                }
        if (!IsIdReference(v.templ, v.parentTempl) || type != "unsigned int")
            return;
        const unsigned int id = v.element.valueOr<unsigned int>("", 0u);
        if (id == 0)
            return;
        if (v.templ._name == "anchor" && objectId != 0) {
            if (auto it = _objects.find(objectId); it != _objects.end() && it->second.anchor == 0) {
                it->second.anchor = id;
                it->second.anchorPath = path;
            }
        }
        if (const std::string_view wanted = NamedDataType(v.templ._name); !wanted.empty())
            _typedIds.push_back({id, wanted, path, objectId});
    }

    void checkQuaternion(const Element& element, const std::string& type, const std::string& path, unsigned int objectId)
    {
        const std::vector<double> numbers = Numbers(element);
        const std::size_t first = type == "pose" ? 3 : 0;
        if (numbers.size() != first + 4)
            return;
        double squares = 0;
        for (std::size_t i = first; i < numbers.size(); ++i)
            squares += numbers[i] * numbers[i];
        const double length = std::sqrt(squares);
        if (!std::isfinite(length) || length == 0)
            add(Severity::Error, "not-unit", "the orientation is no rotation: its quaternion has length 0", path,
                objectId);
        else if (std::abs(length - 1) > 1e-3)
            add(Severity::Warning, "not-unit",
                fmt::format("the orientation's quaternion has length {}, not 1", Number(length)), path, objectId);
    }

    void checkJoint(const Element& joint, std::string_view parentLabel, const std::string& path, unsigned int objectId)
    {
        const auto xyz = joint.get(parentLabel == "mechanicalunit" ? "xyz" : "axis/xyz");
        if (xyz) {
            const std::vector<double> axis = Numbers(*xyz);
            if (axis.size() == 3 && std::ranges::all_of(axis, [](double c) { return c == 0; }))
                add(Severity::Error, "zero-axis", "the joint's axis is zero, so it turns or slides along nothing",
                    path + (parentLabel == "mechanicalunit" ? "/xyz" : "/axis/xyz"), objectId);
        }
        const auto limit = joint.get("axis/limit");
        const auto value = joint.get("value");
        if (!limit || !value)
            return;
        const std::vector<double> lower = limit->get("lower") ? Numbers(*limit->get("lower")) : std::vector<double>{};
        const std::vector<double> upper = limit->get("upper") ? Numbers(*limit->get("upper")) : std::vector<double>{};
        const std::vector<double> position = Numbers(*value);
        if (lower.size() != 1 || upper.size() != 1 || position.size() != 1)
            return;
        const bool prismatic = Text(joint, "type") == "prismatic";
        const std::string_view unit = prismatic ? " mm" : "°";
        if (lower[0] > upper[0]) {
            add(Severity::Error, "limits-reversed",
                fmt::format("the lower limit {}{} is above the upper limit {}{}", Number(lower[0]), unit,
                            Number(upper[0]), unit),
                path + "/axis/limit", objectId);
            return;
        }
        // Stored in radians, limited in degrees; a prismatic joint's value
        // and limits are both millimetres.
        const double shown = prismatic ? position[0] : position[0] * 180 / std::numbers::pi;
        const auto slack = [](double bound) { return 1e-9 * std::max(1.0, std::abs(bound)); };
        if (std::isnan(shown) || shown < lower[0] - slack(lower[0]) || shown > upper[0] + slack(upper[0]))
            add(Severity::Error, "out-of-limits",
                prismatic ? fmt::format("the joint's value {} mm is outside its limits {} mm to {} mm",
                                        Number(position[0]), Number(lower[0]), Number(upper[0]))
                          : fmt::format("the joint's value {} rad ({}°) is outside its limits {}° to {}°",
                                        Number(position[0]), Number(shown), Number(lower[0]), Number(upper[0])),
                path + "/value", objectId);
    }

    void checkTypedIds()
    {
        std::unordered_map<unsigned int, const DataItem*> byId;
        for (const auto& [name, items] : _dataItems)
            for (const DataItem& item : items)
                byId.try_emplace(item.id, &item);
        for (const TypedId& ref : _typedIds) {
            const auto object = _objects.find(ref.id);
            if (object == _objects.end())
                continue;   // names no object: the id check says so
            const auto item = byId.find(ref.id);
            if (item == byId.end())
                add(Severity::Error, "wrong-kind",
                    fmt::format("id {} names a {}, not a {} data item", ref.id, object->second.label, ref.type),
                    ref.path, ref.objectId);
            else if (item->second->type != ref.type)
                add(Severity::Error, "wrong-kind",
                    fmt::format("id {} names a data item of type '{}', not {}", ref.id, item->second->type, ref.type),
                    ref.path, ref.objectId);
        }
    }

    // An argument whose text is a name names a data item. What kind of
    // data an argument names is learnt from the arguments of the same name
    // that name one. A name found nowhere is an error where those name
    // data that places something (a tool, a work object, a target): the
    // station must hold it, and a typo moves the robot elsewhere. Speeds
    // and zones, and arguments never seen naming data, may well be the
    // controller's own data, which the station does not list: a warning.
    void checkNames()
    {
        static const std::set<std::string, std::less<>> placing{"tooldata", "wobjdata", "robtarget", "jointtarget"};
        std::unordered_map<std::string, std::set<std::string>> kinds;
        std::vector<const Argument*> unknown;
        for (const Argument& argument : _arguments) {
            if (!IsIdentifier(argument.text))
                continue;
            const auto found = _dataItems.find(argument.text);
            if (found == _dataItems.end()) {
                unknown.push_back(&argument);
                continue;
            }
            for (const DataItem& item : found->second)
                kinds[argument.name].insert(item.type);
        }
        for (const Argument* argument : unknown) {
            const auto known = kinds.find(argument->name);
            if (known == kinds.end()) {
                add(Severity::Warning, "unknown-name",
                    fmt::format("'{}' names no data item of the station", ForMessage(argument->text)), argument->path,
                    argument->objectId);
                continue;
            }
            const bool places = std::ranges::any_of(known->second, [&](const std::string& k) { return placing.contains(k); });
            add(places ? Severity::Error : Severity::Warning, "unknown-name",
                fmt::format("'{}' names no data item; the '{}' arguments of other instructions name {} data",
                            ForMessage(argument->text), ForMessage(argument->name), fmt::join(known->second, " or ")),
                argument->path, argument->objectId);
        }
    }

    // An anchored object moves with its anchor: the anchor must be another
    // object with a place in the cell, and anchors must not go round.
    void checkAnchors()
    {
        enum : std::uint8_t { Unseen, OnChain, Done };
        std::unordered_map<unsigned int, std::uint8_t> state;
        std::vector<unsigned int> chain;
        for (const unsigned int start : _objectOrder) {
            const Object& object = _objects.at(start);
            if (object.anchor == 0)
                continue;
            if (const auto target = _objects.find(object.anchor); target != _objects.end() && !target->second.hasPose)
                add(Severity::Warning, "anchor-no-place",
                    fmt::format("anchored to {} {}, which has no pose to move with", target->second.label,
                                object.anchor),
                    object.anchorPath, start);
            chain.clear();
            unsigned int at = start;
            while (state[at] == Unseen) {
                state[at] = OnChain;
                chain.push_back(at);
                const auto it = _objects.find(at);
                if (it == _objects.end() || it->second.anchor == 0 || !_objects.contains(it->second.anchor))
                    break;
                at = it->second.anchor;
            }
            if (chain.empty())
                continue;   // walked from an earlier start already
            const auto last = _objects.find(chain.back());
            const bool loops = state[at] == OnChain && last != _objects.end() && last->second.anchor == at;
            if (loops) {
                const auto from = std::ranges::find(chain, at);
                std::vector<unsigned int> loop(from, chain.end());
                const Object& first = _objects.at(loop.front());
                add(Severity::Error, "anchor-loop",
                    loop.size() == 1 ? fmt::format("object {} is anchored to itself", loop.front())
                                     : fmt::format("anchors go round: {} -> {}", fmt::join(loop, " -> "), loop.front()),
                    first.anchorPath, loop.front());
            }
            for (const unsigned int seen : chain)
                state[seen] = Done;
        }
    }

    std::vector<Finding>& _findings;
    std::vector<unsigned int> _objectAtDepth;   // object id at each depth of the walk, 0 for none
    std::unordered_map<unsigned int, Object> _objects;   // by id, the first object with it
    std::vector<unsigned int> _objectOrder;               // their ids in document order
    std::unordered_map<std::string, std::vector<DataItem>> _dataItems;   // by name
    std::vector<TypedId> _typedIds;
    std::vector<Argument> _arguments;
};

} // namespace

void CheckStationRules(const Element& root, std::vector<StationCheck::Finding>& findings)
{
    Rules(findings).run(root);
}

} // namespace sdf::detail
