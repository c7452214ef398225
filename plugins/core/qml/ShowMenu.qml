// What the 3D view shows, in its bar: the Show menu (one checkable item per
// kind a person thinks in, then hiding the selected object and showing all
// again) and the buttons Hide selected and Show all. This is view state
// (station.scene.visibility): saving does not write it and Undo does not
// take it back; the station's own `visibility` list stays honoured.
import QtQuick
import QtQuick.Controls

Row {
    id: showControls
    spacing: 4
    required property QtObject visibility
    property int selectedId: 0

    Button {
        id: showMenuButton
        leftPadding: 8
        rightPadding: 8
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
        text: qsTr("Show \u25BE")
        onClicked: showMenu.popup(showMenuButton, 0, showMenuButton.height)
        Menu {
            id: showMenu
            Repeater {
                model: [
                    {kind: "robots", text: qsTr("Robots")},
                    {kind: "tools", text: qsTr("Tools")},
                    {kind: "devices", text: qsTr("Devices")},
                    {kind: "parts", text: qsTr("Parts")},
                    {kind: "frames", text: qsTr("Frames and work objects")},
                    {kind: "paths", text: qsTr("Paths (lines and targets)")},
                    {kind: "targets", text: qsTr("Targets")},
                    {kind: "grid", text: qsTr("Floor grid")}
                ]
                delegate: MenuItem {
                    id: showKindItem
                    required property var modelData
                    objectName: "show/" + modelData.kind
                    text: modelData.text
                    checkable: true
                    checked: showControls.visibility.hiddenKinds.indexOf(modelData.kind) < 0
                    onTriggered: {
                        showControls.visibility.setKindShown(modelData.kind, checked)
                        checked = Qt.binding(() => showControls.visibility.hiddenKinds.indexOf(modelData.kind) < 0)
                    }
                }
            }
            MenuSeparator {}
            MenuItem {
                objectName: "show/hideSelected"
                text: hideSelectedButton.text
                enabled: hideSelectedButton.enabled
                onTriggered: hideSelectedButton.clicked()
            }
            MenuItem {
                objectName: "show/all"
                text: showAllButton.text
                enabled: showAllButton.enabled
                onTriggered: showAllButton.clicked()
            }
        }
    }
    // The selected object with everything below it (a robot's links, a
    // part's bodies, a path's targets).
    Button {
        id: hideSelectedButton
        leftPadding: 8
        rightPadding: 8
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
        text: qsTr("Hide selected")
        enabled: showControls.selectedId !== 0
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Hide the selected object and what it holds in the view (not saved)")
        onClicked: showControls.visibility.setObjectShown(showControls.selectedId, false)
    }
    Button {
        id: showAllButton
        leftPadding: 8
        rightPadding: 8
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
        text: qsTr("Show all")
        enabled: showControls.visibility.anyHidden
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Show everything the view hides (the station's own hidden objects stay hidden)")
        onClicked: showControls.visibility.showAll()
    }
}
