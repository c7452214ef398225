// Building the element tree of a large document on more than one thread.
//
// pugixml parses on one thread; building the elements from its nodes takes
// several times as long and splits well, because subtrees are independent.
// The calling thread first walks the spine: the elements whose text is
// larger than a unit. It makes them as the one-thread reader does, and
// every child of a spine element that is small enough becomes a unit. The
// units are then built whole, each by whichever thread takes it next, so
// that a slower core simply takes fewer. Last, the calling thread puts
// every unit into its parent in document order and adds the left-out
// required children, deepest spine element first, as the one-thread reader
// does when each element is done.
//
// The result is the tree the one-thread reader builds, and so is the error
// of a bad document: the first one in document order.

#include <sdformat/SDF.h>

#include <sdformat/DocumentThreads.h>
#include <sdformat/Element.h>
#include <sdformat/ReadArena.h>
#include <sdformat/ReadState.h>
#include <sdformat/ReadSteps.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace sdf {

namespace {

// Below this much text a document is read on one thread: starting one
// costs more than it saves.
constexpr std::ptrdiff_t kParallelFrom = 1 << 20;

// Units of at most this fraction of the document (per thread) keep the
// threads busy to the end; below the floor they are too small to be worth
// an entry of their own.
constexpr std::ptrdiff_t kUnitsPerThread = 16;
constexpr std::ptrdiff_t kSmallestUnit = 32 * 1024;

// Where node's text ends, as far as the nodes tell: the start of its last
// descendant, or -1 when an offset is not known.
std::ptrdiff_t SubtreeEnd(pugi::xml_node node)
{
    while (pugi::xml_node last = node.last_child())
        node = last;
    const std::ptrdiff_t at = node.offset_debug();
    return at < 0 ? -1 : at + 1;
}

} // namespace

class SDF::SpineRead
{
public:
    SpineRead(ReadState& state, std::ptrdiff_t unitBytes)
        : _state(state)
        , _unitBytes(unitBytes)
    {
    }

    // Fills element as Fill does, the spine on this thread, the units on
    // threads; errors as Fill's.
    void run(pugi::xml_node node, Element& element, const char* text, const char* typeName, unsigned threads,
             std::ptrdiff_t end)
    {
        std::exception_ptr spineError;
        try {
            walk(node, element, text, typeName, false, 0, end);
        } catch (...) {
            // Every unit taken so far comes before this in the document,
            // so their errors come first.
            spineError = std::current_exception();
            _state.pending.clear();
        }
        buildUnits(threads);
        for (const Unit& unit : _units)
            if (unit.error)
                std::rethrow_exception(unit.error);
        if (spineError)
            std::rethrow_exception(spineError);
        assemble();
    }

private:
    struct Unit
    {
        pugi::xml_node node;
        const ElementTemplate* templ;
        std::shared_ptr<Element> element;
        std::exception_ptr error;
    };

    // A child of a spine element: a spine element itself, or a unit.
    struct Slot
    {
        std::shared_ptr<Element> spine;
        std::size_t unit = 0;
    };

    struct SpineElement
    {
        SpineElement(Element& e, std::size_t childTemplates)
            : element(e)
            , seen(childTemplates)
        {
        }

        Element& element;
        std::vector<Slot> slots;
        detail::SeenChildren seen;
    };

    void walk(pugi::xml_node node, Element& element, const char* text, const char* typeName, bool valueRead,
              std::size_t firstChild, std::ptrdiff_t end)
    {
        FillOwn(node, element, text, typeName, valueRead, _state);
        const ElementTemplate& templ = *element._template;
        // Kept where it is: SeenChildren may point into itself.
        _spine.push_back(std::make_unique<SpineElement>(element, templ._children.size()));
        SpineElement& spine = *_spine.back();
        std::vector<pugi::xml_node>& pending = _state.pending;
        const std::size_t endChild = pending.size();
        spine.slots.reserve(endChild - firstChild);
        const ElementTemplate* last = nullptr;
        for (std::size_t i = firstChild; i < endChild; ++i) {
            const pugi::xml_node xmlChild = pending[i];
            const ElementTemplate& childTemplate = detail::ChildTemplate(templ, xmlChild.name(), last);
            spine.seen.mark(static_cast<std::size_t>(&childTemplate - templ._children.data()));
            const std::ptrdiff_t begin = xmlChild.offset_debug();
            const std::ptrdiff_t next = i + 1 < endChild ? pending[i + 1].offset_debug() : end;
            if (next - begin <= _unitBytes) {
                spine.slots.push_back({nullptr, _units.size()});
                _units.push_back({xmlChild, &childTemplate, nullptr, nullptr});
                continue;
            }
            const std::size_t grandchildren = pending.size();
            const char* childText = detail::CollectChildren(xmlChild, pending);
            const char* childType = detail::TypeAttribute(xmlChild);
            auto child = Spawn(childTemplate, childText, childType, _state);
            spine.slots.push_back({child, 0});
            walk(xmlChild, *child, childText, childType, true, grandchildren, next);
        }
        pending.resize(firstChild);
    }

    void buildUnits(unsigned threads)
    {
        std::vector<std::thread> helpers;
        helpers.reserve(threads);
        for (unsigned t = 1; t < threads && _units.size() > t; ++t) {
            try {
                helpers.emplace_back([this] { helpWithUnits(); });
            } catch (...) {
                break; // no more threads to be had: the others take the units
            }
        }
        takeUnits(_state);
        for (std::thread& helper : helpers)
            helper.join();
    }

    void helpWithUnits() noexcept
    {
        try {
            const detail::ReadArenaClaim claim;
            auto state = std::make_unique<ReadState>();
            takeUnits(*state);
        } catch (...) {
            // Only the helper's own setup gets here (a unit's errors stay
            // with the unit); the other threads take what it left.
        }
    }

    void takeUnits(ReadState& state)
    {
        for (std::size_t i = _next.fetch_add(1); i < _units.size(); i = _next.fetch_add(1)) {
            // Units after a failed one cannot change the outcome.
            if (i > _firstFailure.load(std::memory_order_relaxed))
                continue;
            Unit& unit = _units[i];
            try {
                unit.element = ReadChild(unit.node, *unit.templ, state);
            } catch (...) {
                unit.error = std::current_exception();
                state.pending.clear();
                std::size_t failed = _firstFailure.load(std::memory_order_relaxed);
                while (i < failed && !_firstFailure.compare_exchange_weak(failed, i, std::memory_order_relaxed)) {
                }
            }
        }
    }

    void assemble()
    {
        for (auto spine = _spine.rbegin(); spine != _spine.rend(); ++spine) {
            Element& element = (*spine)->element;
            element._children.reserve(element._children.size() + (*spine)->slots.size());
            for (Slot& slot : (*spine)->slots)
                Adopt(element, slot.spine ? std::move(slot.spine) : std::move(_units[slot.unit].element));
            AppendLeftOut(element, (*spine)->seen);
        }
    }

    ReadState& _state;
    const std::ptrdiff_t _unitBytes;
    std::vector<std::unique_ptr<SpineElement>> _spine;
    std::vector<Unit> _units;
    std::atomic<std::size_t> _next{0};
    std::atomic<std::size_t> _firstFailure{std::numeric_limits<std::size_t>::max()};
};

bool SDF::ReadOnThreads(pugi::xml_node node, Element& element, const char* text, const char* typeName,
                        ReadState& state)
{
    const unsigned threads = detail::DocumentThreads();
    if (threads < 2)
        return false;
    const std::ptrdiff_t begin = node.offset_debug();
    const std::ptrdiff_t end = SubtreeEnd(node);
    if (begin < 0 || end < 0 || end - begin < kParallelFrom)
        return false;
    const std::ptrdiff_t unitBytes = std::max((end - begin) / (kUnitsPerThread * threads), kSmallestUnit);
    SpineRead(state, unitBytes).run(node, element, text, typeName, threads, end);
    return true;
}

} // namespace sdf
