#pragma once

// Helpers of the document reading and writing tests.

#include <sdformat/Element.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <typeinfo>
#include <vector>

namespace sdf::test {

// Messages and exception kinds are part of the interface: the exception
// must be of exactly that type (a std::out_of_range is no answer where a
// plain std::logic_error is due) and carry exactly that text.
template <class Exception, class F>
void ExpectThrowExactly(F&& f, const std::string& message)
{
    try {
        f();
        ADD_FAILURE() << "nothing thrown, expected: " << message;
    } catch (const std::exception& e) {
        EXPECT_TRUE(typeid(e) == typeid(Exception))
            << "thrown " << typeid(e).name() << ", expected " << typeid(Exception).name() << " (" << e.what() << ")";
        EXPECT_EQ(e.what(), message);
    }
}

// A fresh directory, removed with everything in it at the end of the test.
class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sdfio-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary directory");
        _path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return _path; }
    std::filesystem::path operator/(const std::string& name) const { return _path / name; }

    // The names in the directory, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(_path))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::filesystem::path _path;
};

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The lines of a text, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> Labels(const Element& element)
{
    std::vector<std::string> labels;
    for (const auto& child : element.elements())
        labels.push_back(child->label());
    return labels;
}

} // namespace sdf::test
