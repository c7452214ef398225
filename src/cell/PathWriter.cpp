#include "cell/PathWriter.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <typeinfo>
#include <unordered_set>

namespace cell {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

std::uint32_t LargestId(const sdf::Element& element)
{
    std::uint32_t largest = element.getId(false);
    for (const auto& child : element.elements())
        largest = std::max(largest, LargestId(*child));
    return largest;
}

std::optional<std::string> TextValue(const sdf::Element& argument)
{
    const ElementPtr value = argument.get("value");
    if (!value || !value->hasValue() || value->type_info() != typeid(std::string))
        return std::nullopt;
    return value->as<std::string>();
}

bool IsRobTargetItem(const sdf::Element& item)
{
    const ElementPtr value = item.get("value");
    return value && value->hasValue() && value->type_info() == typeid(zrv::rob::RobTarget);
}

std::string Identifier(const std::string& name)
{
    std::string out;
    for (const char c : name)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    if (out.empty() || std::isdigit(static_cast<unsigned char>(out.front())))
        out.insert(0, "path_");
    return out;
}

} // namespace

PathWriter::PathWriter(std::shared_ptr<sdf::Element> root, std::shared_ptr<sdf::Element> task)
    : rootElement(std::move(root))
    , taskElement(std::move(task))
{
    nextId = LargestId(*rootElement) + 1;
    if (const auto station = rootElement->get("station"))
        nextId = std::max(nextId, station->valueOr<unsigned int>("next_dataid", 0u));
}

std::uint32_t PathWriter::freshId()
{
    if (nextId == 0 || nextId == std::numeric_limits<std::uint32_t>::max())
        throw std::runtime_error("no object id is left for the path");
    return nextId++;
}

bool PathWriter::remove(std::uint32_t pathId)
{
    if (pathId == 0)
        return false;
    ElementPtr old;
    for (const auto& path : taskElement->children("path"))
        if (path->getId(false) == pathId)
            old = path;
    if (!old)
        return false;

    std::unordered_set<std::string> named;
    for (const auto& instruction : old->children("instruction"))
        for (const auto& argument : instruction->children("argument"))
            if (auto text = TextValue(*argument))
                named.insert(std::move(*text));
    taskElement->remove(old);
    // Targets that another path still names stay.
    for (const auto& path : taskElement->children("path"))
        for (const auto& instruction : path->children("instruction"))
            for (const auto& argument : instruction->children("argument"))
                if (const auto text = TextValue(*argument))
                    named.erase(*text);

    std::unordered_set<std::uint32_t> gone{pathId};
    for (const auto& item : taskElement->children("dataitem"))
        if (IsRobTargetItem(*item) && named.contains(item->valueOr<std::string>("name", std::string())))
            gone.insert(item->getId(false));
    taskElement->remove("dataitem", [&](const ElementPtr& item) { return gone.contains(item->getId(false)); });
    taskElement->remove("child", [&](const ElementPtr& child) {
        return child->hasValue() && gone.contains(child->valueOr<unsigned int>("", 0u));
    });
    return true;
}

std::shared_ptr<sdf::Element> PathWriter::write(sdf::Element& operation, const std::string& name,
                                                const std::vector<Move>& moves, const std::string& tool,
                                                const std::string& workObject, std::vector<std::string>* targetNames)
{
    const std::uint32_t taskId = taskElement->getId(false);
    std::unordered_set<std::string> used;
    for (const auto& element : taskElement->elements())
        if (element->label() == "dataitem" || element->label() == "path")
            used.insert(element->valueOr<std::string>("name", std::string()));
    // A path name whose target names are free as well.
    const std::string base = Identifier(name);
    std::string pathName = base;
    for (unsigned n = 2;; ++n) {
        bool free = !used.contains(pathName);
        for (std::size_t k = 1; free && k <= moves.size() * 2; ++k)
            free = !used.contains(fmt::format("{}_T{}", pathName, k));
        if (free)
            break;
        pathName = fmt::format("{}_{}", base, n);
    }

    const std::uint32_t pathId = freshId();
    const ElementPtr path = taskElement->appendObject("path", pathId, pathName);
    path->set<unsigned int>("parent", taskId);
    taskElement->append("child")->setValue<unsigned int>(pathId);

    std::size_t targetCount = 0;
    const auto addTarget = [&](const zrv::rob::RobTarget& target) {
        const std::string targetName = fmt::format("{}_T{}", pathName, ++targetCount);
        const std::uint32_t id = freshId();
        const ElementPtr item = taskElement->appendObject("dataitem", id, targetName);
        item->set<zrv::rob::RobTarget>("value", target);
        item->set<unsigned int>("parent", taskId);
        taskElement->append("child")->setValue<unsigned int>(id);
        if (targetNames)
            targetNames->push_back(targetName);
        return targetName;
    };

    for (const Move& move : moves) {
        std::string viaName;
        if (move.via)
            viaName = addTarget(*move.via);
        const std::string targetName = addTarget(move.target);
        const std::uint32_t instructionId = freshId();
        const ElementPtr instruction = path->appendObject("instruction", instructionId, move.instruction);
        instruction->set<unsigned int>("parent", pathId);
        path->append("child")->setValue<unsigned int>(instructionId);
        const auto argument = [&](std::string_view argName, const std::string& value) {
            const std::uint32_t id = freshId();
            const ElementPtr arg = instruction->appendObject("argument", id, argName);
            arg->set<std::string>("value", value);
            arg->set<unsigned int>("parent", instructionId);
            instruction->append("child")->setValue<unsigned int>(id);
        };
        argument("target", targetName);
        if (move.via)
            argument("via", viaName);
        argument("speed", move.speed);
        argument("zone", move.zone);
        argument("tool", tool);
        if (!workObject.empty())
            argument("wobj", workObject);
        instruction->set<std::string>("source", "generated");
    }

    operation.set<unsigned int>("pathid", pathId);
    if (const auto station = rootElement->get("station"))
        station->set<unsigned int>("next_dataid", nextId);
    return path;
}

} // namespace cell
