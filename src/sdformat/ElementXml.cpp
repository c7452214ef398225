// The XML text form of an element and its subtree.
//
// A station can hold hundreds of thousands of elements, so the text is
// appended to strings directly, with no stream and no temporary string per
// value for the common value types (see ValueText).

#include <sdformat/Element.h>

#include <sdformat/ChunkPool.h>
#include <sdformat/ValueText.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

namespace sdf {

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
    appendXml(pieces, indent);
    return pieces.take();
}

void Element::toXMLString(std::string_view prefix, std::ostringstream& stream) const
{
    const std::string text = toXMLString(prefix);
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace sdf
