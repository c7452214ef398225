#pragma once

// The id rules that the library leaves to its users, checked over a whole
// document: every object has an id of its own (not 0, used by no other
// object), every value that holds an object id names an object of the same
// document (0 names none and is always fine), an object's `parent` and its
// parent's `child` list agree, no object is listed by two containers, and
// no chain of parents comes back to where it started.
//
// Ids are compared as they were read: texts that read to the same number
// ("7" and "07", or "abc" and "0") are the same id.

#include <sdformat/Element.h>
#include <sdformat/Export.h>

#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class SDF_EXPORT IdCheck
{
public:
    enum class Kind
    {
        ZeroId,             // an object whose id is 0 (missing, "0" or text that reads as 0)
        DuplicateId,        // an object whose id an earlier object already has
        DanglingReference,  // a value naming an id that no object has
        NotAnId,            // an id-valued element that the document gave another type
        ParentMismatch,     // `parent` and the parent's `child` list disagree
        ListedTwice,        // an object in two child lists (or twice in one)
        ParentLoop,         // parents that lead back to the object they started from
    };

    struct Problem
    {
        Kind kind;
        // What is wrong, naming the other elements involved by path, e.g.
        // "object id 2 is also used by /sdf/station/part[1]".
        std::string message;
        // The ids concerned: the object's own, then the other ids named.
        std::vector<unsigned int> ids;
        // Every element involved, the one the problem is reported at first
        // (e.g. "/sdf/station/part[2]/parent", then the parent object).
        std::vector<std::string> paths;
    };

    // The problems of the document whose root is root (the element a read
    // or spawned document hands out as Root()), ordered by the document
    // position of their first path; empty when the ids are sound.
    static std::vector<Problem> Check(const Element& root);

    // A stable name for each kind, for machine-readable reports:
    // "zero-id", "duplicate-id", "dangling-reference", "not-an-id",
    // "parent-mismatch", "listed-twice", "parent-loop".
    static std::string_view KindName(Kind kind);
};

} // namespace sdf
