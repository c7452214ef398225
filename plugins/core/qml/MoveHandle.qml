// The move handle over the 3D view: three arrows (x red, y green, z blue)
// to drag the selected object, or the robot's tool centre point, along an
// axis and three rings to turn it about one, at its origin and of one size
// on screen. Drawn by a view of its own over the cell's, through the same
// camera, so that nothing in the cell hides it. A press on a part drags
// it (station.mover, or station.robot.jog for the tool centre point, each
// drag one undo step); any other press goes on to the view below, which
// orbits, pans and picks as ever.
import QtQuick
import QtQuick3D
import Zervan.Cell

Item {
    id: handle
    objectName: "moveHandle"
    required property View3D view
    required property Camera viewCamera
    required property Node viewCell
    // Presses over the view's foot (the pick's bar) are not the handle's.
    property real footHeight: 0
    // "object": the object objectId, in frame "world", "parent" or
    // "object"; "tcp": the robot's tool centre point, in frame "world",
    // "wobj" or "tool".
    property string target: "object"
    property int objectId: 0
    property string frame: "world"
    // Drags move by whole steps of these (mm, degrees); 0: freely.
    property real snapStep: 0
    property real snapAngle: 0
    // The arrows' length on screen in pixels; the rings' radius is a part
    // of it, so that the arrows' heads stand clear of them.
    readonly property real pixels: 100
    readonly property real ringRatio: 0.62
    readonly property var axisNames: ["x", "y", "z", "rx", "ry", "rz"]
    // Where the handle stands: {valid, position, rotation} in the
    // station's frame, followed through every change of the cell.
    readonly property var place: {
        station.scene.revision
        if (target === "tcp") {
            station.robot.tcpText
            return station.robot.jogAxes(frame)
        }
        return station.mover.axes(objectId, frame)
    }
    readonly property bool shown: place.valid === true
    // The arrows' length in millimetres where the handle stands.
    readonly property real size: {
        if (!shown)
            return 1
        const distance = viewCell.mapPositionToScene(place.position).minus(viewCamera.scenePosition).length()
        return pixels * 2 * distance * Math.tan(viewCamera.fieldOfView * Math.PI / 360) / Math.max(height, 1)
    }
    // The part being dragged (0-2 arrows, 3-5 rings), else -1.
    property int dragPart: -1

    // Where the handle's own view is drawn: an item of the cell's view
    // below its click and hover handlers, as a view takes every hover
    // event (even disabled), which the picking preview needs.
    required property Item drawParent
    View3D {
        id: handleView
        parent: handle.drawParent
        anchors.fill: parent
        enabled: false
        camera: handleCamera
        environment: SceneEnvironment {
            backgroundMode: SceneEnvironment.Transparent
            antialiasingMode: SceneEnvironment.NoAA
        }
        PerspectiveCamera {
            id: handleCamera
            position: handle.viewCamera.scenePosition
            rotation: handle.viewCamera.sceneRotation
            fieldOfView: handle.viewCamera.fieldOfView
            clipNear: handle.viewCamera.clipNear
            clipFar: handle.viewCamera.clipFar
        }
        Node {
            eulerRotation.x: -90
            Node {
                visible: handle.shown
                position: handle.shown ? handle.place.position : Qt.vector3d(0, 0, 0)
                rotation: handle.shown ? handle.place.rotation : Qt.quaternion(1, 0, 0, 0)
                scale: Qt.vector3d(handle.size, handle.size, handle.size)
                Repeater3D {
                    model: 6
                    delegate: Model {
                        required property int index
                        readonly property bool ring: index >= 3
                        objectName: "handle/" + handle.axisNames[index]
                        geometry: HandleGeometry { part: ring ? HandleGeometry.Ring : HandleGeometry.Arrow }
                        // Each part's z turned onto its axis.
                        eulerRotation: [Qt.vector3d(0, 90, 0), Qt.vector3d(-90, 0, 0), Qt.vector3d(0, 0, 0)][index % 3]
                        scale: ring ? Qt.vector3d(handle.ringRatio, handle.ringRatio, handle.ringRatio) : Qt.vector3d(1, 1, 1)
                        materials: DefaultMaterial {
                            lighting: DefaultMaterial.NoLighting
                            cullMode: Material.NoCulling
                            diffuseColor: handle.dragPart === index ? "#ffc800"
                                                                    : ["#e02828", "#1ea01e", "#2858f0"][index % 3]
                        }
                    }
                }
            }
        }
    }

    MouseArea {
        anchors.fill: parent
        anchors.bottomMargin: handle.footHeight
        acceptedButtons: Qt.LeftButton
        preventStealing: true
        onPressed: (mouse) => {
            // Keys jog the robot while the view has the focus.
            handle.view.forceActiveFocus()
            const part = (mouse.modifiers & Qt.ShiftModifier) ? -1 : handle.hitTest(mouse.x, mouse.y)
            if (part < 0) {
                mouse.accepted = false
                return
            }
            handle.beginDrag(part, mouse.x, mouse.y)
        }
        onPositionChanged: (mouse) => handle.dragTo(mouse.x, mouse.y)
        onReleased: handle.dragPart = -1
        onCanceled: handle.dragPart = -1
    }

    // The unit direction of axis k (0 x, 1 y, 2 z; on) in the station.
    function axisOf(k) {
        const units = [Qt.vector3d(1, 0, 0), Qt.vector3d(0, 1, 0), Qt.vector3d(0, 0, 1)]
        return place.rotation.times(units[k % 3]).normalized()
    }
    // Where a station point appears: {x, y, front}.
    function project(point) {
        const p = view.mapFrom3DScene(viewCell.mapPositionToScene(point))
        return {x: p.x, y: p.y, front: p.z > 0}
    }
    // The line of sight through a point of the view, in the station.
    function ray(x, y) {
        const near = viewCell.mapPositionFromScene(viewCamera.mapFromViewport(Qt.vector3d(x / width, y / height, 0)))
        const far = viewCell.mapPositionFromScene(viewCamera.mapFromViewport(Qt.vector3d(x / width, y / height, 1)))
        return {origin: near, direction: far.minus(near).normalized()}
    }
    function ringPoint(k, degrees) {
        const a = degrees * Math.PI / 180
        const r = size * ringRatio
        return place.position.plus(axisOf(k + 1).times(r * Math.cos(a))).plus(axisOf(k + 2).times(r * Math.sin(a)))
    }
    function segmentDistance(x, y, a, b) {
        const dx = b.x - a.x, dy = b.y - a.y
        const length2 = dx * dx + dy * dy
        const t = length2 > 0 ? Math.max(0, Math.min(1, ((x - a.x) * dx + (y - a.y) * dy) / length2)) : 0
        return Math.hypot(x - a.x - t * dx, y - a.y - t * dy)
    }
    // The part under a point of the view (within 7 pixels), else -1.
    function hitTest(x, y) {
        if (!shown)
            return -1
        let best = -1
        let nearest = 7
        for (let k = 0; k < 3; ++k) {
            const a = project(place.position.plus(axisOf(k).times(size * 0.15)))
            const b = project(place.position.plus(axisOf(k).times(size)))
            const d = a.front && b.front ? segmentDistance(x, y, a, b) : Infinity
            if (d < nearest) {
                nearest = d
                best = k
            }
        }
        for (let k = 0; k < 3; ++k) {
            let previous = project(ringPoint(k, 0))
            for (let i = 1; i <= 48; ++i) {
                const next = project(ringPoint(k, i * 7.5))
                const d = previous.front && next.front ? segmentDistance(x, y, previous, next) : Infinity
                if (d < nearest) {
                    nearest = d
                    best = k + 3
                }
                previous = next
            }
        }
        return best
    }
    // How far along the arrow's line the point of the line of sight
    // nearest to it lies.
    function along(start, x, y) {
        const r = ray(x, y)
        const w = start.origin.minus(r.origin)
        const b = start.axis.dotProduct(r.direction)
        const denominator = 1 - b * b
        if (denominator < 1e-9)
            return NaN
        return (b * r.direction.dotProduct(w) - start.axis.dotProduct(w)) / denominator
    }
    // The angle (degrees) of the point where the line of sight meets the
    // ring's plane, about the ring's axis.
    function angleAt(start, x, y) {
        const r = ray(x, y)
        const across = r.direction.dotProduct(start.axis)
        if (Math.abs(across) < 1e-6)
            return NaN
        const t = start.origin.minus(r.origin).dotProduct(start.axis) / across
        const p = r.origin.plus(r.direction.times(t)).minus(start.origin)
        return Math.atan2(p.dotProduct(start.v), p.dotProduct(start.u)) * 180 / Math.PI
    }
    function snapped(value, step) {
        return step > 0 ? Number((Math.round(value / step) * step).toFixed(9)) : value
    }

    property var start: null
    property int dragSerial: 0
    function beginDrag(part, x, y) {
        const k = part % 3
        const s = {part: part, origin: place.position, axis: axisOf(k), u: axisOf(k + 1), v: axisOf(k + 2),
                   applied: 0, turned: 0, last: 0}
        s.last = part < 3 ? along(s, x, y) : angleAt(s, x, y)
        if (isNaN(s.last))
            return
        start = s
        dragSerial += 1
        dragPart = part
    }
    function dragTo(x, y) {
        if (dragPart < 0 || !start)
            return
        let raw
        if (start.part < 3) {
            const now = along(start, x, y)
            if (isNaN(now))
                return
            raw = now - start.last
        } else {
            const now = angleAt(start, x, y)
            if (isNaN(now))
                return
            // Turned on past half a turn, the angle goes on counting.
            const step = ((now - start.last) % 360 + 540) % 360 - 180
            start.turned += step
            start.last = now
            raw = start.turned
        }
        const total = snapped(raw, start.part < 3 ? snapStep : snapAngle)
        const axis = axisNames[start.part]
        if (target === "tcp") {
            const delta = total - start.applied
            if (Math.abs(delta) < 1e-9)
                return
            if (station.robot.jog(axis, delta, frame, "handle " + dragSerial) === "")
                start.applied = total
        } else {
            station.mover.move(objectId, axis, total, frame, dragSerial)
        }
    }

    // For automation: the points a person's drag of a part by distance
    // (mm or degrees) passes, in this view's coordinates, the press first:
    // {points: [{x, y}], reason} (no points, with the reason, where the
    // part is not in sight to grab).
    function dragPath(part, distance, steps) {
        if (!shown)
            return {points: [], reason: target === "tcp" ? qsTr("no robot shows a tool centre point")
                                                         : (place.reason || qsTr("nothing is selected"))}
        const inside = (p) => p.front && p.x >= 0 && p.y >= 0 && p.x < width && p.y < height - footHeight
        const k = part % 3
        const at = []
        if (part < 3) {
            // Near the arrow's head, else nearer its foot where the head or
            // the drag's end is out of the view or another part is nearer.
            for (const grab of [0.9, 0.75, 0.5, 0.3]) {
                const path = []
                for (let i = 0; i <= steps; ++i)
                    path.push(project(place.position.plus(axisOf(k).times(size * grab + distance * i / steps))))
                if (hitTest(path[0].x, path[0].y) === part && path.every(inside)) {
                    at.push(...path)
                    break
                }
                if (at.length === 0 && grab === 0.3)
                    at.push(...path)
            }
        } else {
            // The first point of the ring that is in sight, the handle's own
            // there and not seen edge on.
            for (const grab of [45, 135, 225, 315, 20, 70, 110, 160, 200, 250, 290, 340]) {
                const p = project(ringPoint(k, grab))
                const s = {origin: place.position, axis: axisOf(k), u: axisOf(k + 1), v: axisOf(k + 2)}
                const sight = ray(p.x, p.y).direction.dotProduct(s.axis)
                if (!inside(p) || hitTest(p.x, p.y) !== part || Math.abs(sight) < 0.15)
                    continue
                for (let i = 0; i <= steps; ++i)
                    at.push(project(ringPoint(k, grab + distance * i / steps)))
                break
            }
            if (at.length === 0)
                return {points: [], reason: qsTr("the %1 ring is seen edge on or out of sight").arg(axisNames[part])}
        }
        if (hitTest(at[0].x, at[0].y) !== part)
            return {points: [], reason: qsTr("the %1 arrow is not in sight to grab").arg(axisNames[part])}
        for (const p of at)
            if (!inside(p))
                return {points: [], reason: qsTr("the drag would leave the view at (%1, %2)").arg(Math.round(p.x)).arg(Math.round(p.y))}
        return {points: at.map(p => ({x: p.x, y: p.y})), reason: ""}
    }
}
