#pragma once

// Everything a station needs beyond what the reader checks, in one place,
// for the command-line tool, an editor's problems panel and its saving:
//
//  - ids: every object has its own, references by id name objects, parents
//    and child lists agree and lead up to the top (sdf::IdCheck);
//  - value texts as written: text the reader takes only in part ("0,5236"
//    reads as 0, "900mm" as 900), with its line and column and what it reads
//    as; this needs the document's text;
//  - values the catalogue constrains: a joint's value within its limits
//    (values in radians, limits in degrees; millimetres for both on a
//    prismatic joint), lower not above upper, an axis that is not zero, the
//    words a description lists (a joint is "revolute" or "prismatic"), unit
//    quaternions in poses and orientations;
//  - references: ids that must name data of a kind (a path's speed, zone,
//    work object and tool data), names that instructions' arguments give to
//    data items;
//  - anchors: an object anchored to itself or round a loop of anchors, or
//    to an object that has no place in the cell.
//
//   const auto findings = sdf::StationCheck::Check(*document->Root(), text);
//   if (sdf::StationCheck::HasErrors(findings)) ...
//
// Reading stays as it is: a document the reader accepts is checked here,
// and these findings never stop it from being read.

#include <sdformat/Element.h>
#include <sdformat/Export.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class SDF_EXPORT StationCheck
{
public:
    enum class Severity
    {
        Error,    // the station is wrong: saving or running it misplaces something
        Warning,  // worth a look: it may be meant, or belong to data the station does not hold
    };

    struct Finding
    {
        Severity severity = Severity::Error;
        // A stable name for machine-readable reports: the id check's kinds
        // ("duplicate-id", ...), "value-text", "out-of-limits",
        // "limits-reversed", "zero-axis", "unknown-word", "not-unit",
        // "wrong-kind", "unknown-name", "anchor-loop", "anchor-no-place".
        std::string kind;
        std::string message;
        // The element concerned, e.g. "/sdf/station/part[2]/pose", as
        // sdf::IdCheck and the tool's paths write it; more paths follow
        // where other elements take part.
        std::vector<std::string> paths;
        // The ids concerned, as sdf::IdCheck gives them; empty for others.
        std::vector<unsigned int> ids;
        // The id of the object the element belongs to (0: none).
        unsigned int objectId = 0;
        // Where the element (or the value text) is in the document's text,
        // from 1, column in bytes; 0 when no text was given or not found.
        std::size_t line = 0;
        std::size_t column = 0;
    };

    // The findings of the document whose root is root, in document order of
    // their first path; value texts are not checked (the text is gone).
    static std::vector<Finding> Check(const Element& root);
    // The same, and the value texts of text, the text root was read from,
    // with lines and columns for every finding.
    static std::vector<Finding> Check(const Element& root, std::string_view text);

    static bool HasErrors(const std::vector<Finding>& findings);
    static std::string_view SeverityName(Severity severity);   // "error", "warning"
};

} // namespace sdf
