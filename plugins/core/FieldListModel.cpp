#include "FieldListModel.h"

#include "FieldUnit.h"
#include "ObjectKinds.h"
#include "PoseText.h"

#include <sdformat/Attr.h>
#include <sdformat/Element.h>
#include <sdformat/IdField.h>
#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ZoneData.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <unordered_map>

namespace zrv::core {

namespace {

// The names the library registers its value types under.
QString ValueTypeName(const std::type_info& type)
{
    static const std::unordered_map<const std::type_info*, const char*> names{
        {&typeid(bool), "bool"},
        {&typeid(int), "int"},
        {&typeid(unsigned int), "unsigned int"},
        {&typeid(std::uint64_t), "uint64_t"},
        {&typeid(double), "double"},
        {&typeid(std::string), "string"},
        {&typeid(zrv::rob::Vec3Template<double>), "vector3"},
        {&typeid(zrv::rob::PosTemplate<double>), "pos"},
        {&typeid(zrv::rob::OrientTemplate<double>), "orient"},
        {&typeid(zrv::rob::PoseTemplate<double>), "pose"},
        {&typeid(zrv::rob::ToolData), "tooldata"},
        {&typeid(zrv::rob::WObjData), "wobjdata"},
        {&typeid(zrv::rob::SpeedData), "speeddata"},
        {&typeid(zrv::rob::ZoneData), "zonedata"},
        {&typeid(zrv::rob::RobTarget), "robtarget"},
        {&typeid(zrv::rob::JointTarget), "jointtarget"},
    };
    for (const auto& [known, name] : names) {
        if (*known == type)
            return QString::fromLatin1(name);
    }
    return QString::fromLatin1(type.name());
}

QString Join(const QString& path, const std::string& label)
{
    const QString piece = QString::fromStdString(label);
    return path.isEmpty() ? piece : path + QLatin1Char('/') + piece;
}

} // namespace

void FieldListModel::show(const std::shared_ptr<sdf::Element>& objectElement)
{
    beginResetModel();
    fields.clear();
    objectPath.clear();
    if (objectElement) {
        objectPath = DocumentPath(*objectElement);
        collect(objectElement, {}, true);
        // The object's own fields first, then the nested ones, so that each
        // group of nested fields comes under one heading.
        std::stable_partition(fields.begin(), fields.end(),
                              [](const Field& f) { return !f.path.contains(QLatin1Char('/')); });
    }
    endResetModel();
}

void FieldListModel::collect(const std::shared_ptr<sdf::Element>& element, const QString& path, bool isObject)
{
    for (const std::shared_ptr<sdf::Attr>& attr : element->attributes()) {
        const bool identity = attr->label() == "id" || attr->label() == "type";
        fields.push_back({path + QLatin1Char('@') + QString::fromStdString(attr->label()), element, attr, !identity});
    }
    if (element->hasValue() && !isObject)
        fields.push_back({path, element, nullptr, true});

    std::unordered_map<std::string, int> repeats;
    for (const std::shared_ptr<sdf::Element>& child : element->elements())
        ++repeats[child->label()];
    std::unordered_map<std::string, int> seen;
    for (const std::shared_ptr<sdf::Element>& child : element->elements()) {
        if (IsObjectElement(*child))
            continue;
        QString childPath = Join(path, child->label());
        const int number = ++seen[child->label()];
        if (repeats[child->label()] > 1)
            childPath += QStringLiteral("[%1]").arg(number);
        collect(child, childPath, false);
    }
}

bool FieldListModel::IsIdField(const Field& field)
{
    if (field.attr || !field.element->hasValue() || field.element->type_info() != typeid(unsigned int))
        return false;
    return sdf::HoldsObjectId(*field.element);
}

std::optional<std::uint32_t> FieldListModel::idValue(const Field& field)
{
    if (!IsIdField(field))
        return std::nullopt;
    const std::uint32_t id = field.element->valueOr<unsigned int>("", 0u);
    if (id == 0)
        return std::nullopt;
    return id;
}

QString FieldListModel::note(const Field& field) const
{
    if (field.attr || !field.element->hasValue())
        return {};
    const std::type_info& type = field.element->type_info();
    if (type == typeid(zrv::rob::PoseTemplate<double>))
        return PoseText(field.element->as<zrv::rob::PoseTemplate<double>>());
    if (type == typeid(zrv::rob::OrientTemplate<double>))
        return OrientText(field.element->as<zrv::rob::OrientTemplate<double>>());
    const std::optional<std::uint32_t> id = idValue(field);
    if (!id && dangling(field))
        return tr("\u2192 no object has id %1 (dangling)").arg(Text(field));
    if (!id || !nameOf)
        return {};
    if (const std::optional<QString> name = nameOf(*id))
        return QStringLiteral("\u2192 %1").arg(*name);
    return tr("\u2192 no object has id %1 (dangling)").arg(*id);
}

bool FieldListModel::dangling(const Field& field) const
{
    if (const std::optional<std::uint32_t> id = idValue(field))
        return nameOf && !nameOf(*id);
    return !field.attr && danglingAt && danglingAt(objectPath + '/' + field.path.toStdString());
}

void FieldListModel::refreshNotes()
{
    if (!fields.empty())
        emit dataChanged(index(0), index(static_cast<int>(fields.size()) - 1), {NoteRole, DanglingRole});
}

std::string FieldListModel::DocumentPath(const sdf::Element& element)
{
    std::vector<std::string> pieces;
    const sdf::Element* at = &element;
    for (std::shared_ptr<sdf::Element> parent = at->parent(); parent; parent = parent->parent()) {
        int total = 0;
        int number = 0;
        for (const std::shared_ptr<sdf::Element>& sibling : parent->elements()) {
            if (sibling->label() != at->label())
                continue;
            ++total;
            if (sibling.get() == at)
                number = total;
        }
        pieces.push_back(total > 1 ? at->label() + '[' + std::to_string(number) + ']' : at->label());
        at = parent.get();
    }
    std::string path = '/' + at->label();
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it)
        path += '/' + *it;
    return path;
}

int FieldListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(fields.size());
}

QVariant FieldListModel::data(const QModelIndex& index, int role) const
{
    const Field* at = index.isValid() ? field(index.row()) : nullptr;
    if (!at)
        return {};
    switch (role) {
    case PathRole: return at->path;
    case Qt::DisplayRole:
    case ValueRole: return ShownText(*at);
    case UnitRole: return FieldUnit::Of(*at).symbol;
    case PosePartsRole:
        if (at->attr || !at->element->hasValue() || at->element->type_info() != typeid(zrv::rob::PoseTemplate<double>))
            return QStringList();
        return PoseParts(at->element->as<zrv::rob::PoseTemplate<double>>());
    case TypeRole: return TypeName(*at);
    case EditableRole: return at->editable;
    case LabelRole: return at->path.mid(at->path.lastIndexOf(QLatin1Char('/')) + 1);
    case GroupRole: return at->path.left(std::max<qsizetype>(at->path.lastIndexOf(QLatin1Char('/')), 0));
    case NoteRole: return note(*at);
    case DanglingRole: return dangling(*at);
    default: return {};
    }
}

QHash<int, QByteArray> FieldListModel::roleNames() const
{
    return {{PathRole, "path"},   {ValueRole, "value"}, {TypeRole, "type"},         {EditableRole, "editable"},
            {LabelRole, "label"}, {GroupRole, "group"}, {NoteRole, "note"}, {DanglingRole, "dangling"},
            {UnitRole, "unit"},   {PosePartsRole, "poseParts"}};
}

const FieldListModel::Field* FieldListModel::field(int row) const
{
    if (row < 0 || row >= static_cast<int>(fields.size()))
        return nullptr;
    return &fields[static_cast<std::size_t>(row)];
}

int FieldListModel::rowOf(const QString& path) const
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].path == path)
            return static_cast<int>(i);
    }
    return -1;
}

QString FieldListModel::Text(const Field& field)
{
    return QString::fromStdString(field.attr ? field.attr->asString() : field.element->getStringFromValue());
}

QString FieldListModel::ShownText(const Field& field)
{
    return FieldUnit::Of(field).shown(Text(field));
}

QString FieldListModel::TypeName(const Field& field)
{
    return field.attr ? QString::fromStdString(field.attr->type()) : ValueTypeName(field.element->type_info());
}

void FieldListModel::write(int row, const QString& text)
{
    const Field* at = field(row);
    if (!at)
        return;
    const std::string utf8 = text.toStdString();
    if (at->attr)
        at->attr->fromString(utf8);
    else
        at->element->setValueFromString(utf8);
    refreshRow(row);
}

void FieldListModel::refreshRow(int row)
{
    if (!field(row))
        return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
}

void FieldListModel::refreshAll()
{
    if (!fields.empty())
        emit dataChanged(index(0), index(static_cast<int>(fields.size()) - 1));
}

} // namespace zrv::core
