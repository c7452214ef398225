#pragma once

// The edges the selected operation follows, the way path generation runs
// them, for the 3D view to draw with arrows; and the direction of travel of
// a picked edge the operation follows, which Reverse turns round.
//
// The edges come from cell::OperationEdges with cell::CadPartGeometry, as
// Generate finds them: the same files, order, places and `reversed`. They
// are found again when the selection or the document changes (an undo
// step, another station); while a body's file is still being read they
// wait for it rather than read it on the window's thread.
//
// Reversing flips the `reversed` of the operation's edge that names the
// picked edge, from either of its faces: one undo step (StationSnapshot).
// QML reaches it as `station.travel`.

#include "cell/EdgeCurve.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QTimer>
#include <QtCore/QVariantList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QUndoStack;

namespace sdf {
class Element;
}

namespace zrv::core {

class CellScene;
class FacePick;

class OperationTravel : public QObject
{
    Q_OBJECT
    // The operation whose edges are shown (0: none).
    Q_PROPERTY(uint operationId READ operationId WRITE setOperationId NOTIFY edgesChanged)
    Q_PROPERTY(int edgeCount READ edgeCount NOTIFY edgesChanged)
    // Why the operation's edges are not shown ("" when they are, or when
    // the selection is no operation).
    Q_PROPERTY(QString problem READ problem NOTIFY edgesChanged)
    // {number, position}: where each edge's order number goes (where the
    // path starts on the edge, station frame, mm).
    Q_PROPERTY(QVariantList labels READ labels NOTIFY edgesChanged)
    // The operation's edge (from 1) that the pick names, 0 when none.
    Q_PROPERTY(int pickedEdge READ pickedEdge NOTIFY pickedChanged)
    // "edge 1 of Weld angle corner: reversed, runs towards -y", or "".
    Q_PROPERTY(QString pickedText READ pickedText NOTIFY pickedChanged)
    // What the last reversal did or why it did nothing.
    Q_PROPERTY(QString lastResult READ lastResult NOTIFY pickedChanged)

public:
    struct Host
    {
        std::function<std::shared_ptr<sdf::Element>()> root;
        CellScene* scene = nullptr;
        QUndoStack* undo = nullptr;
        FacePick* pick = nullptr;
        // The document changed: objects, tree, checks and view follow it.
        std::function<void()> structureChanged;
    };

    explicit OperationTravel(Host host, QObject* parent = nullptr);

    uint operationId() const { return operation; }
    void setOperationId(uint id);
    int edgeCount() const { return static_cast<int>(curves.size()); }
    QString problem() const { return why; }
    QVariantList labels() const;
    int pickedEdge() const { return picked; }
    QString pickedText() const { return pickedWords; }
    QString lastResult() const { return result; }

    // The edges in the order the path follows them, in the station frame,
    // points in each edge's own direction with `reversed` as stored.
    const std::vector<cell::EdgeCurve>& edges() const { return curves; }

    // Finds the edges again (the document changed).
    Q_INVOKABLE void refresh();
    // Flips `reversed` of the shown operation's edge the pick names; "" or
    // why not (lastResult says what was done).
    Q_INVOKABLE QString reversePicked();
    // The same for the operation with that id.
    Q_INVOKABLE QString reverse(uint operationId);

signals:
    void edgesChanged();
    void pickedChanged();

private:
    // Which of the shown operation's edges the pick names, and its words.
    void followPick();
    // The operation's edge (from 1) that the pick names, else 0; 0 too when
    // the operation follows a feature's edges instead of its own.
    int edgeOf(const sdf::Element& operation) const;
    QString finish(const QString& text, bool ok);
    // False while a body file the operation names is still being read.
    bool filesReady(const sdf::Element& operation);

    Host host;
    uint operation = 0;
    std::vector<cell::EdgeCurve> curves;
    QString why;
    int picked = 0;
    QString pickedWords;
    QString result;
    // Tries again while files are read.
    QTimer waiting;
};

} // namespace zrv::core
