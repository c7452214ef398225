// The robot records are read two ways: straight from text (documents) and
// by their stream operators (clients). Any text on which the two disagree
// about a field or about success is a finding. The first byte picks the
// record; the rest is its text.

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <string>

namespace {

template <class T>
std::string Write(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

template <class T>
void Compare(const std::string& text)
{
    T byStream;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> byStream;

    T byText;
    const bool ok = zrv::rob::ReadFromText(text, byText);

    // Written texts tell every field apart, NaN included.
    const std::string streamFields = Write(byStream);
    const std::string textFields = Write(byText);
    if (ok == in.fail() || streamFields != textFields) {
        std::fprintf(stderr, "readers disagree: stream %s \"%s\", text %s \"%s\"\n",
                     in.fail() ? "failed" : "ok", streamFields.c_str(), ok ? "ok" : "failed", textFields.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 6) {
    case 0: Compare<zrv::rob::ToolData>(text); break;
    case 1: Compare<zrv::rob::WObjData>(text); break;
    case 2: Compare<zrv::rob::SpeedData>(text); break;
    case 3: Compare<zrv::rob::ZoneData>(text); break;
    case 4: Compare<zrv::rob::RobTarget>(text); break;
    default: Compare<zrv::rob::JointTarget>(text); break;
    }
    return 0;
}
