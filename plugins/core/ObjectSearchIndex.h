#pragma once

// What Find searches: every object's shown name and kind, case-folded, in
// one string (UTF-8, each piece ended by a NUL, which neither can hold), so
// that a search is one pass over one string rather than a name built per
// object per keystroke. Built where the station is read, off the window's
// thread, for a large station takes a while.

#include "StationObjects.h"

#include <QtCore/QString>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zrv::core {

class ObjectSearchIndex
{
public:
    // The objects are only read.
    static std::unique_ptr<ObjectSearchIndex> Build(const StationObjects& objects);

    std::size_t size() const { return start.empty() ? 0 : start.size() - 1; }
    // The entries (in document order) whose name or kind contains the text,
    // ignoring case; among candidates only, when given (sorted).
    std::vector<std::size_t> find(const QString& text, const std::vector<std::size_t>* candidates) const;

private:
    std::string text;
    std::vector<std::size_t> start; // per entry, where its name starts; one more at the end
};

} // namespace zrv::core
