#pragma once

// A small command-line parser: long options ("--ids", "--type=double" or
// "--type double"), one-letter aliases ("-o OUT"), positional arguments,
// "--" to end the options and a lone "-" as a positional (standard input or
// output). Where a command expects a value (its valuePosition-th positional,
// counted from 0), an argument that begins with '-' and is not one of its
// options is that value: "sdftool set f.sdf pose -1 0 0 1 0 0 0" needs no
// "--".

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sdftool {

// A wrong command line: the caller prints it with a hint at --help and
// exits with kExitUsage.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec
{
    std::string_view name;   // long name without the dashes
    char alias = 0;          // one-letter alias, 0 for none
    bool takesValue = false;
};

class ParsedArgs
{
public:
    bool has(std::string_view name) const { return _options.find(name) != _options.end(); }
    // The value of an option that takes one, if it was given.
    std::optional<std::string> value(std::string_view name) const;
    const std::vector<std::string>& positional() const { return _positional; }

    // Fails with "expected {what}" unless min <= count <= max.
    void expectPositional(std::size_t min, std::size_t max, std::string_view what) const;

private:
    friend ParsedArgs ParseArgs(std::span<const std::string>, std::span<const OptionSpec>, std::size_t);

    std::map<std::string, std::string, std::less<>> _options;
    std::vector<std::string> _positional;
};

// Every command understands --help (-h) in addition to its own options. A
// repeated option keeps its last value.
inline constexpr std::size_t kNoValuePosition = SIZE_MAX;
ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs,
                     std::size_t valuePosition = kNoValuePosition);

} // namespace sdftool
