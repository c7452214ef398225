// The XML text form of an element and its subtree.
//
// A station can hold hundreds of thousands of elements, so the text is
// appended to strings directly, with no stream and no temporary string per
// value for the common value types (see ValueText).

#include <sdformat/Element.h>

#include <sdformat/Attr.h>
#include <sdformat/ChunkPool.h>
#include <sdformat/MessageText.h>
#include <sdformat/ValueText.h>

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace sdf {

namespace {

// The text being written is moved out to pooled chunks whenever it passes
// this, so that it never grows far.
constexpr std::size_t kMoveOutAt = detail::ChunkPool::kChunkSize / 2;

// The labels from the top of the tree down to the element, "/sdf/station/name".
std::string PathOf(const Element& element)
{
    std::vector<const std::string*> labels{&element.label()};
    for (auto up = element.parent(); up; up = up->parent())
        labels.push_back(&up->label());
    std::string path;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        path.push_back('/');
        path.append(**label);
    }
    return path;
}

[[noreturn]] void ThrowUnwritable(const Element& element, const std::string& what, char character)
{
    throw std::runtime_error(fmt::format("cannot write '{}': {} holds U+{:04X}, which XML cannot carry",
                                         detail::ForMessage(PathOf(element)), what,
                                         static_cast<unsigned char>(character)));
}

// After the writer met a text that XML cannot carry: finds it again, in
// writing order, and fails naming its element. Only this rare path pays
// for knowing where the writer was.
[[noreturn]] void ThrowFirstUnwritable(const Element& top)
{
    std::vector<const Element*> pending{&top};
    while (!pending.empty()) {
        const Element& element = *pending.back();
        pending.pop_back();
        for (const auto& attr : element.attributes()) {
            const std::string text = attr->asString();
            if (const auto at = FindUnwritable(text); at != std::string::npos)
                ThrowUnwritable(element, fmt::format("its attribute '{}'", detail::ForMessage(attr->label())),
                                text[at]);
        }
        if (element.elements().empty() && element.hasValue()) {
            const std::string text = element.getStringFromValue();
            if (const auto at = FindUnwritable(text); at != std::string::npos)
                ThrowUnwritable(element, "its value", text[at]);
        }
        for (auto child = element.elements().rbegin(); child != element.elements().rend(); ++child)
            pending.push_back(child->get());
    }
    throw std::logic_error("a text XML cannot carry was met but not found again");
}

} // namespace

// The text of a subtree of any size. One string doubling its way to the
// size of a large station would copy the text again at every step, and
// the ever larger blocks it asks for are fresh memory that the system may
// have to map anew page by page each time. Here the text goes out in
// chunks of the pool as it is written, and is put together once, in a
// string of its exact length.
class Element::TextPieces
{
public:
    TextPieces() = default;
    TextPieces(const TextPieces&) = delete;
    TextPieces& operator=(const TextPieces&) = delete;
    ~TextPieces()
    {
        for (const Piece& piece : _pieces)
            detail::ChunkPool::Give(piece.data);
    }

    // Where the next element's text goes.
    std::string& out()
    {
        if (_current.size() >= kMoveOutAt)
            moveOut();
        return _current;
    }

    std::string take()
    {
        if (_pieces.empty())
            return std::move(_current);
        std::string text;
        text.reserve(_total + _current.size());
        for (const Piece& piece : _pieces)
            text.append(piece.data, piece.size);
        text.append(_current);
        return text;
    }

private:
    struct Piece
    {
        char* data;
        std::size_t size;
    };

    void moveOut()
    {
        std::string_view rest = _current;
        while (!rest.empty()) {
            if (_pieces.empty() || _pieces.back().size == detail::ChunkPool::kChunkSize) {
                // Listed before its chunk is taken, so that no failure
                // leaves a chunk unlisted (an empty piece gives nothing back).
                _pieces.push_back({nullptr, 0});
                _pieces.back().data = static_cast<char*>(detail::ChunkPool::Take());
            }
            Piece& last = _pieces.back();
            const std::size_t n = std::min(rest.size(), detail::ChunkPool::kChunkSize - last.size);
            std::memcpy(last.data + last.size, rest.data(), n);
            last.size += n;
            _total += n;
            rest.remove_prefix(n);
        }
        _current.clear();
    }

    std::vector<Piece> _pieces;
    std::string _current;
    std::size_t _total = 0;
};

void Element::appendStartTag(std::string& out, const std::string& indent) const
{
    out.append(indent);
    out.push_back('<');
    out.append(label());
    for (const auto& attr : _attributes) {
        out.push_back(' ');
        out.append(attr->label());
        out.append("='");
        AppendValueText(out, attr->_value, TextPlace::Attribute);
        out.push_back('\'');
    }
}

void Element::appendXml(TextPieces& pieces, std::string& indent) const
{
    std::string& out = pieces.out();
    appendStartTag(out, indent);
    if (!_children.empty()) {
        out.append(">\n");
        const std::size_t depth = indent.size();
        indent.append("    ");
        for (const auto& child : _children)
            child->appendXml(pieces, indent);
        indent.resize(depth);
        std::string& end = pieces.out();
        end.append(indent);
        end.append("</");
        end.append(label());
        end.append(">\n");
    } else if (_value) {
        // The element's own value is written only when it has no children.
        out.push_back('>');
        AppendValueText(out, _value->_value, TextPlace::Content);
        out.append("</");
        out.append(label());
        out.append(">\n");
    } else {
        out.append("/>\n");
    }
}

std::string Element::toXMLString(std::string_view prefix) const
{
    TextPieces pieces;
    std::string indent(prefix);
    try {
        appendXml(pieces, indent);
    } catch (const UnwritableCharacter&) {
        ThrowFirstUnwritable(*this);
    }
    return pieces.take();
}

void Element::toXMLString(std::string_view prefix, std::ostringstream& stream) const
{
    const std::string text = toXMLString(prefix);
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace sdf
