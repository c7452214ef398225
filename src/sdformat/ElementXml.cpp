// The XML text form of an element and its subtree.
//
// A station can hold hundreds of thousands of elements, so the text is
// written into blocks directly (see TextPieces), with no stream, and the
// common value types are written without the type registry (see ValueText).

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

// The text of a subtree of any size, written straight into fixed blocks:
// the first on the stack (most texts written are small), then chunks of
// the pool. The characters are copied once more, into a string of the
// exact length, when the text is taken. A string doubling its way to the
// size of a large station would copy the text again at every step and ask
// for ever larger blocks of fresh memory; a string appended to piece by
// piece pays a call and a capacity check for every tag, name and quote.
class Element::TextPieces
{
public:
    TextPieces() = default;
    TextPieces(const TextPieces&) = delete;
    TextPieces& operator=(const TextPieces&) = delete;
    ~TextPieces()
    {
        for (const Piece& piece : _pieces)
            if (piece.data != _first)
                detail::ChunkPool::Give(piece.data);
    }

    void put(char c)
    {
        if (_at == _end)
            nextBlock();
        *_at++ = c;
    }

    void put(std::string_view text)
    {
        if (text.size() <= static_cast<std::size_t>(_end - _at)) {
            // Tags and names are short: a copy of a size known here is
            // cheaper than a call to memcpy.
            if (text.size() <= 16) {
                for (char c : text)
                    *_at++ = c;
            } else {
                std::memcpy(_at, text.data(), text.size());
                _at += text.size();
            }
            return;
        }
        putAcross(text);
    }

    // A string for one value's text, empty, to be put() when complete.
    std::string& scratch()
    {
        _scratch.clear();
        return _scratch;
    }

    std::string take()
    {
        closeBlock();
        std::size_t total = 0;
        for (const Piece& piece : _pieces)
            total += piece.size;
        std::string text;
        text.reserve(total);
        for (const Piece& piece : _pieces)
            text.append(piece.data, piece.size);
        return text;
    }

private:
    struct Piece
    {
        char* data;
        std::size_t size;
    };

    static constexpr std::size_t kFirstSize = 4096;

    void putAcross(std::string_view text)
    {
        while (!text.empty()) {
            if (_at == _end)
                nextBlock();
            const std::size_t n = std::min(text.size(), static_cast<std::size_t>(_end - _at));
            std::memcpy(_at, text.data(), n);
            _at += n;
            text.remove_prefix(n);
        }
    }

    void closeBlock()
    {
        if (!_pieces.empty())
            _pieces.back().size = static_cast<std::size_t>(_at - _pieces.back().data);
    }

    void nextBlock()
    {
        closeBlock();
        if (_pieces.empty()) {
            _pieces.push_back({_first, 0});
            _at = _first;
            _end = _first + kFirstSize;
            return;
        }
        // Listed before its chunk is taken, so that no failure leaves a
        // chunk unlisted (an empty piece gives nothing back).
        _pieces.push_back({nullptr, 0});
        _pieces.back().data = static_cast<char*>(detail::ChunkPool::Take());
        _at = _pieces.back().data;
        _end = _at + detail::ChunkPool::kChunkSize;
    }

    std::vector<Piece> _pieces;
    char* _at = nullptr;
    char* _end = nullptr;
    std::string _scratch;
    char _first[kFirstSize];
};

void Element::appendStartTag(TextPieces& out, const std::string& indent) const
{
    out.put(indent);
    out.put('<');
    out.put(label());
    for (const auto& attr : _attributes) {
        out.put(' ');
        out.put(attr->label());
        out.put("='");
        std::string& text = out.scratch();
        AppendValueText(text, attr->_value, TextPlace::Attribute);
        out.put(text);
        out.put('\'');
    }
}

void Element::appendXml(TextPieces& out, std::string& indent) const
{
    appendStartTag(out, indent);
    if (!_children.empty()) {
        out.put(">\n");
        const std::size_t depth = indent.size();
        indent.append("    ");
        for (const auto& child : _children)
            child->appendXml(out, indent);
        indent.resize(depth);
        out.put(indent);
        out.put("</");
        out.put(label());
        out.put(">\n");
    } else if (_value) {
        // The element's own value is written only when it has no children.
        out.put('>');
        std::string& text = out.scratch();
        AppendValueText(text, _value->_value, TextPlace::Content);
        out.put(text);
        out.put("</");
        out.put(label());
        out.put(">\n");
    } else {
        out.put("/>\n");
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
