#include "MeshGeometry.h"

#include <QtCore/QByteArray>

#include <array>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>

namespace zrv::core {

namespace {

// Position, normal and colour of one vertex.
constexpr int kFloats = 3 + 3 + 4;

} // namespace

MeshGeometry::MeshGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    // A file is asked for once its type is known too: both properties are
    // set while the item is created.
    waiting.setInterval(15);
    connect(&waiting, &QTimer::timeout, this, &MeshGeometry::poll);
    // Until the file is read: one degenerate triangle, which keeps the
    // geometry valid for the renderer and draws nothing.
    setPrimitiveType(PrimitiveType::Triangles);
    setStride(3 * sizeof(float));
    addAttribute(Attribute::PositionSemantic, 0, Attribute::F32Type);
    setVertexData(QByteArray(9 * sizeof(float), '\0'));
}

cell::GeometryCache& MeshGeometry::Cache()
{
    static cell::GeometryCache cache;
    return cache;
}

void MeshGeometry::setFile(const QString& file)
{
    if (file == path)
        return;
    path = file;
    emit fileChanged();
    start();
}

void MeshGeometry::setFileType(const QString& fileType)
{
    if (fileType == type)
        return;
    type = fileType;
    emit fileChanged();
    start();
}

void MeshGeometry::setBaseColor(const QColor& colour)
{
    if (colour == base)
        return;
    base = colour;
    emit baseColorChanged();
    if (state == Ready)
        build();
}

void MeshGeometry::start()
{
    if (startQueued)
        return;
    startQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            startQueued = false;
            shape.reset();
            triangleCount = 0;
            error.clear();
            if (path.isEmpty()) {
                state = Empty;
                emit statusChanged();
                return;
            }
            cell::LoadOptions options;
            options.fileType = type.toStdString();
            pending = Cache().load(std::filesystem::path(path.toStdU16String()), options);
            state = Loading;
            emit statusChanged();
            poll();
            if (state == Loading)
                waiting.start();
        },
        Qt::QueuedConnection);
}

void MeshGeometry::poll()
{
    if (!pending.valid() || pending.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    waiting.stop();
    try {
        shape = pending.get();
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
    }
    pending = {};
    if (!shape || shape->triangleCount() == 0) {
        if (error.isEmpty())
            error = tr("%1 holds no triangles").arg(path);
        state = Error;
        emit statusChanged();
        emit failed(error);
        return;
    }
    build();
    state = Ready;
    emit statusChanged();
    emit loaded(QVector3D(float(shape->boundsMin[0]), float(shape->boundsMin[1]), float(shape->boundsMin[2])),
                QVector3D(float(shape->boundsMax[0]), float(shape->boundsMax[1]), float(shape->boundsMax[2])));
}

void MeshGeometry::build()
{
    const cell::Geometry& g = *shape;
    const std::size_t vertices = g.vertexCount();
    // Faces share no vertices in the cache's meshes only by chance: colour
    // each vertex by the last face that uses it.
    std::vector<std::array<float, 4>> colours(vertices, {base.redF(), base.greenF(), base.blueF(), 1.0f});
    for (const cell::Geometry::Face& face : g.faces) {
        if (!face.hasColour)
            continue;
        for (std::uint32_t i = face.firstIndex; i < face.firstIndex + face.indexCount && i < g.indices.size(); ++i)
            if (g.indices[i] < vertices)
                colours[g.indices[i]] = face.colour;
    }
    QByteArray data(static_cast<qsizetype>(vertices * kFloats * sizeof(float)), Qt::Uninitialized);
    auto* out = reinterpret_cast<float*>(data.data());
    const bool normals = g.normals.size() == g.positions.size();
    for (std::size_t v = 0; v < vertices; ++v) {
        float* at = out + v * kFloats;
        std::memcpy(at, &g.positions[v * 3], 3 * sizeof(float));
        if (normals)
            std::memcpy(at + 3, &g.normals[v * 3], 3 * sizeof(float));
        else
            at[3] = at[4] = 0, at[5] = 1;
        std::memcpy(at + 6, colours[v].data(), 4 * sizeof(float));
    }
    QByteArray index(reinterpret_cast<const char*>(g.indices.data()),
                     static_cast<qsizetype>(g.indices.size() * sizeof(std::uint32_t)));
    clear();
    setPrimitiveType(PrimitiveType::Triangles);
    setStride(kFloats * sizeof(float));
    addAttribute(Attribute::PositionSemantic, 0, Attribute::F32Type);
    addAttribute(Attribute::NormalSemantic, 3 * sizeof(float), Attribute::F32Type);
    addAttribute(Attribute::ColorSemantic, 6 * sizeof(float), Attribute::F32Type);
    addAttribute(Attribute::IndexSemantic, 0, Attribute::U32Type);
    setVertexData(data);
    setIndexData(index);
    setBounds(QVector3D(float(g.boundsMin[0]), float(g.boundsMin[1]), float(g.boundsMin[2])),
              QVector3D(float(g.boundsMax[0]), float(g.boundsMax[1]), float(g.boundsMax[2])));
    triangleCount = static_cast<int>(g.triangleCount());
    update();
}

} // namespace zrv::core
