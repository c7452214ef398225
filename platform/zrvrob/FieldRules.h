#pragma once

// How one word of a record's text becomes a field value. Internal to zrvrob.

#include <string_view>

namespace zrv::rob::detail {

// Each takes the whole word or nothing: on false the value is unchanged.
// Numbers as std::from_chars reads them (so also "inf" and "nan"), with an
// optional leading plus sign that hand-written texts may carry.
bool ParseField(std::string_view token, double& value);
bool ParseField(std::string_view token, int& value);
// "true"/"false", also "1"/"0".
bool ParseField(std::string_view token, bool& value);

} // namespace zrv::rob::detail
