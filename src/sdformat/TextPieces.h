#pragma once

// Text written straight into fixed blocks, for the document writer.
// Internal to the library.

#include <sdformat/ChunkPool.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace sdf::detail {

// The text of a subtree of any size, written straight into fixed blocks:
// the first on the stack (most texts written are small), then chunks of
// the pool. The characters are copied once more, into a string of the
// exact length, when the text is taken. A string doubling its way to the
// size of a large station would copy the text again at every step and ask
// for ever larger blocks of fresh memory; a string appended to piece by
// piece pays a call and a capacity check for every tag, name and quote.
class TextPieces
{
public:
    TextPieces() = default;
    TextPieces(const TextPieces&) = delete;
    TextPieces& operator=(const TextPieces&) = delete;
    ~TextPieces()
    {
        for (const Piece& piece : _pieces)
            if (piece.data != _first)
                ChunkPool::Give(piece.data);
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

    // The characters put so far.
    std::size_t size()
    {
        closeBlock();
        std::size_t total = 0;
        for (const Piece& piece : _pieces)
            total += piece.size;
        return total;
    }

    // Cheap, and low by less than one block: for deciding when a text
    // has grown large.
    std::size_t blocksFilled() const { return _pieces.empty() ? 0 : _pieces.size() - 1; }

    // Adds the characters put so far to text.
    void appendTo(std::string& text)
    {
        closeBlock();
        for (const Piece& piece : _pieces)
            text.append(piece.data, piece.size);
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
        _pieces.back().data = static_cast<char*>(ChunkPool::Take());
        _at = _pieces.back().data;
        _end = _at + ChunkPool::kChunkSize;
    }

    std::vector<Piece> _pieces;
    char* _at = nullptr;
    char* _end = nullptr;
    std::string _scratch;
    char _first[kFirstSize];
};

} // namespace sdf::detail
