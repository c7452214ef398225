#pragma once

// A process locale with a decimal comma and digit grouping, as on many
// desktops, for tests that hold text forms to the classic locale whatever
// the process has set.

#include <locale>
#include <string>

namespace sdf::testing {

struct CommaDecimal : std::numpunct<char>
{
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

inline std::locale CommaLocale()
{
    return std::locale(std::locale::classic(), new CommaDecimal);
}

// Installs a global locale for its lifetime and puts the previous one back.
class GlobalLocale
{
public:
    explicit GlobalLocale(const std::locale& locale) : _previous(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(_previous); }
    GlobalLocale(const GlobalLocale&) = delete;
    GlobalLocale& operator=(const GlobalLocale&) = delete;

private:
    std::locale _previous;
};

} // namespace sdf::testing
