#include "TriadGeometry.h"

#include <QtGui/QVector3D>

namespace zrv::core {

TriadGeometry::TriadGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    // Per vertex: position x y z, colour r g b a.
    constexpr float kVertices[6][7] = {
        {0, 0, 0, 0.9f, 0.15f, 0.15f, 1}, {1, 0, 0, 0.9f, 0.15f, 0.15f, 1},
        {0, 0, 0, 0.15f, 0.7f, 0.15f, 1}, {0, 1, 0, 0.15f, 0.7f, 0.15f, 1},
        {0, 0, 0, 0.15f, 0.3f, 0.95f, 1}, {0, 0, 1, 0.15f, 0.3f, 0.95f, 1},
    };
    setPrimitiveType(PrimitiveType::Lines);
    setStride(7 * sizeof(float));
    addAttribute(Attribute::PositionSemantic, 0, Attribute::F32Type);
    addAttribute(Attribute::ColorSemantic, 3 * sizeof(float), Attribute::F32Type);
    setVertexData(QByteArray(reinterpret_cast<const char*>(kVertices), sizeof(kVertices)));
    setBounds(QVector3D(0, 0, 0), QVector3D(1, 1, 1));
}

} // namespace zrv::core
