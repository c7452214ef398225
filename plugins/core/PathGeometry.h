#pragma once

// The program paths of a CellScene as one set of line segments: from each
// target to the next, path by path, but for hidden paths. Rebuilt when
// poses or what is shown change.

#include <QtQuick3D/QQuick3DGeometry>

#include <QtCore/QPointer>

namespace zrv::core {

class CellScene;

class PathGeometry : public QQuick3DGeometry
{
    Q_OBJECT
    Q_PROPERTY(QObject* scene READ scene WRITE setScene NOTIFY sceneChanged)
    Q_PROPERTY(int segments READ segments NOTIFY segmentsChanged)

public:
    explicit PathGeometry(QQuick3DObject* parent = nullptr);

    QObject* scene() const;
    void setScene(QObject* scene);
    int segments() const { return count; }

signals:
    void sceneChanged();
    void segmentsChanged();

private:
    void rebuild();

    QPointer<CellScene> source;
    int count = 0;
};

} // namespace zrv::core
