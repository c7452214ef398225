#include "FreshIds.h"

#include "Command.h"

#include <fmt/format.h>

#include <stdexcept>

namespace sdftool {

FreshIds::FreshIds(const sdf::Element& root, const std::string& file) : _file(file), _ids(root) {}

unsigned int FreshIds::take()
{
    try {
        return _ids.take();
    } catch (const std::runtime_error& e) {
        throw Failure(fmt::format("{}: {}", _file, e.what()));
    }
}

void FreshIds::give(sdf::Element& element, const sdf::ElementTemplate& templ)
{
    try {
        _ids.give(element, templ);
    } catch (const std::runtime_error& e) {
        throw Failure(fmt::format("{}: {}", _file, e.what()));
    }
}

void FreshIds::record(sdf::Element& root) const
{
    _ids.record(root);
}

} // namespace sdftool
