#pragma once

// The XML text of an element and its subtree. Internal to the library.
//
// Writing starts on the calling thread. Once a subtree has given half a
// megabyte of text, the writer takes on helper threads (see
// DocumentThreads): whenever one of them waits for work, the thread that
// has some hands over the second half of the children still ahead in its
// outermost open element, with that element's end tag. Each part of the
// work writes into a fragment of its own, and the fragments are kept in
// document order, so that the text is the same whoever wrote it.

#include <sdformat/TextPieces.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class Element;

namespace detail {

class XmlWriter
{
public:
    // The text of element's subtree, every line led by prefix. Throws
    // UnwritableCharacter (see ValueText) for a text XML cannot carry.
    static std::string Write(const Element& element, std::string_view prefix);

private:
    struct Fragment;
    class Crew;
    struct Job;

    // An element whose children are being written.
    struct Frame
    {
        const Element* element;
        std::size_t next;       // the first child not yet started
        std::size_t end;        // past the last child this thread writes
        std::size_t indentSize; // of the children's lines
        bool writesEnd;         // whether this thread writes the end tag
        Fragment* handedOver;   // the first fragment of children handed over
        Fragment* resumeIn;     // where this thread goes on after them
    };

    XmlWriter(Fragment* fragment, Crew* crew, bool mayTakeOnHelpers);
    ~XmlWriter();
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;

    void writeElement(const Element& element, std::string& indent);
    // Writes element's children from begin to end; whether this thread
    // still writes the end tag afterwards (writesEnd, unless it was handed
    // over with some of them).
    bool writeChildren(const Element& element, std::size_t begin, std::size_t end, bool writesEnd,
                       std::string& indent);
    void writeEndTag(const Element& element, std::string_view indent);
    void run(Job& job);
    void handOver(const std::string& indent);
    void takeOnHelpers();
    // Takes handed-over work until there is none left to be had.
    void work();

    Fragment* _fragment;
    Crew* _crew;
    bool _mayTakeOnHelpers;
    std::unique_ptr<Crew> _ownCrew;
    std::vector<Frame> _frames;
};

} // namespace detail

} // namespace sdf
