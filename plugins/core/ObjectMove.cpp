#include "ObjectMove.h"

#include "CellScene.h"
#include "PoseText.h"

#include "cell/ElementValues.h"

#include <zrvrob/RobTarget.h>
#include <zrvrob/WObjData.h>

#include <sdformat/Element.h>

#include <QtCore/QStringList>
#include <QtGui/QQuaternion>
#include <QtGui/QVector3D>

#include <cmath>
#include <numbers>
#include <string>

namespace zrv::core {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

constexpr double kDegree = std::numbers::pi / 180;

const QStringList& AxisNames()
{
    static const QStringList names{QStringLiteral("x"),  QStringLiteral("y"),  QStringLiteral("z"),
                                   QStringLiteral("rx"), QStringLiteral("ry"), QStringLiteral("rz")};
    return names;
}

const QStringList& FrameNames()
{
    static const QStringList names{QStringLiteral("world"), QStringLiteral("parent"), QStringLiteral("object")};
    return names;
}

// Directions worked out through a chain of turns come with noise in the
// last bits; an axis that lies along one of the parent's should move only
// that coordinate, so that 900 moved by 100 is written as 1000.
cell::Vec3d Cleaned(cell::Vec3d v)
{
    for (double& c : v) {
        if (std::abs(c) < 1e-12)
            c = 0;
        else if (std::abs(std::abs(c) - 1) < 1e-12)
            c = c > 0 ? 1 : -1;
    }
    return v;
}

} // namespace

ObjectMove::ObjectMove(Host host, QObject* parent)
    : QObject(parent)
    , host(std::move(host))
{
}

QString ObjectMove::finish(const QString& text, bool ok)
{
    result = text;
    moved = ok;
    ++count;
    emit resultChanged();
    return ok ? QString() : text;
}

std::optional<ObjectMove::Place> ObjectMove::placeOf(std::uint32_t objectId, QString& reason) const
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr station = root ? root->get("station") : nullptr;
    const cell::CellLayout* layout = host.scene ? host.scene->layout() : nullptr;
    if (!station || !layout) {
        reason = tr("No station is open");
        return std::nullopt;
    }
    const ElementPtr element = objectId != 0 && host.find ? host.find(objectId) : nullptr;
    if (!element) {
        reason = objectId == 0 ? tr("Nothing is selected to move") : tr("No object has id %1").arg(objectId);
        return std::nullopt;
    }
    Place place;
    place.element = element;
    const std::string name = element->valueOr<std::string>("name", std::string());
    place.name = name.empty() ? tr("%1 %2").arg(QString::fromStdString(element->label())).arg(objectId)
                              : QString::fromStdString(name);
    const std::string& kind = element->label();
    if (kind == "link" || kind == "joint") {
        reason = tr("%1 is placed by its mechanism's joints: move the joints").arg(place.name);
        return std::nullopt;
    }
    if (auto program = programPlaceOf(element, *layout, reason); program || !reason.isEmpty()) {
        if (program)
            program->name = place.name;
        return program;
    }
    if (!element->exists("pose")) {
        reason = tr("%1 (%2 %3) has no pose to move").arg(place.name, QString::fromStdString(kind)).arg(objectId);
        return std::nullopt;
    }
    // An attachment places its source whatever the source's own pose says.
    for (const auto& attachment : station->children("attachment")) {
        if (attachment->valueOr<unsigned int>("source_id", 0u) == objectId) {
            reason = tr("%1 is placed by the attachment %2 (%3): its pose there moves it")
                         .arg(place.name, QString::fromStdString(attachment->valueOr<std::string>("name", std::string())))
                         .arg(attachment->getId(false));
            return std::nullopt;
        }
    }
    const cell::RigidTransform* world = layout->worldOf(objectId);
    if (!world) {
        reason = tr("%1 has no place in the cell").arg(place.name);
        return std::nullopt;
    }
    place.world = *world;
    place.local = cell::RigidTransform::FromPose(element->asPose("pose"));
    place.carrier = objectId;
    place.field = QStringLiteral("pose");
    place.text = [](const cell::RigidTransform& moved) { return ExactPoseText(moved); };
    return place;
}

std::optional<ObjectMove::Place> ObjectMove::programPlaceOf(const ElementPtr& element, const cell::CellLayout& layout,
                                                           QString& reason) const
{
    using cell::detail::ValueOf;
    const std::string& kind = element->label();
    if (kind != "instruction" && kind != "argument" && kind != "dataitem")
        return std::nullopt;
    const auto valueText = [](const ElementPtr& carrier) {
        return QString::fromStdString(carrier->get("value")->getStringFromValue());
    };
    // A work object: its user frame moves, its object frame stays on it.
    if (kind != "instruction") {
        if (const auto wobj = ValueOf<zrv::rob::WObjData>(element)) {
            const cell::RigidTransform* world = layout.worldOf(element->getId(false));
            if (!world) {
                reason = tr("%1 %2 is not drawn in the cell").arg(QString::fromStdString(kind)).arg(element->getId(false));
                return std::nullopt;
            }
            Place place;
            place.element = element;
            place.world = *world;
            const cell::RigidTransform objectFrame = cell::detail::FrameOf(wobj->oframe);
            place.local = cell::detail::FrameOf(wobj->uframe) * objectFrame;
            place.carrier = element->getId(false);
            place.field = QStringLiteral("value");
            // The text keeps all but the user frame: its last 14 numbers
            // are the user and the object frame.
            QStringList words = valueText(element).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            place.text = [words, objectFrame](const cell::RigidTransform& moved) {
                QStringList out = words;
                const QStringList frame = ExactPoseText(moved * objectFrame.inverse()).split(QLatin1Char(' '));
                for (qsizetype k = 0; k < 7 && out.size() >= 14; ++k)
                    out[out.size() - 14 + k] = frame[k];
                return out.join(QLatin1Char(' '));
            };
            return place;
        }
    }
    // A program target: the instruction's (its first robtarget argument,
    // else the robtarget data item an argument names), shown where the
    // layout puts the instruction's target.
    ElementPtr instruction = kind == "instruction" ? element : nullptr;
    ElementPtr carrier;
    const auto taskOf = [](ElementPtr e) {
        while (e && e->label() != "task")
            e = e->parent();
        return e;
    };
    if (kind == "argument" && ValueOf<zrv::rob::RobTarget>(element)) {
        instruction = element->parent();
        carrier = element;
    } else if (kind == "dataitem" && ValueOf<zrv::rob::RobTarget>(element)) {
        carrier = element;
        // The first move that names it shows where it is.
        const std::string name = element->valueOr<std::string>("name", std::string());
        const ElementPtr task = taskOf(element);
        for (const auto& path : task ? task->children("path") : decltype(task->children("path")){})
            for (const auto& move : path->children("instruction"))
                for (const auto& argument : move->children("argument"))
                    if (!instruction && ValueOf<std::string>(argument) == name)
                        instruction = move;
        if (!instruction) {
            reason = tr("No move names the target %1").arg(QString::fromStdString(name));
            return std::nullopt;
        }
    } else if (instruction) {
        const ElementPtr task = taskOf(instruction);
        for (const auto& argument : instruction->children("argument")) {
            if (ValueOf<zrv::rob::RobTarget>(argument)) {
                carrier = argument;
                break;
            }
        }
        if (!carrier && task) {
            for (const auto& argument : instruction->children("argument")) {
                const auto named = ValueOf<std::string>(argument);
                for (const auto& data : named ? task->children("dataitem") : decltype(task->children("dataitem")){})
                    if (!carrier && data->valueOr<std::string>("name", std::string()) == *named &&
                        ValueOf<zrv::rob::RobTarget>(data))
                        carrier = data;
            }
        }
    }
    if (!carrier || !instruction)
        return std::nullopt;
    const cell::CellLayout::Item* item = layout.find(instruction->getId(false));
    if (!item || item->label != "target") {
        reason = tr("The target of instruction %1 is not drawn in the cell").arg(instruction->getId(false));
        return std::nullopt;
    }
    const auto target = ValueOf<zrv::rob::RobTarget>(carrier);
    Place place;
    place.element = carrier;
    place.world = item->world;
    place.local = cell::RigidTransform::FromParts({target->trans.x, target->trans.y, target->trans.z},
                                                  {target->rot.w, target->rot.x, target->rot.y, target->rot.z});
    place.carrier = carrier->getId(false);
    place.field = QStringLiteral("value");
    // Position and orientation are the first seven numbers; the arm's
    // configuration and the external axes stay.
    const QStringList words = valueText(carrier).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    place.text = [words](const cell::RigidTransform& moved) {
        QStringList out = words;
        const QStringList pose = ExactPoseText(moved).split(QLatin1Char(' '));
        for (qsizetype k = 0; k < 7 && k < out.size(); ++k)
            out[k] = pose[k];
        return out.join(QLatin1Char(' '));
    };
    return place;
}

QVariantMap ObjectMove::axes(uint objectId, const QString& frame) const
{
    QString reason;
    const auto place = placeOf(objectId, reason);
    if (!place)
        return {{QStringLiteral("valid"), false}, {QStringLiteral("reason"), reason}};
    std::array<double, 4> q{1, 0, 0, 0};
    if (frame == QStringLiteral("object"))
        q = place->world.q;
    else if (frame == QStringLiteral("parent"))
        q = (place->world * place->local.inverse()).q;
    const cell::Vec3d& t = place->world.t;
    return {{QStringLiteral("valid"), true},
            {QStringLiteral("reason"), QString()},
            {QStringLiteral("position"), QVector3D(float(t[0]), float(t[1]), float(t[2]))},
            {QStringLiteral("rotation"), QQuaternion(float(q[0]), float(q[1]), float(q[2]), float(q[3]))}};
}

QString ObjectMove::move(uint objectId, const QString& axis, double distance, const QString& frame, int drag)
{
    const qsizetype which = AxisNames().indexOf(axis);
    if (which < 0)
        return finish(tr("Unknown axis \"%1\": x, y, z, rx, ry or rz").arg(axis), false);
    if (!FrameNames().contains(frame))
        return finish(tr("Unknown frame \"%1\": world, parent or object").arg(frame), false);
    if (!std::isfinite(distance))
        return finish(tr("%1 is no distance to move by").arg(distance), false);
    QString reason;
    const auto place = placeOf(objectId, reason);
    if (!place)
        return finish(reason, false);
    cell::RigidTransform local = place->local;
    cell::RigidTransform world = place->world;
    if (drag != 0) {
        // Every move of a drag counts from where the drag began, so that
        // the object ends exactly the distance away that the last one says.
        // A target's drag selects its argument or data item as it writes
        // it: the drag belongs to what is written.
        if (start.object != place->carrier || start.drag != drag)
            start = {place->carrier, drag, local, world};
        local = start.local;
        world = start.world;
    }
    // The axis in the frame the pose is given in (the positional parent's).
    cell::Vec3d unit{0, 0, 0};
    unit[static_cast<std::size_t>(which % 3)] = 1;
    cell::Vec3d inParent = unit;
    if (frame == QStringLiteral("object"))
        inParent = local.rotate(unit);
    else if (frame == QStringLiteral("world"))
        inParent = (world * local.inverse()).inverse().rotate(unit);
    inParent = Cleaned(inParent);
    cell::RigidTransform moved = local;
    if (which < 3) {
        for (std::size_t k = 0; k < 3; ++k)
            moved.t[k] += inParent[k] * distance;
    } else {
        moved.q = (cell::RigidTransform::Rotation(inParent, distance * kDegree) * cell::RigidTransform{local.q, {0, 0, 0}}).q;
    }
    const QString key = drag != 0 ? QStringLiteral("handle %1 %2").arg(place->carrier).arg(drag) : QString();
    if (const QString refused = host.writePose(place->carrier, place->field, place->text(moved), key); !refused.isEmpty())
        return finish(tr("%1 not moved: %2").arg(place->name, refused), false);
    return finish(which < 3 ? tr("Moved %1 %2 mm along %3 of the %4").arg(place->name).arg(distance).arg(axis, frame)
                            : tr("Turned %1 %2° about %3 of the %4").arg(place->name).arg(distance).arg(axis.mid(1), frame),
                  true);
}

} // namespace zrv::core
