#pragma once

// Three axes of unit length from the origin as coloured lines: x red, y
// green, z blue. Instanced once per frame of the cell (SceneInstancing).

#include <QtQuick3D/QQuick3DGeometry>

namespace zrv::core {

class TriadGeometry : public QQuick3DGeometry
{
    Q_OBJECT

public:
    explicit TriadGeometry(QQuick3DObject* parent = nullptr);
};

} // namespace zrv::core
