// Typed text read strictly, as editors and sdftool set read what people
// type. Whatever is accepted, the text the document then holds must be
// accepted again and give the same text; whatever is refused must say
// why.
// The first byte picks the type; the rest is the text.

#include <sdformat/StrictValue.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 17> kTypes = {
    "bool",     "int",      "unsigned int", "uint64_t",  "double",    "string",   "vector3",
    "pos",      "orient",   "pose",         "tooldata",  "wobjdata",  "speeddata", "zonedata",
    "robtarget", "jointtarget", "no such type",
};

[[noreturn]] void Finding(std::string_view what, std::string_view type, std::string_view text)
{
    std::fprintf(stderr, "%.*s for '%.*s' text '%.*s'\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(type.size()), type.data(), static_cast<int>(text.size()), text.data());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view type = kTypes[data[0] % kTypes.size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto parsed = sdf::StrictValue::Parse(type, text);
    if (!parsed.ok()) {
        if (parsed.value().has_value() || !parsed.storedText().empty())
            Finding("a refused text has a value", type, text);
        return 0;
    }
    if (!parsed.error().empty() || !parsed.value().has_value())
        Finding("an accepted text has no value", type, text);
    const auto again = sdf::StrictValue::Parse(type, parsed.storedText());
    if (!again.ok())
        Finding("the stored text is refused", type, parsed.storedText());
    if (again.storedText() != parsed.storedText())
        Finding("the stored text is stored otherwise", type, parsed.storedText());
    return 0;
}
