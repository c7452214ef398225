#pragma once

// Reading and writing documents for the commands. Reading tells apart
// what a person needs to know before the document is parsed (no such
// file, a directory, no permission, an empty file), reads standard input
// ("-"), pipes and other special files as a whole stream, and adds the
// place in the file to the library's message. Failures are DocumentError.

#include <sdformat/DocumentCheck.h>
#include <sdformat/SDF.h>

#include <cstddef>
#include <memory>
#include <string>

namespace sdftool {

// The most read from standard input, a pipe or a device: several times the
// largest stations in use, far below what would exhaust the machine.
inline constexpr std::size_t kMaxStreamBytes = std::size_t{1} << 30;

std::shared_ptr<sdf::SDF> ReadDocument(const std::string& path);

// ReadDocument, and the document's text as well, for the checks that look
// at values as written.
std::shared_ptr<sdf::SDF> ReadDocument(const std::string& path, std::string& text);

// Reads the document as ReadDocument does, with the same failures, without
// keeping it: visit sees each element once (see sdf::DocumentCheck).
void CheckDocument(const std::string& path, const sdf::CheckVisitor& visit);

// The whole text of a file, standard input ("-") or a stream, with the
// checks ReadDocument makes before parsing (empty text is allowed here).
std::string ReadDocumentText(const std::string& path);

// Writes through the library's safe write: the file is replaced only once
// the new text is completely on disk. "-" writes to standard output, so
// that a command reading standard input works as a filter.
void WriteDocument(const sdf::SDF& document, const std::string& path);

} // namespace sdftool
