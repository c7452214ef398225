#pragma once

// A writer-independent picture of a document tree for comparisons: one line
// per element with its depth, label, attribute texts and value text, in
// document order. Two trees with equal listings have the same labels, child
// order, attribute texts and value texts.

#include <cstddef>
#include <string>
#include <vector>

namespace sdf {
class Element;
class ElementTemplate;
} // namespace sdf

namespace sdf::testing {

// The line of one element, made from templ, at that depth (the root's is 0).
std::string ListLine(const Element& element, const ElementTemplate& templ, std::size_t depth);

// The listing of a whole document; root is its `sdf` element.
std::vector<std::string> ListTree(const Element& root);

// Index of the first line where the listings differ (the shorter length
// when one is a prefix of the other), or npos when they are equal.
std::size_t FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b);

} // namespace sdf::testing
