#include "cell/GeometryReference.h"

#include <sdformat/Element.h>

#include <string_view>

namespace cell {

namespace {

std::string TextAt(const sdf::Element& element, std::string_view path)
{
    try {
        return element.valueOr<std::string>(path, std::string());
    } catch (const std::exception&) {
        return {};
    }
}

std::uint32_t IdOf(const sdf::Element& element)
{
    try {
        return element.getId();
    } catch (const std::exception&) {
        return 0;
    }
}

void Collect(const std::shared_ptr<sdf::Element>& element, const std::filesystem::path& base,
             std::vector<GeometryReference>& out)
{
    const std::string& label = element->label();
    if ((label == "body" || label == "pointcloud") && element->exists("geometry")) {
        GeometryReference reference;
        reference.id = IdOf(*element);
        reference.label = label;
        reference.name = TextAt(*element, "name");
        if (const auto parent = element->parent(); parent && label == "body") {
            reference.owner = IdOf(*parent);
            reference.ownerLabel = parent->label();
        }
        reference.uri = TextAt(*element, "geometry/uri");
        const auto type = element->get("geometry/file_type");
        reference.fileType = type ? TextAt(*element, "geometry/file_type") : "step";
        std::string_view path = reference.uri;
        if (path.starts_with("file://"))
            path.remove_prefix(7);
        if (!path.empty()) {
            reference.file = std::filesystem::path(path);
            if (reference.file.is_relative())
                reference.file = (base / reference.file).lexically_normal();
        }
        out.push_back(std::move(reference));
    }
    for (const auto& child : element->elements())
        Collect(child, base, out);
}

} // namespace

std::vector<GeometryReference> GeometryReference::Find(const std::shared_ptr<sdf::Element>& root,
                                                       const std::filesystem::path& baseDirectory)
{
    std::vector<GeometryReference> out;
    if (root)
        Collect(root, baseDirectory, out);
    return out;
}

} // namespace cell
