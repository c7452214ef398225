#include "ObjectSearchIndex.h"

#include "ObjectTreeModel.h"

#include <common/ZrvAssert.h>

#include <limits>
#include <string_view>

namespace zrv::core {

std::unique_ptr<ObjectSearchIndex> ObjectSearchIndex::Build(const StationObjects& objects)
{
    ZRV_ASSERT(objects.size() < std::numeric_limits<std::uint32_t>::max(), "too many objects for the search index", "plugins/core/ObjectSearchIndex");
    auto index = std::make_unique<ObjectSearchIndex>();
    index->start.reserve(objects.size() + 1);
    for (const StationObjects::Entry& entry : objects.entries()) {
        index->start.push_back(index->text.size());
        index->text += ObjectTreeModel::DisplayName(*entry.object).toCaseFolded().toStdString();
        index->text += '\0';
        index->text += QString::fromStdString(StationObjects::KindLabel(*entry.object)).toCaseFolded().toStdString();
        index->text += '\0';
    }
    index->start.push_back(index->text.size());
    return index;
}

void ObjectSearchIndex::find(const QString& wanted, const std::vector<std::uint32_t>* candidates,
                             std::vector<std::uint32_t>& found) const
{
    found.clear();
    const std::string needle = wanted.toCaseFolded().toStdString();
    // No NUL in the needle: no hit spans two pieces.
    if (needle.empty() || needle.find('\0') != std::string::npos)
        return;
    const std::string_view all(text);
    if (candidates) {
        for (std::uint32_t entry : *candidates) {
            if (all.substr(start[entry], start[entry + 1] - start[entry]).find(needle) != std::string_view::npos)
                found.push_back(entry);
        }
        return;
    }
    // Hits come in order: the entry of each is found by walking on from the
    // last one, and the search goes on after that entry.
    std::uint32_t entry = 0;
    for (std::size_t at = all.find(needle); at != std::string_view::npos; at = all.find(needle, start[entry])) {
        while (start[entry + 1] <= at)
            ++entry;
        found.push_back(entry);
        ++entry;
    }
}

} // namespace zrv::core
