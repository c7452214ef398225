#pragma once

// One station document: the owner of the root element of an element tree.
// Documents are made by the static operations below and handed out as
// shared pointers; copying a document shares its tree.

#include <sdformat/Export.h>

#include <pugixml.hpp>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

namespace sdf {

class Element;
class ElementTemplate;
struct CheckVisit;

namespace detail {
class SeenChildren;
} // namespace detail

class SDF_EXPORT SDF
{
public:
    SDF(const SDF&) = default;
    SDF& operator=(const SDF&) = default;
    ~SDF() = default;

    // A new document whose root is a fresh `sdf` element with its default
    // attributes and no children; the root template is built on first use.
    static std::shared_ptr<SDF> SpawnFromRootTemplate();

    // Reads the document in the file. std::logic_error "read sdf file
    // failed" when there is no such file or it is not well-formed XML; the
    // errors of checking the document as ReadSdfFromString.
    static std::shared_ptr<SDF> ReadSdfFromFile(const std::filesystem::path& path);

    // Reads the document in exactly the characters of text (UTF-8).
    // std::logic_error "read sdf string failed" when they are not
    // well-formed XML; std::runtime_error "ReadDoc error" without a
    // top-level `sdf`; std::logic_error "no version" / "wrong version" for
    // a missing or other version than "1.0"; std::runtime_error for text in
    // an element without a value, an unknown or a missing required
    // attribute; std::logic_error for an unknown child element;
    // std::out_of_range for a `type` naming no registered type.
    static std::shared_ptr<SDF> ReadSdfFromString(std::string_view text);

    // The root element, shared with the document.
    std::shared_ptr<Element> Root() const { return _root; }

    // Writes the document as indented XML. The file gets the whole text or
    // stays as it was: std::runtime_error "write file failure" when it may
    // not be opened for writing or any step of writing fails. Regular files
    // are replaced in one step where that keeps links, owner and mode, and
    // written in place (with the old contents kept to put back) where not;
    // devices and pipes are written as streams. The signals a failing write
    // raises (file-size limit, broken pipe) never end the process.
    void Write(const std::filesystem::path& path) const;

    // Undoes what the writes running in this process have done so far:
    // removes their temporary files and puts back the old contents of files
    // written in place. Async-signal-safe, for a handler of SIGINT or
    // SIGTERM that then ends the process (with _exit) without returning to
    // the interrupted writes.
    static void UndoWritesInProgress() noexcept;

    // How many writes of this process are through (their file has its new
    // contents). Async-signal-safe: a handler that finds a write through
    // and none in progress knows the save it interrupted had already
    // happened. A write is counted before SIGINT or SIGTERM can interrupt
    // the thread after its last step.
    static std::size_t CompletedWrites() noexcept;

private:
    // What reading to check calls for each element (DocumentCheck.h).
    using Visitor = std::function<void(const CheckVisit&)>;

    explicit SDF(std::shared_ptr<Element> root);

    // Checks the parsed document's root and version and returns the filled
    // root element; with a visitor, makes the same checks without keeping
    // what was read (see DocumentCheck).
    static std::shared_ptr<Element> ReadDoc(const pugi::xml_document& document, const Visitor* visit = nullptr);
    // Fills element, made from the template that matches node, from the
    // node and its subtree; returns the same element.
    static std::shared_ptr<Element> ReadXml(pugi::xml_node node, std::shared_ptr<Element> element,
                                            const Visitor* visit = nullptr);
    // What a read carries from node to node: the element children of the
    // nodes being read, collected in one pass over each child list, and
    // the interned names of the attributes made.
    struct ReadState;
    class ReadNames;
    // ReadXml's work, without handing shared pointers around per node: text
    // and typeName are the node's text and `type` attribute (empty when
    // absent); valueRead tells that the value was made from the text
    // already; the node's element children are state.pending from
    // firstChild on, and are taken off it when done.
    static void Fill(pugi::xml_node node, Element& element, const char* text, const char* typeName, bool valueRead,
                     std::size_t firstChild, ReadState& state);
    // Fill's work on the element itself: its value and attributes.
    static void FillOwn(pugi::xml_node node, Element& element, const char* text, const char* typeName,
                        bool valueRead, ReadState& state);
    // A new element from templ, filled from node and its whole subtree.
    static std::shared_ptr<Element> ReadChild(pugi::xml_node node, const ElementTemplate& templ, ReadState& state);
    // Links child to parent and adds it at the end of parent's children.
    static void Adopt(Element& parent, std::shared_ptr<Element> child);
    // Adds the required children the document left out (those not in
    // seen), after the children it gave.
    static void AppendLeftOut(Element& element, detail::SeenChildren& seen);
    // Fill for a large document, building its subtrees on more than one
    // thread; false, having done nothing, when the document is better read
    // on this thread alone.
    static bool ReadOnThreads(pugi::xml_node node, Element& element, const char* text, const char* typeName,
                              ReadState& state);
    class SpineRead;
    // Reading to check without keeping (DocumentCheck.h): the subtree of
    // each child is read, visited and let go.
    friend struct DocumentCheck;

    static void ReadAndVisit(pugi::xml_node node, const ElementTemplate& templ, ReadState& state);
    // Visits what is left of a subtree, below first.
    static void VisitKept(const Element& element, std::size_t depth, ReadState& state);
    // ElementTemplate::spawn for an element about to be filled from a node
    // with that text: a value given by the text is made from it at once
    // rather than from the default first, of the type typeName names when
    // it is not empty.
    static std::shared_ptr<Element> Spawn(const ElementTemplate& templ, const char* text, const char* typeName,
                                          ReadState& state);
    // Spawn's work, with the blocks of the element and its attributes taken
    // through allocator.
    template <class Allocator>
    static std::shared_ptr<Element> SpawnWith(const Allocator& allocator, const ElementTemplate& templ,
                                              const char* text, const char* typeName, ReadState& state);

    std::shared_ptr<Element> _root;
};

} // namespace sdf
