// sdftool diff: compares two stations object by object.

#include "Command.h"
#include "Document.h"
#include "DocumentError.h"
#include "JsonText.h"

#include <sdformat/Element.h>
#include <sdformat/ObjectFields.h>
#include <sdformat/TreeWalk.h>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool diff A B [--json]
       sdftool diff --git PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE

Compares the station documents A and B by object id, not by text, and
prints one line per difference:
  added LABEL ID 'NAME' at PATH             an object only B has
  removed LABEL ID 'NAME' from PATH         an object only A has
  moved LABEL ID 'NAME': parent P -> Q      another object parent
  moved LABEL ID 'NAME': position I -> J under P
                                            another place among the objects
                                            that share its parent
  changed PATH: 'OLD' -> 'NEW'              a value or attribute ("(none)"
                                            where one side lacks it)
An object's parent is its `parent` value, or without one the object it lies
in. Values belong to the nearest object around them, so a value that only
moved with its object is not reported. Objects with id 0 or an id another
object has already are matched by path. An empty file (such as /dev/null)
counts as a station without objects.

With --git the arguments are those git passes to a diff driver; the output
starts with "sdftool diff a/PATH b/PATH" and the exit status is 0 unless an
error occurs. To review station changes in git:
  git config diff.sdf.command "sdftool diff --git"
  echo '*.sdf diff=sdf' >> .gitattributes

Options:
  --json      Print one JSON object instead:
                {"equal": BOOL, "added": [OBJECT...], "removed": [OBJECT...],
                 "moved": [MOVE...], "changed": [CHANGE...]}
              OBJECT is {"id": N, "label": L, "name": S, "path": P}; MOVE
              adds "fromParent", "toParent", "fromPosition", "toPosition";
              CHANGE is {"path": P, "old": S, "new": S}, null for a side that
              lacks the value.
  --git       Run as git's diff driver (see above).
  -h, --help  Show this help.

Exit status: 0 when the stations are equal, 1 when they differ, 2 on an
error (a file that cannot be read included) or a wrong command line.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}, {"git", 0, false}};
constexpr int kExitError = 2;
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

struct StationObject
{
    std::string key;   // "id N", or "path P" for an id that cannot tell objects apart
    unsigned int id = 0;
    std::string label;
    std::string name;
    std::string path;
    std::string parentKey;   // the key of its object parent, empty for none
    std::size_t position = 0;   // among the objects with the same parent, from 1
    std::map<std::string, std::string> values;   // path below the object -> text
};

// The objects of a document in document order, with the values each owns.
// Values outside every object belong to a pseudo-object for the root.
class Station
{
public:
    explicit Station(const sdf::Element* root)
    {
        objects.push_back({"", 0, "", "", "", "", 0, {}});
        if (root)
            sdf::WalkTree(*root, [this](const sdf::TreeVisit& v) { visit(v); });
        resolveParents();
        for (std::size_t i = 0; i < objects.size(); ++i)
            byKey.emplace(objects[i].key, i);
    }

    std::vector<StationObject> objects;
    std::unordered_map<std::string, std::size_t> byKey;

private:
    void visit(const sdf::TreeVisit& v)
    {
        if (owners.size() <= v.depth)
            owners.resize(v.depth + 1, kNone);
        owners[v.depth] = kNone;
        std::size_t owner = 0;
        for (std::size_t depth = v.depth; depth-- > 0;)
            if (owners[depth] != kNone) {
                owner = owners[depth];
                break;
            }
        if (sdf::IsObjectTemplate(v.templ)) {
            StationObject object;
            object.id = v.element.getId(false);
            object.key = object.id != 0 && seenIds.insert(object.id).second ? fmt::format("id {}", object.id)
                                                                             : fmt::format("path {}", v.path);
            object.label = v.templ._name;
            object.path = v.path;
            if (const auto name = v.element.get("name"); name && name->hasValue())
                object.name = name->getStringFromValue();
            storedParent.push_back(v.element.exists("parent") ? std::optional(v.element.valueOr<unsigned int>("parent", 0u))
                                                              : std::nullopt);
            enclosing.push_back(owner);
            owners[v.depth] = objects.size();
            objects.push_back(std::move(object));
            owner = owners[v.depth];
        }
        StationObject& holder = objects[owner];
        const std::string_view below =
            owner == 0 ? std::string_view(v.path) : std::string_view(v.path).substr(holder.path.size());
        const std::string prefix(below.empty() ? "" : below.substr(1));
        if (v.element.hasValue() && owner != owners[v.depth])
            holder.values[prefix] = v.element.getStringFromValue();
        for (const auto& attr : v.element.attributes())
            holder.values[prefix.empty() ? "@" + attr->label() : prefix + "/@" + attr->label()] = attr->asString();
    }

    // Parents by key, and positions among the objects of the same parent.
    void resolveParents()
    {
        std::unordered_map<unsigned int, std::size_t> firstWithId;
        for (std::size_t i = 1; i < objects.size(); ++i)
            firstWithId.try_emplace(objects[i].id, i);
        std::unordered_map<std::string, std::size_t> counts;
        for (std::size_t i = 1; i < objects.size(); ++i) {
            std::size_t parent = enclosing[i - 1];
            if (const auto stored = storedParent[i - 1]) {
                const auto it = firstWithId.find(*stored);
                parent = *stored != 0 && it != firstWithId.end() ? it->second : 0;
            }
            objects[i].parentKey = objects[parent].key;
            objects[i].position = ++counts[objects[i].parentKey];
        }
    }

    std::vector<std::size_t> owners;   // object being walked at each depth, or kNone
    std::vector<std::optional<unsigned int>> storedParent;
    std::vector<std::size_t> enclosing;
    std::unordered_set<unsigned int> seenIds;
};

struct Move
{
    const StationObject* from;
    const StationObject* to;
};

struct Change
{
    std::string path;
    std::optional<std::string> before;
    std::optional<std::string> after;
};

struct Differences
{
    std::vector<const StationObject*> added, removed;
    std::vector<Move> moved;
    std::vector<Change> changed;
    bool empty() const { return added.empty() && removed.empty() && moved.empty() && changed.empty(); }
};

// Indices of a longest increasing subsequence of ranks.
std::vector<bool> longestIncreasing(const std::vector<std::size_t>& ranks)
{
    std::vector<std::size_t> tails;   // index into ranks of the smallest tail of each length
    std::vector<std::size_t> previous(ranks.size(), kNone);
    for (std::size_t i = 0; i < ranks.size(); ++i) {
        const auto at = std::ranges::lower_bound(tails, ranks[i], {}, [&](std::size_t k) { return ranks[k]; });
        if (at != tails.begin())
            previous[i] = *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<bool> kept(ranks.size(), false);
    for (std::size_t i = tails.empty() ? kNone : tails.back(); i != kNone; i = previous[i])
        kept[i] = true;
    return kept;
}

std::string valuePath(const StationObject& object, const std::string& below)
{
    if (object.path.empty())
        return below.starts_with('/') ? below : "/" + below;
    return below.empty() ? object.path : object.path + "/" + below;
}

Differences compare(const Station& a, const Station& b)
{
    Differences d;
    for (const auto& object : a.objects)
        if (!b.byKey.contains(object.key))
            d.removed.push_back(&object);
    // Objects under the same parent on both sides, in A's order, with their
    // places in B: those off the longest run in order are the ones moved.
    std::map<std::string, std::vector<std::pair<const StationObject*, const StationObject*>>> siblings;
    for (const auto& after : b.objects) {
        const auto it = a.byKey.find(after.key);
        if (it == a.byKey.end()) {
            d.added.push_back(&after);
            continue;
        }
        const StationObject& before = a.objects[it->second];
        if (!after.key.empty() && before.parentKey != after.parentKey)
            d.moved.push_back({&before, &after});
        for (const auto& [below, text] : after.values) {
            const auto old = before.values.find(below);
            if (old == before.values.end())
                d.changed.push_back({valuePath(after, below), std::nullopt, text});
            else if (old->second != text)
                d.changed.push_back({valuePath(after, below), old->second, text});
        }
        for (const auto& [below, text] : before.values)
            if (!after.values.contains(below))
                d.changed.push_back({valuePath(after, below), text, std::nullopt});
    }
    for (const auto& before : a.objects) {
        const auto it = b.byKey.find(before.key);
        if (before.key.empty() || it == b.byKey.end() || b.objects[it->second].parentKey != before.parentKey)
            continue;
        siblings[before.parentKey].push_back({&before, &b.objects[it->second]});
    }
    for (const auto& [parent, pairs] : siblings) {
        std::vector<std::size_t> ranks;
        for (const auto& pair : pairs)
            ranks.push_back(pair.second->position);
        const auto kept = longestIncreasing(ranks);
        for (std::size_t i = 0; i < pairs.size(); ++i)
            if (!kept[i])
                d.moved.push_back({pairs[i].first, pairs[i].second});
    }
    return d;
}

std::string parentId(const Station& station, const std::string& key)
{
    const auto it = station.byKey.find(key);
    if (key.empty() || it == station.byKey.end())
        return "0";
    const StationObject& parent = station.objects[it->second];
    return parent.id != 0 ? fmt::format("{}", parent.id) : parent.path;
}

std::string describe(const StationObject& o)
{
    return fmt::format("{} {} '{}'", o.label, o.id, o.name);
}

std::string jsonObject(const StationObject& o)
{
    return fmt::format("{{\"id\": {}, \"label\": {}, \"name\": {}, \"path\": {}", o.id, JsonString(o.label),
                       JsonString(o.name), JsonString(o.path));
}

std::string jsonOptional(const std::optional<std::string>& text)
{
    return text ? JsonString(*text) : "null";
}

void print(const Differences& d, const Station& a, const Station& b, bool json)
{
    std::string out;
    if (!json) {
        for (const auto* o : d.removed)
            fmt::format_to(std::back_inserter(out), "removed {} from {}\n", describe(*o), o->path);
        for (const auto* o : d.added)
            fmt::format_to(std::back_inserter(out), "added {} at {}\n", describe(*o), o->path);
        for (const auto& m : d.moved) {
            if (m.from->parentKey != m.to->parentKey)
                fmt::format_to(std::back_inserter(out), "moved {}: parent {} -> {}\n", describe(*m.to),
                               parentId(a, m.from->parentKey), parentId(b, m.to->parentKey));
            else
                fmt::format_to(std::back_inserter(out), "moved {}: position {} -> {} under {}\n", describe(*m.to),
                               m.from->position, m.to->position, parentId(b, m.to->parentKey));
        }
        for (const auto& c : d.changed)
            fmt::format_to(std::back_inserter(out), "changed {}: {} -> {}\n", c.path,
                           c.before ? fmt::format("'{}'", *c.before) : "(none)",
                           c.after ? fmt::format("'{}'", *c.after) : "(none)");
    } else {
        std::vector<std::string> added, removed, moved, changed;
        for (const auto* o : d.added)
            added.push_back(jsonObject(*o) + "}");
        for (const auto* o : d.removed)
            removed.push_back(jsonObject(*o) + "}");
        for (const auto& m : d.moved)
            moved.push_back(fmt::format("{}, \"fromParent\": {}, \"toParent\": {}, \"fromPosition\": {}, "
                                        "\"toPosition\": {}}}",
                                        jsonObject(*m.to), JsonString(parentId(a, m.from->parentKey)),
                                        JsonString(parentId(b, m.to->parentKey)), m.from->position, m.to->position));
        for (const auto& c : d.changed)
            changed.push_back(fmt::format("{{\"path\": {}, \"old\": {}, \"new\": {}}}", JsonString(c.path),
                                          jsonOptional(c.before), jsonOptional(c.after)));
        out = fmt::format("{{\"equal\": {}, \"added\": [{}], \"removed\": [{}], \"moved\": [{}], \"changed\": [{}]}}\n",
                          d.empty(), fmt::join(added, ", "), fmt::join(removed, ", "), fmt::join(moved, ", "),
                          fmt::join(changed, ", "));
    }
    fmt::print("{}", out);
}

// A file that is empty reads as a station without objects.
std::shared_ptr<sdf::SDF> readSide(const std::string& path)
{
    try {
        return ReadDocument(path);
    } catch (const DocumentError& e) {
        if (e.message() == "empty file")
            return nullptr;
        throw;
    }
}

int run(const ParsedArgs& args)
{
    const bool git = args.has("git");
    if (git)
        args.expectPositional(7, 7, "the seven arguments git passes to a diff driver");
    else
        args.expectPositional(2, 2, "A B");
    const auto& p = args.positional();
    const std::string& fileA = git ? p[1] : p[0];
    const std::string& fileB = git ? p[4] : p[1];
    try {
        const auto docA = readSide(fileA);
        const auto docB = readSide(fileB);
        const Station a(docA ? docA->Root().get() : nullptr);
        const Station b(docB ? docB->Root().get() : nullptr);
        const Differences d = compare(a, b);
        if (git)
            fmt::print("sdftool diff a/{} b/{}\n", p[0], p[0]);
        print(d, a, b, args.has("json"));
        if (git)
            return kExitOk;
        return d.empty() ? kExitOk : kExitFailure;
    } catch (const DocumentError& e) {
        fmt::print(stderr, "{}\n", e.what());
        return kExitError;
    } catch (const std::exception& e) {
        fmt::print(stderr, "sdftool: {}\n", e.what());
        return kExitError;
    }
}

} // namespace

const Command kDiffCommand{"diff", "compare two stations by object id", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
