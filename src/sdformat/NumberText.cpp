#include "sdformat/NumberText.h"

#include <fmt/format.h>

#include <charconv>
#include <iterator>
#include <limits>
#include <system_error>

namespace sdf::detail {
namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Position of the first character that is not white space.
std::size_t SkipSpace(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return i;
}

// Length of the floating-point prefix that libstdc++'s num_get collects:
// sign, digits, one decimal point, then an exponent marker (only after a
// digit) with its own sign and digits. Stops at the first character that
// does not fit, even when what was collected is not a number ("1e+").
std::size_t FloatTokenLength(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool mantissa = false;
    bool point = false;
    bool exponent = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            mantissa = true;
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E') && !exponent && mantissa) {
            exponent = true;
            if (i + 1 < n && (text[i + 1] == '+' || text[i + 1] == '-'))
                ++i;
        } else {
            break;
        }
    }
    return i;
}

// For a token that std::from_chars found out of range: whether its
// magnitude is too large (true) or too small (false). The two are hundreds
// of decimal orders apart, so the position of the first significant digit
// plus the exponent tells them apart.
bool Overflows(std::string_view token)
{
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-'))
        ++i;
    long long order = 0;
    bool significant = false;
    bool point = false;
    for (; i < token.size() && token[i] != 'e' && token[i] != 'E'; ++i) {
        const char c = token[i];
        if (c == '.') {
            point = true;
        } else if (!significant) {
            if (c != '0') {
                significant = true;
                order = point ? order - 1 : 0;
            } else if (point) {
                --order;
            }
        } else if (!point) {
            ++order;
        }
    }
    long long exponent = 0;
    if (i < token.size()) {
        ++i;
        bool negative = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            negative = token[i++] == '-';
        for (; i < token.size() && exponent < 100000; ++i)
            exponent = exponent * 10 + (token[i] - '0');
        if (negative)
            exponent = -exponent;
    }
    return order + exponent >= 0;
}

// The magnitude of an integer: its decimal digits as an unsigned 64-bit
// number, and whether they exceed that.
struct Magnitude
{
    bool negative = false;
    bool digits = false;
    bool overflow = false;
    std::uint64_t value = 0;
};

Magnitude ExtractMagnitude(std::string_view& text)
{
    Magnitude m;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        m.negative = text[i++] == '-';
    const std::size_t first = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    m.digits = i > first;
    if (m.digits) {
        const auto result = std::from_chars(text.data() + first, text.data() + i, m.value);
        m.overflow = result.ec == std::errc::result_out_of_range;
    }
    text.remove_prefix(i);
    return m;
}

template <class T>
Extraction ExtractUnsigned(std::string_view& text, T& value)
{
    text.remove_prefix(SkipSpace(text));
    if (text.empty())
        return Extraction::Missing;
    const Magnitude m = ExtractMagnitude(text);
    if (!m.digits) {
        value = 0;
        return Extraction::Failed;
    }
    constexpr auto max = std::numeric_limits<T>::max();
    if (m.overflow || m.value > max) {
        // Streams clamp the magnitude and do not negate the limit.
        value = max;
        return Extraction::Failed;
    }
    const T magnitude = static_cast<T>(m.value);
    value = m.negative ? static_cast<T>(T{0} - magnitude) : magnitude;
    return Extraction::Read;
}

// The writer spells infinities and NaNs "inf", "-inf", "nan" and "-nan",
// which streams cannot read. Taken only as whole words, so that every
// other text ("info", "nan3", "Inf", "infinity") reads as a stream reads it.
bool ExtractNonFinite(std::string_view& text, double& value)
{
    std::string_view word = text;
    const bool negative = !word.empty() && word.front() == '-';
    if (negative)
        word.remove_prefix(1);
    if (word.size() < 3 || (word.size() > 3 && !IsSpace(word[3])))
        return false;
    const std::string_view name = word.substr(0, 3);
    double magnitude = 0;
    if (name == "inf")
        magnitude = std::numeric_limits<double>::infinity();
    else if (name == "nan")
        magnitude = std::numeric_limits<double>::quiet_NaN();
    else
        return false;
    value = negative ? -magnitude : magnitude;
    text.remove_prefix((negative ? 1 : 0) + 3);
    return true;
}

} // namespace

Extraction ExtractNumber(std::string_view& text, double& value)
{
    text.remove_prefix(SkipSpace(text));
    if (text.empty())
        return Extraction::Missing;
    const std::string_view start = text;
    const std::size_t length = FloatTokenLength(text);
    std::string_view token = text.substr(0, length);
    text.remove_prefix(length);

    // The stream converts what it collected with strtod and fails unless all
    // of it converts ("1e+", a sign alone, a bare point); from_chars follows
    // the same grammar except for a leading plus sign. Out of range, strtod
    // gives infinity, which the stream turns into the largest double and a
    // failure, or zero, which the stream keeps.
    std::string_view digits = token;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    double parsed = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (result.ec == std::errc::result_out_of_range && result.ptr == digits.data() + digits.size()) {
        const bool negative = token.front() == '-';
        if (Overflows(token)) {
            constexpr double max = std::numeric_limits<double>::max();
            value = negative ? -max : max;
            return Extraction::Failed;
        }
        value = negative ? -0.0 : 0.0;
        return Extraction::Read;
    }
    if (result.ec != std::errc{} || result.ptr != digits.data() + digits.size()) {
        // Only a token that stopped at its first letter may be a non-finite
        // value; anything else failing here is no number at all.
        if (length <= 1) {
            std::string_view rest = start;
            if (ExtractNonFinite(rest, value)) {
                text = rest;
                return Extraction::Read;
            }
        }
        value = 0;
        return Extraction::Failed;
    }
    value = parsed;
    return Extraction::Read;
}

Extraction ExtractNumber(std::string_view& text, int& value)
{
    text.remove_prefix(SkipSpace(text));
    if (text.empty())
        return Extraction::Missing;
    const Magnitude m = ExtractMagnitude(text);
    if (!m.digits) {
        value = 0;
        return Extraction::Failed;
    }
    // Streams read a long and clamp it to the range of int.
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    if (m.overflow || m.value > max + (m.negative ? 1 : 0)) {
        value = m.negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
        return Extraction::Failed;
    }
    value = m.negative ? static_cast<int>(-static_cast<long long>(m.value)) : static_cast<int>(m.value);
    return Extraction::Read;
}

Extraction ExtractNumber(std::string_view& text, unsigned int& value)
{
    return ExtractUnsigned(text, value);
}

Extraction ExtractNumber(std::string_view& text, unsigned long& value)
{
    return ExtractUnsigned(text, value);
}

Extraction ExtractNumber(std::string_view& text, unsigned long long& value)
{
    return ExtractUnsigned(text, value);
}

void ExtractComponents(std::string_view text, double* const* components, int count)
{
    for (int i = 0; i < count; ++i) {
        if (ExtractNumber(text, *components[i]) != Extraction::Read)
            return;
    }
}

void AppendGeneral(std::string& out, double value, int significantDigits)
{
    // to_chars in general form with a precision is printf's "%.*g" without
    // the locale; 32 characters hold any double at up to 17 digits.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                      significantDigits);
    if (result.ec == std::errc{})
        out.append(buffer, result.ptr);
    else
        fmt::format_to(std::back_inserter(out), "{:.{}g}", value, significantDigits);
}

} // namespace sdf::detail
