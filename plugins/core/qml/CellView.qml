// The cell in 3D beside the tree: robots, tools, parts, frames and program
// paths where the station puts them. Drag to orbit, drag with the right
// button (or with Ctrl held) to pan, wheel to zoom; a click picks an object, which
// `picked` reports so that the window selects it; the object named by
// `selectedId` is drawn in the selection colour. A Shift+click (any click
// with "Pick edges" on) names a face and edge of a part instead (FacePick),
// which the bar over the view's foot can add to the selected operation.
// Where this process cannot draw 3D (no OpenGL, or Qt's offscreen
// platform) a short notice stands in.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Pane {
    id: cellView
    objectName: "cellView"
    padding: 0

    required property QtObject scene
    property int selectedId: 0
    readonly property bool available: view.status === Loader.Ready
    readonly property color selectionColour: "#ff00dc"
    // Boxes drawn red over objects (those colliding at the simulation's
    // time): {position, rotation, centre, size} in the station's frame.
    property var highlights: []
    // Ids of objects with a mesh that collide at the simulation's time:
    // their triangles are drawn red.
    property var collidingMeshes: []
    // Where the camera is, in the station's frame: "x y z" in whole
    // millimetres ("" without 3D).
    readonly property string cameraPlace: available ? view.item.cameraPlace : ""
    // The name of what the pointer rests over ("" when nothing, or without 3D).
    readonly property string hoverText: available ? view.item.hoverText : ""
    // The floor grid's step in millimetres (0 without 3D).
    readonly property real gridSpacing: available ? view.item.gridSpacing : 0
    // Measuring (MeasureTool; null without 3D) and clearing it: Escape
    // clears the points, or with none turns measuring off. True when it did
    // something.
    readonly property QtObject measure: available ? view.item.measureTool : null
    function cancelMeasure() {
        if (!measureButton.checked)
            return false
        if (measure && measure.count > 0)
            measure.clear()
        else
            measureButton.checked = false
        return true
    }
    Keys.onEscapePressed: (event) => event.accepted = cancelMeasure()
    signal picked(int objectId)
    // The move handle (MoveHandle, HandleBar): at the robot's tool centre
    // point while the robot panel is open or its robot is selected, else
    // at the selected object.
    readonly property string handleTarget: robotPanel.visible && (robotPanel.expanded || selectedId === station.robot.robotId)
                                           ? "tcp" : "object"
    readonly property string handleFrame: handleTarget === "tcp" ? robotPanel.jogFrameName : handleBar.objectFrame
    readonly property real snapStep: handleBar.snapMillimetres
    readonly property real snapAngle: handleBar.snapDegrees
    // For automation: the frame of the handle's axes (false for a name the
    // handle does not offer), and the points of a drag of its part
    // (0-2 arrows x, y, z, 3-5 rings) by distance in this item's
    // coordinates: {points: [{x, y}], reason}.
    function setHandleFrame(name) {
        if (handleTarget === "tcp")
            return robotPanel.setJogFrame(name)
        if (handleBar.frames.indexOf(name) < 0)
            return false
        handleBar.objectFrame = name
        return true
    }
    function handleDragPath(part, distance, steps) {
        if (!available)
            return {points: [], reason: qsTr("the view draws no 3D here")}
        const path = view.item.handleDragPath(part, distance, steps)
        const points = path.points.map(p => {
            const q = view.item.mapToItem(cellView, p.x, p.y)
            return {x: q.x, y: q.y}
        })
        return {points: points, reason: path.reason}
    }
    function jogKey(event) { return robotPanel.jogKey(event) }

    // Measuring: milliseconds from opening the station to the view's first
    // frame, and frames per second while orbiting `orbitFrames` frames
    // (set it to start; orbitFps is 0 until done).
    readonly property real firstFrameMs: available ? view.item.firstFrameMs : 0
    property int orbitFrames: 0
    readonly property real orbitFps: available ? view.item.orbitFps : 0
    onOrbitFramesChanged: if (available && orbitFrames > 0) view.item.measureOrbit(orbitFrames)

    // Where the centre of the object appears, in this item's coordinates:
    // {x, y, visible}.
    function project(objectId) {
        if (!available)
            return {x: -1, y: -1, visible: false}
        const p = view.item.project(objectId)
        const q = view.item.mapToItem(cellView, p.x, p.y)
        return {x: q.x, y: q.y, visible: p.visible}
    }
    // The object under a point of this item, or 0.
    function pickAtPoint(x, y) {
        if (!available)
            return 0
        const q = mapToItem(view.item, x, y)
        return view.item.pickAt(q.x, q.y)
    }
    // Where a point of the station (mm) appears in this item: {x, y, visible}.
    function projectPoint(point) {
        if (!available)
            return {x: -1, y: -1, visible: false}
        const p = view.item.projectPoint(point)
        const q = view.item.mapToItem(cellView, p.x, p.y)
        return {x: q.x, y: q.y, visible: p.visible}
    }
    function fitAll() { if (available) view.item.fitAll() }
    function fitSelection() { if (available) view.item.fitObject(selectedId) }
    // A standard view ("top", "front", "side", "isometric"); false for
    // another name.
    function lookFrom(side) { return available && view.item.lookFrom(side) }
    // The view from the station's view point of that id; false when there
    // is none.
    function lookFromViewPoint(id) {
        if (!available)
            return false
        const found = scene.viewPoints().find(v => v.id === id)
        if (!found)
            return false
        view.item.lookAlong(found.position, found.direction)
        return true
    }

    onSelectedIdChanged: scene.selectedId = selectedId

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        // The view's commands; on a narrow pane they wrap onto a second
        // line rather than widen the pane over its neighbour.
        Flow {
            id: cellViewBar
            visible: cellView.available
            spacing: 4
            Layout.margins: 4
            Layout.fillWidth: true
            Button {
                id: fitAllButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Fit all")
                onClicked: cellView.fitAll()
            }
            Button {
                id: fitSelectionButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Fit selection")
                enabled: cellView.scene.hasSelection
                onClicked: cellView.fitSelection()
            }
            // Standard views, then the station's saved view points.
            Button {
                id: viewMenuButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("View \u25BE")
                onClicked: {
                    viewPointItems.model = cellView.scene.viewPoints()
                    viewMenu.popup(viewMenuButton, 0, viewMenuButton.height)
                }
                Menu {
                    id: viewMenu
                    MenuItem { objectName: "view/top"; text: qsTr("Top"); onTriggered: cellView.lookFrom("top") }
                    MenuItem { objectName: "view/front"; text: qsTr("Front"); onTriggered: cellView.lookFrom("front") }
                    MenuItem { objectName: "view/side"; text: qsTr("Side"); onTriggered: cellView.lookFrom("side") }
                    MenuItem { objectName: "view/isometric"; text: qsTr("Isometric"); onTriggered: cellView.lookFrom("isometric") }
                    MenuSeparator { visible: viewPointItems.count > 0 }
                    Instantiator {
                        id: viewPointItems
                        model: []
                        delegate: MenuItem {
                            required property var modelData
                            objectName: "viewPoint/" + modelData.id
                            text: modelData.name.length > 0 ? modelData.name : qsTr("View point %1").arg(modelData.id)
                            onTriggered: cellView.lookFromViewPoint(modelData.id)
                        }
                        onObjectAdded: (index, object) => viewMenu.insertItem(5 + index, object)
                        onObjectRemoved: (index, object) => viewMenu.removeItem(object)
                    }
                }
            }
            ShowMenu {
                visibility: cellView.scene.visibility
                selectedId: cellView.selectedId
            }
            // Picking faces and edges: a click names one instead of
            // selecting the object (Shift+click does so without this).
            Button {
                id: pickEdgesButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Pick edges")
                checkable: true
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Click a part to name its face and nearest edge (or Shift+click)")
            }
            // Measuring: clicks place points on shapes instead of selecting.
            Button {
                id: measureButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Measure")
                checkable: true
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Click two points for their distance, a third for the angle at the second")
            }
        }
        Loader {
            id: view
            Layout.fillWidth: true
            Layout.fillHeight: true
            active: cellView.scene.renderable
            source: "CellView3D.qml"
            onLoaded: item.scene = cellView.scene
            // The floor grid's step, over the view's top right corner.
            Label {
                id: gridLabel
                visible: cellView.available
                anchors.top: parent.top
                anchors.right: parent.right
                anchors.margins: 6
                z: 1
                text: qsTr("Grid %1 mm").arg(cellView.gridSpacing)
                opacity: 0.7
            }
            // The move handle's settings over the view's foot, above the
            // pick's bar, so that the view keeps its size and place; only
            // while there is a handle, so that they hide nothing else.
            Rectangle {
                id: handleStrip
                visible: cellView.available && view.item.handleShown && view.height > 2 * height
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.bottomMargin: pickBar.visible ? pickBar.height : 0
                z: 1
                height: handleBar.height + 6
                color: "#99ffffff"
                HandleBar {
                    id: handleBar
                    x: 3
                    y: 3
                    width: parent.width - 6
                    target: cellView.handleTarget
                    objectId: cellView.selectedId
                    tcpFrame: robotPanel.jogFrameName
                }
            }
            Binding {
                target: view.item
                property: "facePicking"
                value: pickEdgesButton.checked
                when: view.status === Loader.Ready
            }
            Binding {
                target: view.item
                property: "measuring"
                value: measureButton.checked
                when: view.status === Loader.Ready
            }
            Binding {
                target: view.item
                property: "footHeight"
                value: (pickBar.visible ? pickBar.height : 0) + (handleStrip.visible ? handleStrip.height : 0)
                when: view.status === Loader.Ready
            }
            Connections {
                target: view.item
                ignoreUnknownSignals: true
                function onPicked(objectId) { cellView.picked(objectId) }
            }
        }
        RobotPanel {
            id: robotPanel
            robot: station.robot
            selectedId: cellView.selectedId
            Layout.fillWidth: true
            Layout.maximumWidth: cellView.width
        }
        Label {
            id: cellViewNotice
            visible: !cellView.available
            text: qsTr("The 3D view needs OpenGL, which is not available here.")
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
            Layout.fillHeight: true
            verticalAlignment: Text.AlignVCenter
            padding: 12
        }
    }
    // What is measured, and what a click does next, over the view's top.
    Rectangle {
        id: measureBar
        parent: view
        z: 1
        visible: cellView.available && measureButton.checked
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.margins: 4
        width: Math.min(parent.width - 8, Math.max(measureText.implicitWidth, measureHint.implicitWidth) + 12)
        height: measureColumn.implicitHeight + 8
        color: "#e6ffffff"
        radius: 3
        // Clicks on the bar are not the view's.
        MouseArea { anchors.fill: parent }
        Column {
            id: measureColumn
            anchors.fill: parent
            anchors.margins: 4
            spacing: 2
            Label {
                id: measureText
                text: cellView.measure ? cellView.measure.text : ""
                visible: text.length > 0
                font.bold: true
                width: parent.width
                elide: Text.ElideRight
            }
            Label {
                id: measureHint
                text: cellView.measure ? cellView.measure.hint : ""
                opacity: 0.75
                width: parent.width
                elide: Text.ElideRight
            }
        }
    }
    // The picked face or edge, and adding the edge to the selected
    // operation: over the view's foot, so that showing it does not resize
    // the view; the view takes no clicks or drags there (footHeight).
    Rectangle {
        id: pickBar
        parent: view
        z: 1
        visible: cellView.available && station.pick.valid
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: pickColumn.implicitHeight + 8
        color: "#e6ffffff"
        ColumnLayout {
            id: pickColumn
            anchors.fill: parent
            anchors.margins: 4
            spacing: 2
            Label {
                id: pickText
                // The pick, the way the selected operation runs it if it
                // follows it, then what was last done with it.
                text: {
                    const said = [station.pick.text, station.travel.pickedText].filter(t => t !== "").join(" \u00b7 ")
                    const done = [station.pick.lastResult, station.travel.lastResult].filter(t => t !== "")
                    return done.length > 0 ? said + "  \u2014  " + done.join("; ") : said
                }
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }
            // On a narrow view the buttons wrap rather than run off it.
            Flow {
                spacing: 4
                Layout.fillWidth: true
                Button {
                    id: addPickedEdgeButton
                    readonly property bool toOperation: station.robot.kindOf(cellView.selectedId) === "operation"
                    // An edge the operation follows already is reversed instead.
                    visible: station.pick.edge >= 0 && station.travel.pickedEdge === 0
                    enabled: toOperation
                    text: toOperation ? qsTr("Add edge to %1").arg(station.selectedTitle) : qsTr("Add edge to operation")
                    ToolTip.visible: hovered
                    ToolTip.text: toOperation ? qsTr("Add the picked edge to the selected operation")
                                              : qsTr("Select an operation first")
                    onClicked: station.pick.addToOperation(cellView.selectedId)
                }
                // The picked edge is one the selected operation follows:
                // turn its direction of travel round.
                Button {
                    id: reversePickedEdgeButton
                    visible: station.travel.pickedEdge > 0
                    text: qsTr("Reverse")
                    ToolTip.visible: hovered
                    ToolTip.text: qsTr("Run edge %1 of the operation the other way").arg(station.travel.pickedEdge)
                    onClicked: station.travel.reversePicked()
                }
                Button {
                    id: clearPickButton
                    text: qsTr("Clear")
                    onClicked: station.pick.clear()
                }
            }
        }
    }
}
