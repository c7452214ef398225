#include <sdformat/SDF.h>

#include <sdformat/Element.h>
#include <sdformat/FileReplace.h>
#include <sdformat/RootElement.h>

#include <common/ZrvAssert.h>

namespace sdf {

SDF::SDF(std::shared_ptr<Element> root) : _root(std::move(root))
{
    ZRV_ASSERT(_root, "_root", "src/sdformat/SDF");
}

std::shared_ptr<SDF> SDF::SpawnFromRootTemplate()
{
    return std::shared_ptr<SDF>(new SDF(CreateRootElement()));
}

void SDF::Write(const std::filesystem::path& path) const
{
    // The text is complete before any file is touched, so a value that has
    // no text form fails the write without creating anything.
    const std::string text = _root->toXMLString("");
    ReplaceFileContents(path, text);
}

} // namespace sdf
