#include "cell/LoadOptions.h"

#include <fmt/format.h>

namespace cell {

std::string LoadOptions::key() const
{
    return fmt::format("{}|{}|{}|{}|{}|{}|{}", fileType, meshUnit, chordTolerance, angularTolerance, maxBytes,
                       readerSeconds, readerMemoryBytes);
}

} // namespace cell
