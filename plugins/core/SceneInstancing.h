#pragma once

// One instance table over a CellScene: either the blocks that stand in for
// geometry that is not loaded, the frame triads (a TriadGeometry scaled
// to each frame's axis length), or a ball at every program target in the
// colour of its reach (green reached, amber reached otherwise than asked or
// near a singularity, red not reached, grey not judged). Thousands of frames and program targets
// then cost one draw call.
// The table follows the scene: it is built again when poses change.

#include <QtQuick3D/QQuick3DInstancing>

#include <QtCore/QPointer>

namespace zrv::core {

class CellScene;

class SceneInstancing : public QQuick3DInstancing
{
    Q_OBJECT
    Q_PROPERTY(QObject* scene READ scene WRITE setScene NOTIFY sceneChanged)
    Q_PROPERTY(Part part READ part WRITE setPart NOTIFY partChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Part
    {
        Boxes,
        Triads,
        Targets,
    };
    Q_ENUM(Part)

    explicit SceneInstancing(QQuick3DObject* parent = nullptr);

    QObject* scene() const;
    void setScene(QObject* scene);
    Part part() const { return which; }
    void setPart(Part part);
    int count() const { return instances; }

signals:
    void sceneChanged();
    void partChanged();
    void countChanged();

protected:
    QByteArray getInstanceBuffer(int* instanceCount) override;

private:
    void rebuild();

    QPointer<CellScene> source;
    Part which = Boxes;
    QByteArray table;
    int instances = 0;
};

} // namespace zrv::core
