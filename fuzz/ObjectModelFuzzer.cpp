// The object model over a read document, as a client builds it: one object
// per object element of the station, registered by id, object parents from
// the elements' `parent` values, child lists adopted from their `child`
// elements. Then walks, moves, removals, additions and an erase, in an order
// drawn from the input, and the edited document must still read back. A
// crash, a leak, a hang, a failed precondition or an exception the library
// does not document for the call is a finding.

#include "FuzzSupport.h"

#include <sdformat/Element.h>
#include <sdformat/NodePose.h>
#include <sdformat/SDF.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>

#include <algorithm>
#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
#include <vector>

using namespace zrv::fuzz;
using sdf::Element;
using sdf::SdfContainer;
using sdf::SdfManager;
using sdf::SdfObject;

namespace {

constexpr std::uint32_t kUnassigned = 9999;
// Enough objects to reach everything, few enough to keep runs fast.
constexpr std::size_t kMaxObjects = 400;

class FuzzObject : public SdfContainer
{
public:
    explicit FuzzObject(std::shared_ptr<Element> element) : SdfContainer(std::move(element), sdf::ObjectType::Group12)
    {
    }
};

struct Model
{
    std::vector<FuzzObject*> objects;           // registered and owned
    std::unordered_map<FuzzObject*, std::set<std::uint32_t>> remembered;
};

// A typed read of a value of another type is std::bad_any_cast, by design.
template <class F>
void Tolerating(F f)
{
    try {
        f();
    } catch (const std::bad_any_cast&) {
    }
}

void Collect(const std::shared_ptr<Element>& element, std::vector<std::shared_ptr<Element>>& out)
{
    if (out.size() >= kMaxObjects)
        return;
    if (element->label() != "child" && element->getId(false) != 0)
        out.push_back(element);
    for (const auto& child : element->elements())
        Collect(child, out);
}

void Build(const std::shared_ptr<Element>& station, Model& model)
{
    std::vector<std::shared_ptr<Element>> elements;
    Collect(station, elements);
    for (const auto& element : elements) {
        auto* object = new FuzzObject(element);
        if (!SdfManager::Register(object)) {
            delete object;
            continue;
        }
        model.objects.push_back(object);
        std::uint32_t parent = 0;
        Tolerating([&] { parent = element->valueOr<unsigned int>("parent", 0); });
        if (parent == kUnassigned)
            object->setObjParentAsDefault();
        else
            object->setObjParent(parent);
        for (const auto& child : element->children("child"))
            Tolerating([&] {
                object->addObjChild(child);
                model.remembered[object].insert(child->asUInt());
            });
    }
}

void Walk(const Model& model)
{
    for (const FuzzObject* object : model.objects) {
        const std::uint32_t id = object->getId();
        object->getDisplayString();
        object->isTopLevel();
        object->isConnectedToLibrary();
        object->attachments();
        Tolerating([&] { sdf::GetPose(id); });
        // A parent or listed child that names no registered object is
        // std::out_of_range, from the registry's lookup.
        try {
            SdfObject::AnyOfDescendant(id, [](const SdfObject*) { return false; }, true);
        } catch (const std::out_of_range&) {
        }
        try {
            object->isDescendantOf(object->getObjParentId());
            SdfObject::AnyOfAncestor(id, [](const SdfObject*) { return false; }, true);
        } catch (const std::out_of_range&) {
        }
        try {
            object->getChildren();
            object->getObjChildren(sdf::ObjectType::Group12);
        } catch (const std::out_of_range&) {
        }
        try {
            if (const SdfContainer* parent = object->objectParent()) {
                const auto& listed = parent->getObjChildren();
                if (std::find(listed.begin(), listed.end(), id) != listed.end())
                    object->getIndex();
            }
        } catch (const std::out_of_range&) {
        }
    }
}

void Edit(Model& model, std::mt19937& random)
{
    if (model.objects.empty())
        return;
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    for (int step = 0; step < 12; ++step) {
        FuzzObject* object = model.objects[pick(model.objects.size())];
        auto& remembered = model.remembered[object];
        const auto& listed = object->getObjChildren();
        switch (pick(6)) {
        case 0:
            if (!remembered.empty()) {
                const std::uint32_t id = *std::next(remembered.begin(), static_cast<long>(pick(remembered.size())));
                const auto others =
                    listed.size() - static_cast<std::size_t>(std::count(listed.begin(), listed.end(), id));
                object->moveChild(id, static_cast<std::uint32_t>(pick(others + 1)));
            }
            break;
        case 1:
            if (!remembered.empty()) {
                const std::uint32_t id = *remembered.begin();
                object->removeObjChildWithSdf(id);
                remembered.erase(id);
            }
            break;
        case 2: {
            const std::uint32_t id = model.objects[pick(model.objects.size())]->getId();
            try {
                object->addObjChildWithSdf(id, static_cast<std::uint32_t>(pick(listed.size() + 1)));
                remembered.insert(id);
            } catch (const std::logic_error&) {
                // An element whose template has no `child`.
            }
            break;
        }
        case 3:
        case 4:
            // An element whose template lacks the field is std::logic_error;
            // a field the document gave another type, std::bad_any_cast.
            try {
                if (step % 2)
                    object->setName("renamed & <moved>");
                else
                    object->setPose({{1, 2, 3}, {0, 1, 0, 0}});
                object->setObjParentWithSdf(model.objects[pick(model.objects.size())]->getId());
            } catch (const std::logic_error&) {
            } catch (const std::bad_any_cast&) {
            }
            break;
        case 5: {
            // Those that EraseAllChildren will delete: the registered
            // objects of the listed ids, unless an id is missing and the
            // call changes nothing.
            std::set<FuzzObject*> doomed;
            bool complete = true;
            for (const std::uint32_t id : listed) {
                try {
                    doomed.insert(SdfManager::Get<FuzzObject>(id));
                } catch (const std::out_of_range&) {
                    complete = false;
                }
            }
            try {
                SdfManager::EraseAllChildren(object->getId());
            } catch (const std::out_of_range&) {
                if (complete)
                    Finding("EraseAllChildren failed although every child is registered");
                break;
            }
            if (!complete)
                Finding("EraseAllChildren went on past a child that is not registered");
            std::erase_if(model.objects, [&](FuzzObject* o) { return doomed.contains(o); });
            for (FuzzObject* gone : doomed)
                model.remembered.erase(gone);
            if (doomed.contains(object))
                return;
            break;
        }
        }
    }
}

void TearDown(Model& model)
{
    for (FuzzObject* object : model.objects) {
        if (SdfManager::Contains(object->getId()) && SdfManager::Get<SdfObject>(object->getId()) == object)
            SdfManager::Remove(object->getId());
        delete object;
    }
    model.objects.clear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto doc = ReadOrNull([&] { return sdf::SDF::ReadSdfFromString(text); });
    if (!doc || !doc->Root()->get("station") || !Writable(*doc))
        return 0;
    Model model;
    Build(doc->Root()->get("station"), model);
    Walk(model);
    std::mt19937 random(static_cast<std::uint32_t>(std::hash<std::string_view>{}(text)));
    Edit(model, random);
    Walk(model);
    TearDown(model);
    if (SdfManager::Size() != 0)
        Finding("objects were left in the registry");

    const std::string edited = doc->Root()->toXMLString("");
    try {
        sdf::SDF::ReadSdfFromString(edited);
    } catch (const std::exception& e) {
        Finding("the edited document does not read back", e.what() + ("\n" + edited));
    }
    return 0;
}
