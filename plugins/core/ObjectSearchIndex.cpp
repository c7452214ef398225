#include "ObjectSearchIndex.h"

#include "ObjectTreeModel.h"

#include <string_view>

namespace zrv::core {

std::unique_ptr<ObjectSearchIndex> ObjectSearchIndex::Build(const StationObjects& objects)
{
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

std::vector<std::size_t> ObjectSearchIndex::find(const QString& wanted, const std::vector<std::size_t>* candidates) const
{
    std::vector<std::size_t> found;
    const std::string needle = wanted.toCaseFolded().toStdString();
    // No NUL in the needle: no hit spans two pieces.
    if (needle.empty() || needle.find('\0') != std::string::npos)
        return found;
    const std::string_view all(text);
    if (candidates) {
        for (std::size_t entry : *candidates) {
            if (all.substr(start[entry], start[entry + 1] - start[entry]).find(needle) != std::string_view::npos)
                found.push_back(entry);
        }
        return found;
    }
    // Hits come in order: the entry of each is found by walking on from the
    // last one, and the search goes on after that entry.
    std::size_t entry = 0;
    for (std::size_t at = all.find(needle); at != std::string_view::npos; at = all.find(needle, start[entry])) {
        while (start[entry + 1] <= at)
            ++entry;
        found.push_back(entry);
        ++entry;
    }
    return found;
}

} // namespace zrv::core
