// The 3D content of the cell view, loaded only where 3D can be drawn. The
// station's frame (millimetres, z up) is the node `cell`, turned so that its
// z axis points up the screen.
import QtQuick
import QtQuick3D
import QtQuick3D.Helpers
import Zervan.Cell

View3D {
    id: view3d
    objectName: "cellView3D"
    camera: camera
    property QtObject scene
    // Until the user moves the camera, the view keeps the whole cell in
    // sight while it is laid out and its meshes arrive.
    property bool touched: false
    property bool fitting: false
    property bool ready: false
    property real firstFrameMs: 0
    property real orbitFps: 0
    property int orbitLeft: 0
    property real orbitStart: 0
    signal picked(int objectId)
    readonly property string cameraPlace: {
        const p = cell.mapPositionFromScene(camera.scenePosition)
        return Math.round(p.x) + " " + Math.round(p.y) + " " + Math.round(p.z)
    }
    // A click names a face and its nearest edge (station.pick) instead of
    // selecting an object; Shift+click does so always.
    property bool facePicking: false
    // Height of what lies over the view's foot (the pick's bar): clicks
    // and drags there are not the view's.
    property real footHeight: 0

    environment: SceneEnvironment {
        backgroundMode: SceneEnvironment.Color
        clearColor: "#dde3ea"
        antialiasingMode: SceneEnvironment.NoAA
    }

    Node {
        id: orbitOrigin
        eulerRotation: Qt.vector3d(-25, -30, 0)
        PerspectiveCamera {
            id: camera
            position: Qt.vector3d(0, 0, 5000)
            clipNear: 10
            clipFar: 200000
            fieldOfView: 45
            onPositionChanged: if (view3d.ready && !view3d.fitting) view3d.touched = true
            // Light from the viewer, so that what one looks at is lit.
            DirectionalLight { brightness: 0.85 }
        }
    }
    DirectionalLight {
        eulerRotation: Qt.vector3d(-60, 30, 0)
        brightness: 0.45
    }

    Node {
        id: cell
        eulerRotation.x: -90

        // The floor (the station's z = 0 plane) as a grid, and the
        // station's axes at its origin, one grid step long.
        Model {
            id: floorGrid
            objectName: "floorGrid"
            geometry: GridGeometry { spacing: view3d.gridSpacing; count: view3d.gridCount }
            materials: DefaultMaterial { diffuseColor: "#aab3bd"; lighting: DefaultMaterial.NoLighting }
        }
        Model {
            id: originTriad
            geometry: TriadGeometry {}
            scale: Qt.vector3d(view3d.gridSpacing, view3d.gridSpacing, view3d.gridSpacing)
            materials: DefaultMaterial { vertexColorsEnabled: true; lighting: DefaultMaterial.NoLighting }
        }
        Model {
            id: boxModel
            source: "#Cube"
            visible: boxInstances.count > 0
            instancing: SceneInstancing { id: boxInstances; scene: view3d.scene; part: SceneInstancing.Boxes }
            materials: DefaultMaterial { diffuseColor: "white" }
        }
        Model {
            id: triadModel
            visible: triadInstances.count > 0
            geometry: TriadGeometry {}
            instancing: SceneInstancing { id: triadInstances; scene: view3d.scene; part: SceneInstancing.Triads }
            materials: DefaultMaterial { vertexColorsEnabled: true; lighting: DefaultMaterial.NoLighting }
        }
        Model {
            id: pathModel
            visible: pathLines.segments > 0
            geometry: PathGeometry { id: pathLines; scene: view3d.scene }
            materials: DefaultMaterial { diffuseColor: "#ffb000"; lighting: DefaultMaterial.NoLighting }
        }

        Model {
            id: targetModel
            source: "#Sphere"
            visible: targetInstances.count > 0
            instancing: SceneInstancing { id: targetInstances; scene: view3d.scene; part: SceneInstancing.Targets }
            materials: DefaultMaterial { diffuseColor: "white" }
        }

        // Every geometry file's own triangles, read off the window's thread
        // through the geometry cache; picked by those triangles.
        Repeater3D {
            id: meshRepeater
            model: view3d.scene ? view3d.scene.meshes : []
            delegate: Model {
                required property var modelData
                readonly property int objectId: modelData.object
                // Red while it collides at the simulation's time.
                readonly property bool colliding: cellView.collidingMeshes.indexOf(objectId) >= 0
                objectName: "mesh/" + modelData.object
                visible: !modelData.hidden && shape.status === MeshGeometry.Ready
                pickable: true
                position: { view3d.scene.revision; return view3d.scene.positionOf(modelData.object) }
                rotation: { view3d.scene.revision; return view3d.scene.rotationOf(modelData.object) }
                geometry: MeshGeometry {
                    id: shape
                    fileType: modelData.fileType
                    file: modelData.file
                    baseColor: modelData.label === "link" ? "#e8a33c" : "#b4bac2"
                    onLoaded: (minimum, maximum) => {
                        view3d.scene.setMeshBounds(modelData.object, minimum, maximum)
                        view3d.layGrid()
                        view3d.refitLater()
                    }
                    onFailed: (message) => {
                        console.warn("geometry " + file + ": " + message)
                        view3d.scene.setMeshFailed(modelData.object, message)
                    }
                }
                materials: DefaultMaterial { vertexColorsEnabled: true; diffuseColor: colliding ? "#ff3b30" : "white" }
            }
        }

        // Objects drawn as boxes colliding at the simulation's time, red over
        // their shape (meshes turn red themselves, above).
        Repeater3D {
            model: cellView.highlights
            delegate: Node {
                required property var modelData
                position: modelData.position
                rotation: modelData.rotation
                Model {
                    source: "#Cube"
                    position: modelData.centre
                    scale: modelData.size.times(0.0104)
                    materials: DefaultMaterial {
                        diffuseColor: "red"
                        lighting: DefaultMaterial.NoLighting
                        opacity: 0.6
                    }
                }
            }
        }

        // The selected object in the selection colour, over its shape.
        Node {
            visible: view3d.scene && view3d.scene.hasSelection
            position: view3d.scene ? view3d.scene.selectionPosition : Qt.vector3d(0, 0, 0)
            rotation: view3d.scene ? view3d.scene.selectionRotation : Qt.quaternion(1, 0, 0, 0)
            Model {
                source: "#Cube"
                position: view3d.scene ? view3d.scene.selectionCentre : Qt.vector3d(0, 0, 0)
                scale: view3d.scene ? view3d.scene.selectionSize.times(0.0102) : Qt.vector3d(0, 0, 0)
                materials: DefaultMaterial {
                    diffuseColor: cellView.selectionColour
                    lighting: DefaultMaterial.NoLighting
                    opacity: 0.45
                }
            }
            // The box's twelve edges, solid.
            Repeater3D {
                model: 12
                delegate: Model {
                    required property int index
                    readonly property int axis: Math.floor(index / 4)
                    readonly property vector3d size: view3d.scene ? view3d.scene.selectionSize.times(1.02)
                                                                  : Qt.vector3d(0, 0, 0)
                    readonly property real thick: Math.max(2, Math.min(size.x, size.y, size.z) * 0.03)
                    source: "#Cube"
                    position: {
                        const c = view3d.scene ? view3d.scene.selectionCentre : Qt.vector3d(0, 0, 0)
                        const a = (index & 1) ? 0.5 : -0.5
                        const b = (index & 2) ? 0.5 : -0.5
                        if (axis === 0)
                            return Qt.vector3d(c.x, c.y + a * size.y, c.z + b * size.z)
                        if (axis === 1)
                            return Qt.vector3d(c.x + a * size.x, c.y, c.z + b * size.z)
                        return Qt.vector3d(c.x + a * size.x, c.y + b * size.y, c.z)
                    }
                    scale: Qt.vector3d(axis === 0 ? size.x / 100 : thick / 100,
                                       axis === 1 ? size.y / 100 : thick / 100,
                                       axis === 2 ? size.z / 100 : thick / 100)
                    materials: DefaultMaterial {
                        diffuseColor: cellView.selectionColour
                        lighting: DefaultMaterial.NoLighting
                    }
                }
            }
        }

        // The picked face tinted and its edge drawn thick over it, where the
        // object is; the edge some pixels across however near the camera is.
        Node {
            id: pickedShape
            visible: station.pick.valid
            position: { view3d.scene.revision; return view3d.scene.positionOf(station.pick.objectId) }
            rotation: { view3d.scene.revision; return view3d.scene.rotationOf(station.pick.objectId) }
            // Millimetres one pixel spans at the orbit's centre.
            readonly property real pixel: 2 * camera.position.z * Math.tan(camera.fieldOfView * Math.PI / 360)
                                          / Math.max(view3d.height, 1)
            Model {
                objectName: "pickedFace"
                geometry: PickHighlightGeometry {
                    pick: station.pick
                    part: PickHighlightGeometry.Face
                    thickness: pickedShape.pixel
                }
                materials: DefaultMaterial {
                    diffuseColor: "#00b4ff"
                    lighting: DefaultMaterial.NoLighting
                    cullMode: Material.NoCulling
                    opacity: 0.55
                }
            }
            Model {
                objectName: "pickedEdge"
                visible: station.pick.edge >= 0
                geometry: PickHighlightGeometry {
                    pick: station.pick
                    part: PickHighlightGeometry.Edge
                    thickness: 4 * pickedShape.pixel
                }
                materials: DefaultMaterial { diffuseColor: "#10c040"; lighting: DefaultMaterial.NoLighting }
            }
        }
    }

    OrbitCameraController {
        id: orbit
        anchors.fill: parent
        anchors.bottomMargin: view3d.footHeight
        origin: orbitOrigin
        camera: camera
    }
    // Above the controller, so that a click reaches it first; a drag still
    // goes on to orbit.
    Item {
        anchors.fill: parent
        anchors.bottomMargin: view3d.footHeight
        TapHandler {
            id: tapHandler
            acceptedButtons: Qt.LeftButton
            onTapped: (eventPoint) => {
                if (view3d.facePicking || (tapHandler.point.modifiers & Qt.ShiftModifier))
                    view3d.pickFaceAt(eventPoint.position.x, eventPoint.position.y)
                else
                    view3d.picked(view3d.pickAt(eventPoint.position.x, eventPoint.position.y))
            }
        }
    }
    // Pan: drag with the right button (the orbit controller pans with Ctrl).
    DragHandler {
        id: panHandler
        target: null
        acceptedButtons: Qt.RightButton
        property point last
        onActiveChanged: last = centroid.position
        onCentroidChanged: {
            if (!active)
                return
            view3d.pan(centroid.position.x - last.x, centroid.position.y - last.y)
            last = centroid.position
        }
    }

    // The move handle over the cell, above the handlers of clicks and
    // orbits: a press on one of its parts drags it, others go on to them.
    MoveHandle {
        id: moveHandle
        anchors.fill: parent
        view: view3d
        viewCamera: camera
        viewCell: cell
        footHeight: view3d.footHeight
        target: cellView.handleTarget
        objectId: cellView.selectedId
        frame: cellView.handleFrame
        snapStep: cellView.snapStep
        snapAngle: cellView.snapAngle
    }
    function handleDragPath(part, distance, steps) { return moveHandle.dragPath(part, distance, steps) }
    // Keys jog the robot's tool centre point (RobotPanel.jogKey).
    Keys.onPressed: (event) => cellView.jogKey(event)

    Connections {
        target: view3d.scene
        // A structure edit keeps the camera the user chose.
        function onMeshesChanged() {
            view3d.layGrid()
            view3d.refitLater()
        }
        // A station opens on the view it was saved with, else on all of it.
        function onStationOpened() { view3d.openingView() }
    }
    Connections {
        target: orbit
        function onInputsNeedProcessingChanged() { if (orbit.inputsNeedProcessing) view3d.touched = true }
    }
    Connections {
        target: view3d.Window.window
        function onFrameSwapped() {
            if (view3d.firstFrameMs === 0 && view3d.scene)
                view3d.firstFrameMs = view3d.scene.sinceReset
            if (view3d.orbitLeft > 0) {
                orbitOrigin.eulerRotation.y += 3
                if (--view3d.orbitLeft === 0)
                    view3d.orbitFps = view3d.orbitCount * 1000 / (Date.now() - view3d.orbitStart)
            }
        }
    }
    property int orbitCount: 0
    function measureOrbit(frames) {
        orbitFps = 0
        orbitCount = frames
        orbitStart = Date.now()
        orbitLeft = frames
        orbitOrigin.eulerRotation.y += 3
    }
    Component.onCompleted: {
        ready = true
        openingView()
    }
    onSceneChanged: if (ready) openingView()
    // The grid's step: the first round length of at least a sixth of the
    // cell's radius; the grid reaches past the cell on every side.
    property real gridSpacing: 100
    property int gridCount: 10
    function layGrid() {
        const bounds = scene ? scene.sceneBounds() : {valid: false}
        if (!bounds.valid)
            return
        const radius = Math.max(bounds.radius, 100)
        const steps = [10, 25, 50, 100, 250, 500, 1000, 2500, 5000, 10000, 25000, 50000]
        gridSpacing = steps.find(s => s >= radius / 6) || steps[steps.length - 1]
        const reach = Math.hypot(bounds.centre.x, bounds.centre.y) + radius
        gridCount = Math.min(200, Math.ceil(reach / gridSpacing) + 1)
    }
    function openingView() {
        layGrid()
        touched = false
        const last = scene ? scene.lastViewpoint() : {valid: false}
        if (last.valid)
            lookAlong(last.position, last.direction)
        else
            fitAll()
    }

    function toScene(station) { return cell.mapPositionToScene(station) }

    // Names the face (and its nearest edge) of the mesh under the point in
    // station.pick; false, and no pick, where no mesh is.
    function pickFaceAt(x, y) {
        const hit = pick(x, y)
        if (!hit.objectHit || hit.objectHit.objectId === undefined) {
            station.pick.clear()
            return false
        }
        const near = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 0))
        const far = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 1))
        const a = cell.mapPositionFromScene(near)
        const b = cell.mapPositionFromScene(far)
        return station.pick.pickRay(hit.objectHit.objectId, a, b.minus(a))
    }
    // Where a point of the station appears: {x, y, visible}.
    function projectPoint(point) {
        const p = mapFrom3DScene(toScene(point))
        return {x: p.x, y: p.y, visible: p.z > 0 && p.x >= 0 && p.y >= 0 && p.x < width && p.y < height}
    }

    // The nearer of the mesh whose triangles the ray meets and the other
    // shapes (blocks, frames, targets) the scene hits.
    function pickAt(x, y) {
        const near = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 0))
        const far = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 1))
        const a = cell.mapPositionFromScene(near)
        const b = cell.mapPositionFromScene(far)
        const other = scene.pickOther(a, b.minus(a))
        const hit = pick(x, y)
        if (hit.objectHit && hit.objectHit.objectId !== undefined) {
            const along = hit.scenePosition.minus(near).length()
            if (other.object === 0 || along <= other.distance)
                return hit.objectHit.objectId
        }
        return other.object
    }

    // Where the object appears: the centre of its box, or, where that shows
    // something else (the empty middle of a table, a link in front), the
    // nearest point around it that picks the object.
    function project(objectId) {
        const bounds = scene.boundsOf(objectId)
        if (!bounds.valid)
            return {x: -1, y: -1, visible: false}
        const p = mapFrom3DScene(toScene(bounds.centre))
        const inside = (x, y) => x >= 0 && y >= 0 && x < width && y < height
        let at = {x: p.x, y: p.y, visible: p.z > 0 && inside(p.x, p.y)}
        if (!at.visible || pickAt(at.x, at.y) === objectId)
            return at
        for (let r = 4; r <= 240; r += 4) {
            const n = Math.max(8, Math.round(r))
            for (let i = 0; i < n; ++i) {
                const x = p.x + r * Math.cos(2 * Math.PI * i / n)
                const y = p.y + r * Math.sin(2 * Math.PI * i / n)
                if (inside(x, y) && pickAt(x, y) === objectId)
                    return {x: x, y: y, visible: true}
            }
        }
        return at
    }

    function fitSphere(bounds) {
        if (!bounds.valid)
            return
        const radius = Math.max(bounds.radius, 50)
        const half = Math.min(camera.fieldOfView, camera.fieldOfView * width / Math.max(height, 1)) * Math.PI / 360
        const distance = radius / Math.sin(half) * 1.05
        fitting = true
        orbitOrigin.position = toScene(bounds.centre)
        camera.position = Qt.vector3d(0, 0, distance)
        camera.clipNear = Math.max(1, distance / 500)
        camera.clipFar = distance * 50
        fitting = false
    }
    Timer {
        id: refit
        interval: 0
        // Not when the camera was set meanwhile (a saved view, the user).
        onTriggered: if (!view3d.touched) view3d.fitAll()
    }
    function refitLater() { if (!touched) refit.restart() }
    onWidthChanged: refitLater()
    onHeightChanged: refitLater()
    function fitAll() { if (scene) fitSphere(scene.sceneBounds()) }
    function fitObject(objectId) { if (scene) fitSphere(scene.boundsOf(objectId)) }

    // Standard views of the whole cell: "top", "front" (looking along the
    // station's x axis), "side" (along its y axis) and "isometric".
    function lookFrom(side) {
        const angles = {top: [-90, 0], front: [0, -90], side: [0, 0], isometric: [-35.264, -45]}[side]
        if (!angles)
            return false
        orbitOrigin.eulerRotation = Qt.vector3d(angles[0], angles[1], 0)
        fitAll()
        return true
    }
    // A camera at a station position looking along a station direction
    // (a saved view); the orbit turns about the point of that line of sight
    // nearest the cell's centre.
    function lookAlong(position, direction) {
        const from = toScene(position)
        const towards = toScene(position.plus(direction)).minus(from).normalized()
        const bounds = scene ? scene.sceneBounds() : {valid: false}
        const centre = bounds.valid ? toScene(bounds.centre) : from.plus(towards.times(1000))
        const ahead = Math.max(centre.minus(from).dotProduct(towards), 100)
        const reach = Math.max(ahead, bounds.valid ? bounds.radius * 2 : 0)
        fitting = true
        orbitOrigin.position = from.plus(towards.times(ahead))
        // The camera sits on the orbit's +z axis, turned by pitch (about x)
        // then yaw (about y): it looks along -(cos p sin y, -sin p, cos p cos y).
        const degrees = 180 / Math.PI
        orbitOrigin.eulerRotation = Qt.vector3d(Math.asin(Math.max(-1, Math.min(1, towards.y))) * degrees,
                                                Math.atan2(-towards.x, -towards.z) * degrees, 0)
        camera.position = Qt.vector3d(0, 0, ahead)
        camera.clipNear = Math.max(1, ahead / 500)
        camera.clipFar = reach * 50
        fitting = false
        touched = true
    }

    function pan(dx, dy) {
        // Shift the orbit's centre in the camera's plane, by as much as the
        // scene moves under the mouse at that distance.
        const perPixel = 2 * camera.position.z * Math.tan(camera.fieldOfView * Math.PI / 360) / Math.max(height, 1)
        const right = orbitOrigin.right
        const up = orbitOrigin.up
        orbitOrigin.position = orbitOrigin.position.minus(right.times(dx * perPixel)).plus(up.times(dy * perPixel))
        touched = true
    }
}
