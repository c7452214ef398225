// The robot under the 3D view: its poses one click away, one control per
// joint within its limits (drag, or type a value and press Enter), the tool
// centre point jogged along and about the axes of the world, the work
// object or the tool by a step, and the actions on the selected object:
// go to its target, teach a move into its path, generate its path.
// Every action is one undoable edit; `robotResult` says what it did.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Pane {
    id: robotPanel
    objectName: "robotPanel"
    padding: 4
    required property QtObject robot
    property int selectedId: 0
    readonly property string selectedKind: { robot.robotId; return robot.kindOf(selectedId) }
    // Folded, the panel is one line and the view keeps its room.
    property bool expanded: false
    visible: robot.robotId > 0
    // The frame jogs go in: "world", "wobj" or "tool".
    readonly property string jogFrameName: jogFrame.currentText
    function setJogFrame(name) {
        const index = jogFrame.frames.indexOf(name)
        if (index >= 0)
            jogFrame.current = index
        return index >= 0
    }
    // Keys jog the tool centre point by the panel's step: X, Y, Z along
    // the axes of the jog frame, A, B, C about them (the turns of machine
    // axes about x, y, z); with Shift the other way. True when the key was
    // one of them.
    function jogKey(event) {
        const axes = {[Qt.Key_X]: "x", [Qt.Key_Y]: "y", [Qt.Key_Z]: "z", [Qt.Key_A]: "rx", [Qt.Key_B]: "ry", [Qt.Key_C]: "rz"}
        const axis = axes[event.key]
        if (!axis || robot.robotId === 0 || (event.modifiers & ~(Qt.ShiftModifier | Qt.KeypadModifier)))
            return false
        const step = axis.length === 1 ? Number(jogStep.text) : Number(jogAngle.text)
        robot.jog(axis, (event.modifiers & Qt.ShiftModifier) ? -step : step, jogFrame.currentText)
        event.accepted = true
        return true
    }
    // The panel's buttons pass keys on to it; its fields keep what is typed.
    Keys.onPressed: (event) => {
        const focused = robotPanel.Window.activeFocusItem
        if (!(focused && "echoMode" in focused))
            jogKey(event)
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 2

        // The name takes its width up to two fifths of the row and is cut
        // at its end beyond that; the pose, which changes on every frame of
        // a playback, gets the rest and is cut at its end. Anchored rather
        // than a RowLayout, which left the name no width once the panel
        // showed (it is hidden until the robot, and its name, are known),
        // and the pose drawn over it. Both clip: a label of no width draws
        // its whole text.
        Item {
            Layout.fillWidth: true
            implicitHeight: robotPanelToggle.implicitHeight
            ToolButton {
                id: robotPanelToggle
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: robotPanel.expanded ? "\u25be" : "\u25b8"
                onClicked: robotPanel.expanded = !robotPanel.expanded
            }
            Label {
                id: robotTitle
                anchors.left: robotPanelToggle.right
                anchors.leftMargin: 5
                anchors.verticalCenter: parent.verticalCenter
                width: Math.min(implicitWidth, parent.width * 0.4)
                text: robotPanel.robot.robotName
                font.bold: true
                elide: Text.ElideRight
                clip: true
            }
            Label {
                id: tcpLabel
                anchors.left: robotTitle.right
                anchors.leftMargin: 8
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: robotPanel.robot.tcpText
                elide: Text.ElideRight
                clip: true
            }
        }
        Flow {
            visible: robotPanel.expanded
            Layout.fillWidth: true
            spacing: 4
            Repeater {
                model: robotPanel.robot.poses
                delegate: Button {
                    id: poseButton
                    required property string modelData
                    objectName: "pose/" + modelData
                    text: modelData === "home" ? qsTr("Home") : modelData
                    onClicked: robotPanel.robot.goToPose(modelData)
                }
            }
            Button {
                id: goToTargetButton
                text: qsTr("Go to target")
                enabled: robotPanel.selectedKind === "instruction" || robotPanel.selectedKind === "dataitem"
                onClicked: robotPanel.robot.goToTarget(robotPanel.selectedId)
            }
            Button {
                id: teachButton
                text: qsTr("Teach")
                enabled: robotPanel.robot.pathOf(robotPanel.selectedId) > 0
                onClicked: robotPanel.robot.teach(robotPanel.robot.pathOf(robotPanel.selectedId))
            }
            Button {
                id: generateButton
                text: qsTr("Generate path")
                enabled: robotPanel.selectedKind === "operation"
                onClicked: robotPanel.robot.generate(robotPanel.selectedId)
            }
        }

        Repeater {
            id: jointRows
            model: robotPanel.robot.joints
            delegate: RowLayout {
                id: jointRow
                required property var modelData
                required property int index
                objectName: "joint/" + modelData.name
                visible: robotPanel.expanded
                Layout.fillWidth: true
                Label { text: jointRow.modelData.name; Layout.preferredWidth: 60; elide: Text.ElideRight }
                Slider {
                    id: jointSlider
                    objectName: jointRow.modelData.name
                    from: jointRow.modelData.lower
                    to: jointRow.modelData.upper
                    value: jointRow.modelData.value
                    Layout.fillWidth: true
                    Layout.preferredWidth: 60
                    // The view follows the drag; one drag is one undo step.
                    onMoved: robotPanel.robot.setJoint(jointRow.index, value, true)
                }
                TextField {
                    id: jointValue
                    objectName: jointRow.modelData.name
                    text: jointRow.modelData.value.toFixed(2)
                    Layout.preferredWidth: 60
                    horizontalAlignment: TextInput.AlignRight
                    validator: DoubleValidator {}
                    onAccepted: robotPanel.robot.setJoint(jointRow.index, Number(text))
                }
                Label { text: jointRow.modelData.unit }
            }
        }

        RowLayout {
            visible: robotPanel.expanded
            Label { text: qsTr("Jog in") }
            // Cycles through the frames on each click.
            Button {
                id: jogFrame
                readonly property var frames: ["world", "wobj", "tool"]
                property int current: 0
                readonly property string currentText: frames[current]
                text: currentText
                Layout.preferredWidth: 70
                onClicked: current = (current + 1) % frames.length
            }
            Label { text: qsTr("step") }
            TextField {
                id: jogStep
                text: "10"
                validator: DoubleValidator { bottom: 0 }
                Layout.preferredWidth: 50
            }
            Label { text: qsTr("mm") }
            TextField {
                id: jogAngle
                text: "5"
                validator: DoubleValidator { bottom: 0 }
                Layout.preferredWidth: 40
            }
            Label { text: qsTr("°") }
        }
        GridLayout {
            visible: robotPanel.expanded
            columns: 3
            columnSpacing: 2
            rowSpacing: 2
            Repeater {
                model: ["x", "y", "z", "rx", "ry", "rz"]
                delegate: RowLayout {
                    id: jogPair
                    required property string modelData
                    spacing: 0
                    readonly property real step: modelData.length === 1 ? Number(jogStep.text) : Number(jogAngle.text)
                    Button {
                        objectName: "jog/-" + jogPair.modelData
                        text: "\u2212" + jogPair.modelData.toUpperCase()
                        implicitWidth: 38
                        onClicked: robotPanel.robot.jog(jogPair.modelData, -jogPair.step, jogFrame.currentText)
                    }
                    Button {
                        objectName: "jog/+" + jogPair.modelData
                        text: "+" + jogPair.modelData.toUpperCase()
                        implicitWidth: 38
                        onClicked: robotPanel.robot.jog(jogPair.modelData, jogPair.step, jogFrame.currentText)
                    }
                }
            }
        }
        Label {
            id: robotResult
            visible: robotPanel.expanded
            text: robotPanel.robot.lastResult
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }
}
