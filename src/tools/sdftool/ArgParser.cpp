#include "ArgParser.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

namespace sdftool {

namespace {

constexpr OptionSpec kHelp{"help", 'h', false};

const OptionSpec* findLong(std::span<const OptionSpec> specs, std::string_view name)
{
    if (name == kHelp.name)
        return &kHelp;
    auto it = std::ranges::find(specs, name, &OptionSpec::name);
    return it == specs.end() ? nullptr : &*it;
}

const OptionSpec* findAlias(std::span<const OptionSpec> specs, char alias)
{
    if (alias == kHelp.alias)
        return &kHelp;
    auto it = std::ranges::find(specs, alias, &OptionSpec::alias);
    return it == specs.end() ? nullptr : &*it;
}

} // namespace

std::optional<std::string> ParsedArgs::value(std::string_view name) const
{
    auto it = _options.find(name);
    if (it == _options.end())
        return std::nullopt;
    return it->second;
}

void ParsedArgs::expectPositional(std::size_t min, std::size_t max, std::string_view what) const
{
    if (_positional.size() < min || _positional.size() > max)
        throw UsageError(fmt::format("expected {}", what));
}

namespace {

bool LooksNumeric(std::string_view arg)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), value);
    return ec == std::errc() && end == arg.data() + arg.size();
}

} // namespace

ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> specs, std::size_t valuePosition)
{
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed._positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        const OptionSpec* spec = nullptr;
        std::optional<std::string> inlineValue;
        if (arg[1] == '-') {
            std::string_view name = std::string_view(arg).substr(2);
            if (auto eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = std::string(name.substr(eq + 1));
                name = name.substr(0, eq);
            }
            spec = findLong(specs, name);
        } else if (arg.size() == 2) {
            spec = findAlias(specs, arg[1]);
        }
        // A negative number is never an option: joint values and poses
        // are given as plain positionals.
        if (!spec && (parsed._positional.size() == valuePosition || LooksNumeric(arg))) {
            parsed._positional.push_back(arg);
            continue;
        }
        if (!spec)
            throw UsageError(fmt::format("unknown option '{}'", arg));

        std::string value;
        if (spec->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError(fmt::format("option '{}' needs a value", arg));
            }
        } else if (inlineValue) {
            throw UsageError(fmt::format("option '--{}' takes no value", spec->name));
        }
        parsed._options.insert_or_assign(std::string(spec->name), std::move(value));
    }
    return parsed;
}

} // namespace sdftool
