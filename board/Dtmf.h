#pragma once
// The sixteen DTMF digits by their frequency pair (low group Hz, high group
// Hz): rows 697, 770, 852, 941 by columns 1209, 1336, 1477, 1633.
#include <map>
#include <utility>

namespace Dtmf {

using FrequencyPair = std::pair<unsigned, unsigned>;

extern const std::map<FrequencyPair, char> tonesValidator;

} // namespace Dtmf
