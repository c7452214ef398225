#pragma once

// What Find searches: every object's shown name and kind, case-folded, in
// one string (UTF-8, each piece ended by a NUL, which neither can hold), so
// that a search is one pass over one string rather than a name built per
// object per keystroke. Built where the station is read, off the window's
// thread, for a large station takes a while.

#include "StationObjects.h"

#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
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
    // Into found (emptied first; kept by the caller from one search to the
    // next, so that a large answer takes no fresh memory each time): the
    // entries (in document order) whose name or kind contains the text,
    // ignoring case; among candidates only, when given (sorted).
    void find(const QString& text, const std::vector<std::uint32_t>* candidates,
              std::vector<std::uint32_t>& found) const;

private:
    std::string text;
    std::vector<std::size_t> start; // per entry, where its name starts; one more at the end
};

} // namespace zrv::core
