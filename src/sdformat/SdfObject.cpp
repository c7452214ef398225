#include <sdformat/SdfObject.h>

#include <common/ZrvAssert.h>
#include <sdformat/Element.h>
#include <sdformat/ParentWalk.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>

#include <fmt/format.h>

#include <stdexcept>
#include <utility>

namespace sdf {

namespace {

constexpr const char* Source = "src/sdformat/SdfObject";

SdfContainer* ObjectParentOf(const SdfObject* object)
{
    return object->objectParent();
}

} // namespace

SdfObject::SdfObject(std::shared_ptr<Element> element, ObjectType type)
    : type(type), name(), element(std::move(element)), objParentId(UnassignedParent)
{
    ZRV_ASSERT(this->element, "element", Source);
    if (!this->element)
        throw std::invalid_argument("a station object needs an element");
    id = this->element->getId(false);
    name = this->element->valueOr<std::string>("name", std::string());
}

SdfObject::~SdfObject() = default;

std::string SdfObject::getDisplayString() const
{
    return name;
}

void SdfObject::setName(std::string newName)
{
    const std::shared_ptr<Element> nameElement = element->get("name");
    if (!nameElement)
        return;
    nameElement->setValue(newName);
    name = std::move(newName);
}

void SdfObject::setObjParent(std::uint32_t parentId)
{
    objParentId = parentId;
}

void SdfObject::setObjParentWithSdf(std::uint32_t parentId)
{
    setObjParent(parentId);
    element->set<unsigned int>("parent", parentId);
}

void SdfObject::setObjParentAsDefault()
{
    objParentId = 0;
}

std::uint32_t SdfObject::getObjParentId() const
{
    ZRV_ASSERT(objParentId != UnassignedParent, "objParentId != 9999", Source);
    return objParentId;
}

SdfContainer* SdfObject::objectParent() const
{
    ZRV_ASSERT(objParentId != UnassignedParent, "objParentId != 9999", Source);
    if (objParentId == 0)
        return nullptr;
    return SdfManager::Get<SdfContainer>(objParentId);
}

bool SdfObject::isTopLevel() const
{
    return objParentId == 0;
}

bool SdfObject::isStandalone() const
{
    return objParentId == 0;
}

bool SdfObject::isChildOf(std::uint32_t parentId)
{
    return std::as_const(*this).isChildOf(parentId);
}

bool SdfObject::isChildOf(std::uint32_t parentId) const
{
    const SdfContainer* parent = objectParent();
    return parent && parent->getId() == parentId;
}

bool SdfObject::isDescendantOf(std::uint32_t ancestorId) const
{
    return AnyUpTheChain(this, ObjectParentOf, [ancestorId](const SdfObject* at) { return at->getId() == ancestorId; });
}

std::uint32_t SdfObject::getIndex() const
{
    const SdfContainer* parent = objectParent();
    ZRV_ASSERT(parent, "objectParent()", Source);
    if (!parent)
        throw std::logic_error(fmt::format("object {} has no parent container", id));
    return static_cast<std::uint32_t>(parent->getChildIndex(id));
}

bool SdfObject::isConnectedToLibrary() const
{
    const std::shared_ptr<Element> documentType = element->get("document_type");
    if (!documentType)
        return false;
    const std::string library = documentType->asString();
    return library == "SystemLibrary" || library == "UserLibrary";
}

bool SdfObject::IsConnectedToLibrary(std::uint32_t objectId)
{
    const SdfObject* object = objectId == 0 ? nullptr : SdfManager::Find(objectId);
    return object && object->isConnectedToLibrary();
}

void SdfObject::addAttachment(const std::string& fileName, const std::string& uri)
{
    const std::shared_ptr<Element> userFile = element->append("user_file");
    userFile->set("file_name", fileName);
    userFile->set("uri", uri);
}

bool SdfObject::hasAttachment(const std::string& fileName) const
{
    for (const std::shared_ptr<Element>& userFile : element->children("user_file")) {
        if (userFile->asString("file_name") == fileName)
            return true;
    }
    return false;
}

std::vector<SdfObject::Attachment> SdfObject::attachments() const
{
    std::vector<Attachment> files;
    for (const std::shared_ptr<Element>& userFile : element->children("user_file"))
        files.emplace_back(userFile->asString("file_name"), userFile->asString("uri"));
    return files;
}

void SdfObject::removeAttachment(const std::string& fileName)
{
    // Collected first: removing while walking the children would skip some.
    std::vector<std::shared_ptr<Element>> matches;
    for (const std::shared_ptr<Element>& userFile : element->children("user_file")) {
        if (userFile->asString("file_name") == fileName)
            matches.push_back(userFile);
    }
    for (const std::shared_ptr<Element>& userFile : matches)
        userFile->removeFromParent();
}

bool SdfObject::anyOfAncestor(const Predicate& predicate, bool includeSelf) const
{
    if (includeSelf && predicate(this))
        return true;
    return AnyUpTheChain(this, ObjectParentOf, [&predicate](const SdfObject* at) { return predicate(at); });
}

bool SdfObject::anyOfDescendant(const Predicate& predicate, bool includeSelf) const
{
    return includeSelf && predicate(this);
}

bool SdfObject::AnyOfAncestor(std::uint32_t objectId, const Predicate& predicate, bool includeSelf)
{
    const SdfObject* object = objectId == 0 ? nullptr : SdfManager::Find(objectId);
    return object && object->anyOfAncestor(predicate, includeSelf);
}

bool SdfObject::AnyOfDescendant(std::uint32_t objectId, const Predicate& predicate, bool includeSelf)
{
    const SdfObject* object = objectId == 0 ? nullptr : SdfManager::Find(objectId);
    return object && object->anyOfDescendant(predicate, includeSelf);
}

} // namespace sdf
