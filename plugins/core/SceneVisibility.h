#pragma once

// What the 3D view hides besides the station's own `visibility` list:
// kinds of things a person thinks in (robots, tools, devices, parts,
// frames and work objects, paths, targets, the floor grid) and single
// objects, each with everything below it in the tree (a robot's links, a
// part's bodies, a path's targets). This is view state: it is never written
// to the station and is no undo step. QML reaches it as
// `station.scene.visibility`.

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariantList>

#include <cstdint>
#include <set>
#include <unordered_set>

namespace cell {
class CellLayout;
}

namespace zrv::core {

class SceneVisibility : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList hiddenKinds READ hiddenKinds NOTIFY changed)
    Q_PROPERTY(QVariantList hiddenObjects READ hiddenObjects NOTIFY changed)
    Q_PROPERTY(bool gridShown READ gridShown NOTIFY changed)
    // Whether anything is hidden here (what "Show all" would show).
    Q_PROPERTY(bool anyHidden READ anyHidden NOTIFY changed)

public:
    explicit SceneVisibility(QObject* parent = nullptr);

    // The kinds, in the order the Show menu lists them.
    static const QStringList& Kinds();

    QStringList hiddenKinds() const;
    QVariantList hiddenObjects() const;
    bool gridShown() const { return !kinds.count(QStringLiteral("grid")); }
    bool anyHidden() const { return !kinds.empty() || !objects.empty(); }

    Q_INVOKABLE bool kindShown(const QString& kind) const { return !kinds.count(kind); }
    // False (and nothing changes) for a kind Kinds() does not list.
    Q_INVOKABLE bool setKindShown(const QString& kind, bool shown);
    // Whether the object itself was hidden here (not through what holds it).
    Q_INVOKABLE bool objectShown(uint id) const { return !objects.count(id); }
    Q_INVOKABLE void setObjectShown(uint id, bool shown);
    // Shows every kind and object hidden here; the station's own list stays.
    Q_INVOKABLE void showAll();

    // Every object of the layout to hide: those hidden here with all below
    // them, and everything of a hidden kind. One walk of the document.
    std::unordered_set<std::uint32_t> hiddenIn(const cell::CellLayout& layout) const;

signals:
    void changed();

private:
    std::set<QString> kinds;
    std::set<std::uint32_t> objects;
};

} // namespace zrv::core
