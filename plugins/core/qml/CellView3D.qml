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
    // A click places a measuring point instead (before anything else);
    // turned off, the measurement goes.
    property bool measuring: false
    readonly property MeasureTool measureTool: MeasureTool { scene: view3d.scene }
    onMeasuringChanged: {
        hoverText = ""
        if (!measuring)
            measureTool.clear()
    }
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
            visible: !view3d.scene || view3d.scene.visibility.gridShown
            geometry: GridGeometry { spacing: view3d.gridSpacing; count: view3d.gridCount }
            materials: DefaultMaterial { diffuseColor: "#aab3bd"; lighting: DefaultMaterial.NoLighting }
        }
        Model {
            id: originTriad
            visible: floorGrid.visible
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
                // The body of a part drawn from several (0: the object's own file).
                readonly property int bodyId: modelData.body
                // Red while it collides at the simulation's time.
                readonly property bool colliding: cellView.collidingMeshes.indexOf(objectId) >= 0
                objectName: bodyId ? "mesh/" + modelData.object + "/" + bodyId : "mesh/" + modelData.object
                visible: {
                    view3d.scene.revision
                    return !view3d.scene.hides(objectId) && !view3d.scene.hides(bodyId)
                           && shape.status === MeshGeometry.Ready
                }
                // Hidden, it is not picked.
                pickable: visible
                position: { view3d.scene.revision; return view3d.scene.positionOf(modelData.object) }
                rotation: { view3d.scene.revision; return view3d.scene.rotationOf(modelData.object) }
                geometry: MeshGeometry {
                    id: shape
                    fileType: modelData.fileType
                    file: modelData.file
                    baseColor: modelData.label === "link" ? "#e8a33c" : "#b4bac2"
                    onLoaded: (minimum, maximum) => {
                        view3d.scene.setMeshBounds(modelData.object, minimum, maximum, modelData.body)
                        view3d.layGrid()
                        view3d.refitLater()
                    }
                    onFailed: (message) => {
                        console.warn("geometry " + file + ": " + message)
                        view3d.scene.setMeshFailed(modelData.object, message, modelData.body)
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

        // The measurement: its points as balls and lines between them, some
        // pixels across however near the camera is.
        Node {
            id: measureShape
            visible: view3d.measuring
            Repeater3D {
                model: view3d.measureTool.points
                delegate: Model {
                    required property var modelData
                    source: "#Sphere"
                    position: modelData
                    scale: Qt.vector3d(1, 1, 1).times(pickedShape.pixel * 0.09)
                    materials: DefaultMaterial { diffuseColor: view3d.measureColour; lighting: DefaultMaterial.NoLighting }
                }
            }
            Repeater3D {
                model: view3d.measureTool.legs
                delegate: Model {
                    required property var modelData
                    source: "#Cylinder"
                    position: modelData.centre
                    rotation: modelData.rotation
                    scale: Qt.vector3d(pickedShape.pixel * 0.04, modelData.length / 100, pickedShape.pixel * 0.04)
                    materials: DefaultMaterial { diffuseColor: view3d.measureColour; lighting: DefaultMaterial.NoLighting }
                }
            }
        }

        // The selected operation's edges the way its path runs them
        // (station.travel): a colour each, arrowheads along the travel.
        Model {
            objectName: "operationEdges"
            visible: station.travel.edgeCount > 0
            geometry: OperationEdgeGeometry {
                travel: station.travel
                thickness: 3 * pickedShape.pixel
                arrowLength: 40 * pickedShape.pixel
            }
            materials: DefaultMaterial { vertexColorsEnabled: true; lighting: DefaultMaterial.NoLighting }
        }

        // While picking, the face and edge under the pointer, lightly.
        Node {
            id: hoveredShape
            visible: view3d.hovering && station.hoverPick.valid
            position: { view3d.scene.revision; return view3d.scene.positionOf(station.hoverPick.objectId) }
            rotation: { view3d.scene.revision; return view3d.scene.rotationOf(station.hoverPick.objectId) }
            Model {
                objectName: "hoveredFace"
                geometry: PickHighlightGeometry {
                    pick: station.hoverPick
                    part: PickHighlightGeometry.Face
                    thickness: pickedShape.pixel
                }
                materials: DefaultMaterial {
                    diffuseColor: "#00b4ff"
                    lighting: DefaultMaterial.NoLighting
                    cullMode: Material.NoCulling
                    opacity: 0.25
                }
            }
            Model {
                objectName: "hoveredEdge"
                visible: station.hoverPick.edge >= 0
                geometry: PickHighlightGeometry {
                    pick: station.hoverPick
                    part: PickHighlightGeometry.Edge
                    thickness: 2 * pickedShape.pixel
                }
                materials: DefaultMaterial { diffuseColor: "#7be89a"; lighting: DefaultMaterial.NoLighting }
            }
        }
    }

    // The order of the selected operation's edges, where the path starts
    // on each.
    Repeater {
        model: station.travel.labels
        delegate: Rectangle {
            required property var modelData
            readonly property var at: {
                camera.scenePosition; camera.sceneRotation; view3d.width; view3d.height
                return view3d.projectPoint(modelData.position)
            }
            objectName: "edgeOrder/" + modelData.number
            visible: at.visible
            x: at.x - width / 2
            y: at.y - height - 6
            width: orderText.implicitWidth + 8
            height: orderText.implicitHeight + 2
            radius: 3
            color: "#e6ffffff"
            Text {
                id: orderText
                anchors.centerIn: parent
                text: modelData.number
                font.bold: true
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
    // The move handle's drawing (MoveHandle.drawParent): over the cell,
    // under the handlers of clicks and hover.
    Item {
        id: handleLayer
        anchors.fill: parent
    }
    // Above the controller, so that a click reaches it first; a drag still
    // goes on to orbit.
    Item {
        anchors.fill: parent
        anchors.bottomMargin: view3d.footHeight
        // Hover preview while picking (Pick edges on, or Shift held).
        HoverHandler {
            onPointChanged: view3d.hoverLater(point.position, point.modifiers, point.pressedButtons)
            onHoveredChanged: if (!hovered) view3d.hoverOff()
        }
        TapHandler {
            id: tapHandler
            acceptedButtons: Qt.LeftButton
            onTapped: (eventPoint) => {
                if (view3d.measuring)
                    view3d.measureAt(eventPoint.position.x, eventPoint.position.y)
                else if (view3d.facePicking || (tapHandler.point.modifiers & Qt.ShiftModifier))
                    view3d.pickFaceAt(eventPoint.position.x, eventPoint.position.y)
                else
                    view3d.picked(view3d.clickAt(eventPoint.position.x, eventPoint.position.y))
            }
        }
    }
    // The measurement's lengths and angle beside it, where they appear.
    readonly property color measureColour: "#ffe000"
    Repeater {
        model: view3d.measuring ? view3d.measureTool.labels : []
        delegate: Rectangle {
            id: measureLabel
            objectName: "measureLabel"
            required property var modelData
            readonly property vector3d at: {
                camera.scenePosition
                camera.sceneRotation
                view3d.width
                view3d.height
                return view3d.mapFrom3DScene(view3d.toScene(modelData.position))
            }
            visible: at.z > 0
            x: at.x + 8
            y: at.y - height - 8
            width: measureLabelText.implicitWidth + 8
            height: measureLabelText.implicitHeight + 4
            radius: 3
            color: "#e6202020"
            Text {
                id: measureLabelText
                anchors.centerIn: parent
                text: measureLabel.modelData.text
                color: view3d.measureColour
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

    // The name of what is under the pointer, in a small label by it, once
    // the pointer rests a moment: no pick while it moves or a button is down
    // (orbiting stays smooth), none while picking faces (edge picking has
    // its own preview) or measuring (the label would hide the measure).
    property string hoverText: ""
    property point hoverAt
    HoverHandler {
        id: hoverHandler
        onPointChanged: {
            // The window repeats the last position when the scene changes:
            // only a move of the pointer starts the pause anew.
            if (point.position === view3d.hoverAt)
                return
            view3d.hoverText = ""
            view3d.hoverAt = point.position
            hoverPause.restart()
        }
        onHoveredChanged: if (!hovered) { hoverPause.stop(); view3d.hoverText = "" }
    }
    Timer {
        id: hoverPause
        interval: 350
        onTriggered: {
            const p = view3d.hoverAt
            if (!view3d.scene || view3d.facePicking || view3d.measuring || hoverHandler.point.pressedButtons !== Qt.NoButton
                    || tapHandler.pressed || panHandler.active || p.y > view3d.height - view3d.footHeight) {
                view3d.hoverText = ""
                return
            }
            const hit = view3d.hitAt(p.x, p.y)
            view3d.hoverText = hit.object ? view3d.scene.describe(hit.object, hit.body) : ""
        }
    }
    // What is shown changed under a resting pointer: say it anew.
    Connections {
        target: view3d.scene
        function onChanged() { if (view3d.hoverText !== "") hoverPause.restart() }
    }
    Rectangle {
        id: hoverLabel
        objectName: "hoverLabel"
        visible: view3d.hoverText !== ""
        x: Math.min(view3d.hoverAt.x + 14, view3d.width - width - 2)
        y: Math.min(view3d.hoverAt.y + 18, view3d.height - height - 2)
        z: 2
        width: hoverName.implicitWidth + 10
        height: hoverName.implicitHeight + 6
        radius: 3
        color: "#f0ffffe8"
        border.color: "#90808080"
        Text {
            id: hoverName
            anchors.centerIn: parent
            text: view3d.hoverText
            font.pixelSize: 12
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
        drawParent: handleLayer
        footHeight: view3d.footHeight
        target: cellView.handleTarget
        objectId: cellView.selectedId
        frame: cellView.handleFrame
        snapStep: cellView.snapStep
        snapAngle: cellView.snapAngle
    }
    function handleDragPath(part, distance, steps) { return moveHandle.dragPath(part, distance, steps) }
    // Whether the handle stands anywhere (an object it can move is selected,
    // or the tool centre point is its target).
    readonly property bool handleShown: moveHandle.shown
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
    // station.pick (or in `into`, a FacePick); false, and no pick, where no
    // mesh is.
    function pickFaceAt(x, y, into) {
        const target = into || station.pick
        const hit = pick(x, y)
        if (!hit.objectHit || hit.objectHit.objectId === undefined) {
            target.clear()
            return false
        }
        const near = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 0))
        const far = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 1))
        const a = cell.mapPositionFromScene(near)
        const b = cell.mapPositionFromScene(far)
        return target.pickRay(hit.objectHit.bodyId || hit.objectHit.objectId, a, b.minus(a))
    }

    // The hover preview in picking mode: the face and edge under the
    // pointer in station.hoverPick, found at most every 50 ms, and none
    // while a button is down.
    property bool hovering: false
    property point hoverPoint
    onFacePickingChanged: if (!facePicking) hoverOff()
    Timer {
        id: hoverTimer
        interval: 50
        onTriggered: if (view3d.hovering) view3d.pickFaceAt(view3d.hoverPoint.x, view3d.hoverPoint.y, station.hoverPick)
    }
    function hoverOff() {
        hovering = false
        hoverTimer.stop()
        station.hoverPick.clear()
    }
    function hoverLater(position, modifiers, buttons) {
        if (buttons !== Qt.NoButton || !(facePicking || (modifiers & Qt.ShiftModifier) !== 0))
            return hoverOff()
        hovering = true
        hoverPoint = position
        if (!hoverTimer.running)
            hoverTimer.start()
    }
    // Places a measuring point where the ray under the point meets a mesh's
    // triangles or another shape; false where it meets none.
    function measureAt(x, y) {
        const hit = pick(x, y)
        const near = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 0))
        const far = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 1))
        const a = cell.mapPositionFromScene(near)
        const b = cell.mapPositionFromScene(far)
        const mesh = hit.objectHit && hit.objectHit.objectId !== undefined ? hit.objectHit.objectId : 0
        return measureTool.place(mesh, a, b.minus(a))
    }
    // Where a point of the station appears: {x, y, visible}.
    function projectPoint(point) {
        const p = mapFrom3DScene(toScene(point))
        return {x: p.x, y: p.y, visible: p.z > 0 && p.x >= 0 && p.y >= 0 && p.x < width && p.y < height}
    }

    // The nearer of the mesh whose triangles the ray meets and the other
    // shapes (blocks, frames, targets) the scene hits.
    function pickAt(x, y) { return hitAt(x, y).object }
    // The same as {object, body}: body is the body of a part drawn from
    // several that the ray meets, else 0.
    function hitAt(x, y) {
        const near = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 0))
        const far = camera.mapFromViewport(Qt.vector3d(x / width, y / height, 1))
        const a = cell.mapPositionFromScene(near)
        const b = cell.mapPositionFromScene(far)
        const other = scene.pickOther(a, b.minus(a))
        const hit = pick(x, y)
        if (hit.objectHit && hit.objectHit.objectId !== undefined) {
            const along = hit.scenePosition.minus(near).length()
            if (other.object === 0 || along <= other.distance)
                return {object: hit.objectHit.objectId, body: hit.objectHit.bodyId}
        }
        return {object: other.object, body: 0}
    }
    // What a click there selects: the part, or the body once the part (or
    // another of its bodies) is selected.
    function clickAt(x, y) {
        const hit = hitAt(x, y)
        return scene.clickTarget(hit.object, hit.body)
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
        // A body counts where it is hit, its part wherever a body of it is.
        const shows = (x, y) => {
            const hit = hitAt(x, y)
            return hit.object === objectId || hit.body === objectId
        }
        if (!at.visible || shows(at.x, at.y))
            return at
        for (let r = 4; r <= 240; r += 4) {
            const n = Math.max(8, Math.round(r))
            for (let i = 0; i < n; ++i) {
                const x = p.x + r * Math.cos(2 * Math.PI * i / n)
                const y = p.y + r * Math.sin(2 * Math.PI * i / n)
                if (inside(x, y) && shows(x, y))
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
