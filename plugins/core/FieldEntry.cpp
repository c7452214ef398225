#include "FieldEntry.h"

#include "FieldUnit.h"

#include <sdformat/Element.h>
#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/StrictValue.h>

#include <any>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>

namespace zrv::core {

namespace {

// A pose or orientation is stored with a unit quaternion: the one typed,
// scaled. False when the quaternion is zero, which is no rotation at all.
template <class Orient>
bool Normalise(Orient& q)
{
    const double norm = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (norm == 0 || !std::isfinite(norm))
        return false;
    q.w /= norm;
    q.x /= norm;
    q.y /= norm;
    q.z /= norm;
    return true;
}

// The orientation of the value, or null when it has none.
zrv::rob::OrientTemplate<double>* OrientationOf(std::any& value)
{
    if (auto* pose = std::any_cast<zrv::rob::PoseTemplate<double>>(&value))
        return &pose->orient;
    return std::any_cast<zrv::rob::OrientTemplate<double>>(&value);
}

std::string Text(const std::any& value)
{
    std::ostringstream out;
    if (const auto* pose = std::any_cast<zrv::rob::PoseTemplate<double>>(&value))
        out << std::setprecision(17) << pose->pos.x << ' ' << pose->pos.y << ' ' << pose->pos.z << ' ' << pose->orient.w
            << ' ' << pose->orient.x << ' ' << pose->orient.y << ' ' << pose->orient.z;
    else if (const auto* q = std::any_cast<zrv::rob::OrientTemplate<double>>(&value))
        out << std::setprecision(17) << q->w << ' ' << q->x << ' ' << q->y << ' ' << q->z;
    return out.str();
}

QString Number(double value)
{
    return QString::number(value, 'g', 10);
}

// A number typed in the field's unit, kept in the stored one: it must lie
// within its range, and is stored without a word about the digits the
// conversion brings.
FieldEntry CheckInUnit(const QString& typeName, const QString& text, const FieldUnit& unit)
{
    FieldEntry entry;
    const sdf::StrictValue typed = sdf::StrictValue::Parse("double", text.toStdString());
    if (!typed.ok()) {
        entry.error = QString::fromStdString(typed.error());
        return entry;
    }
    const double value = std::any_cast<double>(typed.value());
    if ((unit.lower && value < *unit.lower) || (unit.upper && value > *unit.upper)) {
        entry.error = QObject::tr("%1 %2 lies outside the joint's limits, %3 to %4 %2")
                          .arg(text.trimmed(), unit.symbol, unit.lower ? Number(*unit.lower) : QStringLiteral("-inf"),
                               unit.upper ? Number(*unit.upper) : QStringLiteral("inf"));
        return entry;
    }
    std::ostringstream stored;
    stored << std::setprecision(17) << value / unit.shownPerStored;
    const sdf::StrictValue kept = sdf::StrictValue::Parse(typeName.toStdString(), stored.str());
    if (!kept.ok()) {
        entry.error = QString::fromStdString(kept.error());
        return entry;
    }
    entry.accepted = true;
    entry.storedText = QString::fromStdString(kept.storedText());
    return entry;
}

// A joint limit may not pass the other one: the range would be empty.
QString CrossedLimit(const FieldListModel::Field& field, double value)
{
    const std::string& label = field.element->label();
    const std::shared_ptr<sdf::Element> limit = field.element->parent();
    if (field.attr || !limit || limit->label() != "limit" || (label != "lower" && label != "upper"))
        return {};
    const bool isLower = label == "lower";
    const char* other = isLower ? "upper" : "lower";
    try {
        if (!limit->exists(other))
            return {};
        const double bound = limit->valueOr<double>(other, 0);
        if (isLower ? value > bound : value < bound)
            return isLower ? QObject::tr("the lower limit would be above the upper limit, %1").arg(Number(bound))
                           : QObject::tr("the upper limit would be below the lower limit, %1").arg(Number(bound));
    } catch (const std::bad_any_cast&) {
    }
    return {};
}

} // namespace

FieldEntry FieldEntry::Check(const FieldListModel::Field& field, const QString& text,
                             const std::function<bool(std::uint32_t)>& objectExists)
{
    const FieldUnit unit = FieldUnit::Of(field);
    if (unit.converts() || unit.lower || unit.upper)
        return CheckInUnit(FieldListModel::TypeName(field), text, unit);
    FieldEntry entry;
    const std::string typeName = FieldListModel::TypeName(field).toStdString();
    sdf::StrictValue typed = sdf::StrictValue::Parse(typeName, text.toStdString());
    if (!typed.ok()) {
        entry.error = QString::fromStdString(typed.error());
        return entry;
    }
    if (typed.value().type() == typeid(double)) {
        entry.error = CrossedLimit(field, std::any_cast<double>(typed.value()));
        if (!entry.error.isEmpty())
            return entry;
    }
    std::any value = typed.value();
    bool normalised = false;
    if (auto* orient = OrientationOf(value)) {
        const zrv::rob::OrientTemplate<double> typedOrient = *orient;
        if (!Normalise(*orient)) {
            entry.error = QObject::tr("the orientation quaternion is zero, which is no rotation");
            return entry;
        }
        normalised = typedOrient.w != orient->w || typedOrient.x != orient->x || typedOrient.y != orient->y ||
                     typedOrient.z != orient->z;
        if (normalised)
            typed = sdf::StrictValue::Parse(typeName, Text(value));
    }
    if (FieldListModel::IsIdField(field) && typed.value().type() == typeid(unsigned int)) {
        const std::uint32_t id = std::any_cast<unsigned int>(typed.value());
        if (id != 0 && objectExists && !objectExists(id)) {
            entry.error = QObject::tr("no object has id %1").arg(id);
            return entry;
        }
    }
    entry.accepted = true;
    entry.storedText = QString::fromStdString(typed.storedText());
    if (normalised || typed.changed() || !typed.notes().empty()) {
        QStringList notes;
        if (normalised)
            notes << QObject::tr("the quaternion was normalised to length 1");
        for (const std::string& note : typed.notes())
            notes << QString::fromStdString(note);
        entry.warning = QObject::tr("stored as \"%1\"").arg(entry.storedText);
        if (!notes.isEmpty())
            entry.warning += QStringLiteral(": ") + notes.join(QStringLiteral("; "));
    }
    return entry;
}

} // namespace zrv::core
