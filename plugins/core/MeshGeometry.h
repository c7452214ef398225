#pragma once

// The triangles of one geometry file (mesh or B-rep) for the 3D view, read
// through the process's geometry cache (cell::GeometryCache) on its worker
// threads: the window never waits for a file, and a file read once (the
// same station opened again, an edit that rebuilds the scene) is not read
// again. Faces keep the colour the file gives them, else baseColor.
//
// status goes Loading -> Ready (bounds known, `loaded` emitted) or Error
// (`failed` with the reader's message).

#include "cell/GeometryCache.h"

#include <QtCore/QString>
#include <QtCore/QTimer>
#include <QtGui/QColor>
#include <QtGui/QVector3D>
#include <QtQuick3D/QQuick3DGeometry>

#include <future>

namespace zrv::core {

class MeshGeometry : public QQuick3DGeometry
{
    Q_OBJECT
    Q_PROPERTY(QString file READ file WRITE setFile NOTIFY fileChanged)
    Q_PROPERTY(QString fileType READ fileType WRITE setFileType NOTIFY fileChanged)
    Q_PROPERTY(QColor baseColor READ baseColor WRITE setBaseColor NOTIFY baseColorChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString errorString READ errorString NOTIFY statusChanged)
    Q_PROPERTY(int triangles READ triangles NOTIFY statusChanged)

public:
    enum Status
    {
        Empty,
        Loading,
        Ready,
        Error,
    };
    Q_ENUM(Status)

    explicit MeshGeometry(QQuick3DObject* parent = nullptr);

    // The cache every view of the process shares.
    static cell::GeometryCache& Cache();

    QString file() const { return path; }
    void setFile(const QString& file);
    QString fileType() const { return type; }
    void setFileType(const QString& fileType);
    QColor baseColor() const { return base; }
    void setBaseColor(const QColor& colour);
    Status status() const { return state; }
    QString errorString() const { return error; }
    int triangles() const { return triangleCount; }

signals:
    void fileChanged();
    void baseColorChanged();
    void statusChanged();
    void loaded(const QVector3D& minimum, const QVector3D& maximum);
    void failed(const QString& message);

private:
    void start();
    void poll();
    void build();

    QString path;
    QString type;
    QColor base{180, 186, 194};
    Status state = Empty;
    QString error;
    int triangleCount = 0;
    std::shared_future<cell::GeometryCache::Result> pending;
    cell::GeometryCache::Result shape;
    QTimer waiting;
    bool startQueued = false;
};

} // namespace zrv::core
