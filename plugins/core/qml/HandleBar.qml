// The move handle's settings in the view's bar: the frame whose axes it
// shows (a click cycles World, Parent, Object; the robot panel's jog frame
// for the tool centre point), the steps drags snap to (0: none), and a
// distance or angle typed for one axis that Enter moves by exactly.
// Wraps on a narrow pane.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Flow {
    id: handleBar
    spacing: 3
    // "tcp" moves the robot's tool centre point, "object" the selected object.
    required property string target
    required property int objectId
    required property string tcpFrame
    property string objectFrame: "world"
    readonly property real snapMillimetres: Math.max(0, Number(snapStep.text) || 0)
    readonly property real snapDegrees: Math.max(0, Number(snapAngle.text) || 0)
    readonly property var frames: ["world", "parent", "object"]

    RowLayout {
        spacing: 3
        Button {
            id: handleFrame
            leftPadding: 8
            rightPadding: 8
            enabled: handleBar.target === "object"
            text: {
                const name = handleBar.target === "tcp" ? handleBar.tcpFrame : handleBar.objectFrame
                return name.charAt(0).toUpperCase() + name.slice(1)
            }
            ToolTip.visible: hovered
            ToolTip.text: handleBar.target === "tcp" ? qsTr("The robot panel's jog frame") : qsTr("Axes of the handle")
            onClicked: handleBar.objectFrame = handleBar.frames[(handleBar.frames.indexOf(handleBar.objectFrame) + 1) % 3]
        }
        Label { text: qsTr("Snap") }
        TextField {
            id: snapStep
            text: "0"
            validator: DoubleValidator { bottom: 0 }
            Layout.preferredWidth: 44
            horizontalAlignment: TextInput.AlignRight
        }
        Label { text: qsTr("mm") }
        TextField {
            id: snapAngle
            text: "0"
            validator: DoubleValidator { bottom: 0 }
            Layout.preferredWidth: 36
            horizontalAlignment: TextInput.AlignRight
        }
        Label { text: qsTr("\u00b0") }
    }
    RowLayout {
        spacing: 3
        // The axis a typed distance moves along or about; a click cycles.
        Button {
            id: moveAxis
            readonly property var axes: ["x", "y", "z", "rx", "ry", "rz"]
            property int currentIndex: 0
            readonly property string currentText: axes[currentIndex]
            text: currentText
            leftPadding: 6
            rightPadding: 6
            Layout.preferredWidth: 40
            onClicked: currentIndex = (currentIndex + 1) % axes.length
        }
        TextField {
            id: moveDistance
            placeholderText: moveAxis.currentIndex < 3 ? qsTr("mm") : qsTr("\u00b0")
            validator: DoubleValidator {}
            Layout.preferredWidth: 56
            horizontalAlignment: TextInput.AlignRight
            ToolTip.visible: hovered
            ToolTip.text: qsTr("Move by this along or about the axis: Enter")
            onAccepted: {
                const distance = Number(text)
                if (handleBar.target === "tcp")
                    station.robot.jog(moveAxis.currentText, distance, handleBar.tcpFrame)
                else
                    station.mover.move(handleBar.objectId, moveAxis.currentText, distance, handleBar.objectFrame)
            }
        }
    }
    // What the last move by the handle or by a typed distance did, or why
    // it did nothing (for the tool centre point, as the robot panel says).
    Label {
        id: handleResult
        visible: text.length > 0
        text: handleBar.target === "tcp" ? station.robot.lastResult : station.mover.lastResult
        elide: Text.ElideRight
        width: Math.min(implicitWidth, handleBar.width)
        height: implicitHeight
    }
}
