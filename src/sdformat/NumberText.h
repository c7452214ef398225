#pragma once

// Numbers to and from text the way classic-locale streams do it, without
// a stream: the value readers and writers run once per attribute and
// element of a document, so they must be cheap. Internal to the library.

#include <cstdint>
#include <string>
#include <string_view>

namespace sdf::detail {

// What one extraction made of the text.
enum class Extraction
{
    Read,    // a number was read
    Failed,  // no number, or one out of range; the value was set anyway
    Missing, // only white space was left; the value is untouched
};

// Each overload behaves as `stream >> value` of libstdc++ on a stream in the
// classic locale holding `text`: white space is skipped, the longest prefix
// of the number's grammar is taken, and `text` is advanced past it.
// On Failed the value is 0, or the nearest limit for a number out of range;
// unsigned types take a leading minus and wrap around, as streams do.
// One departure, for doubles only: the words "inf", "-inf", "nan" and
// "-nan" standing alone (followed by white space or the end) read as the
// values AppendGeneral writes them for, so that every double survives a
// round trip through text.
Extraction ExtractNumber(std::string_view& text, double& value);
Extraction ExtractNumber(std::string_view& text, int& value);
Extraction ExtractNumber(std::string_view& text, unsigned int& value);
Extraction ExtractNumber(std::string_view& text, unsigned long& value);
Extraction ExtractNumber(std::string_view& text, unsigned long long& value);

// Reads count doubles in order, as a chain of `stream >> value` does: the
// first component that fails is set by its extraction and every later one
// keeps its value.
void ExtractComponents(std::string_view text, double* const* components, int count);

// Appends the value as a stream with that precision and default flags
// writes it (printf's "%.*g"): 16 digits give "0.1", "2", "1e+16", "1e-05".
void AppendGeneral(std::string& out, double value, int significantDigits);

} // namespace sdf::detail
