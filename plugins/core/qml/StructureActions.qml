// The commands that change the station's structure (Duplicate, Cut, Copy,
// Paste, Delete) with their keys, and the dialog that lists, before a
// delete, the references it leaves: the user clears them or leaves them
// dangling. An item of the window, so that the keys work wherever the
// focus is (a text field keeps its own copy and paste keys).
import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts

Item {
    id: structureActions
    required property QtObject station

    readonly property bool canEdit: station.loaded && station.selectedId > 0
    // The station itself can not be deleted, cut or duplicated.
    readonly property bool canRemove: canEdit && station.selectedId !== 1
    property alias duplicate: duplicateAction
    property alias cut: cutAction
    property alias copy: copyAction
    property alias paste: pasteAction
    property alias remove: deleteAction
    property alias importGeometry: importAction
    readonly property bool deleteDialogShown: deleteDialog.visible
    readonly property bool importDialogShown: importDialog.visible

    // Asks before deleting (or cutting) the object when anything refers to
    // it; deletes at once otherwise.
    function askDelete(objectId, cutting) {
        deleteDialog.objectId = objectId
        deleteDialog.cutting = cutting
        deleteDialog.references = station.referencesTo(objectId)
        deleteDialog.open()
    }

    // A key sent to the tree runs the command it stands for; true when it
    // did (the event is then taken).
    function handleKey(event) {
        const commands = [[StandardKey.Cut, cutAction], [StandardKey.Copy, copyAction],
                          [StandardKey.Paste, pasteAction], [StandardKey.Delete, deleteAction]]
        let action = null
        for (const [key, command] of commands) {
            if (event.matches(key))
                action = command
        }
        if (event.key === Qt.Key_D && event.modifiers === Qt.ControlModifier)
            action = duplicateAction
        if (!action)
            return false
        event.accepted = true
        if (action.enabled)
            action.trigger()
        return true
    }

    Action {
        id: duplicateAction
        text: qsTr("Duplicate")
        shortcut: "Ctrl+D"
        enabled: structureActions.canRemove
        onTriggered: structureActions.station.duplicateObject(structureActions.station.selectedId)
    }
    Action {
        id: cutAction
        text: qsTr("Cut")
        shortcut: StandardKey.Cut
        enabled: structureActions.canRemove
        onTriggered: structureActions.askDelete(structureActions.station.selectedId, true)
    }
    Action {
        id: copyAction
        text: qsTr("Copy")
        shortcut: StandardKey.Copy
        enabled: structureActions.canRemove
        onTriggered: structureActions.station.copyObject(structureActions.station.selectedId)
    }
    Action {
        id: pasteAction
        text: qsTr("Paste")
        shortcut: StandardKey.Paste
        enabled: structureActions.canEdit
        onTriggered: structureActions.station.paste(0)
    }
    Action {
        id: deleteAction
        text: qsTr("Delete…")
        shortcut: StandardKey.Delete
        enabled: structureActions.canRemove
        onTriggered: structureActions.askDelete(structureActions.station.selectedId, false)
    }

    Action {
        id: importAction
        text: qsTr("Import Geometry…")
        enabled: structureActions.station.loaded
        onTriggered: importDialog.open()
    }
    // A CAD or mesh file becomes a new part with a body showing it.
    FileDialog {
        id: importDialog
        title: qsTr("Import geometry as a part")
        nameFilters: [qsTr("CAD and mesh files (*.step *.stp *.iges *.igs *.brep *.stl *.obj *.ply *.gltf *.glb *.3mf)"),
                      qsTr("All files (*)")]
        onAccepted: {
            const text = selectedFile.toString()
            structureActions.station.importGeometry(text.startsWith("file://") ? decodeURIComponent(text.substring(7)) : text, 0)
        }
    }

    Dialog {
        id: deleteDialog
        objectName: "deleteDialog"
        property int objectId: 0
        property bool cutting: false
        property var references: []
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(parent ? parent.width - 80 : 600, 640)
        modal: true
        title: cutting ? qsTr("Cut %1?").arg(structureActions.station.selectedTitle)
                       : qsTr("Delete %1?").arg(structureActions.station.selectedTitle)

        function finish(clear) {
            close()
            if (cutting)
                structureActions.station.cutObject(objectId, clear)
            else
                structureActions.station.deleteObject(objectId, clear)
        }

        ColumnLayout {
            anchors.fill: parent
            spacing: 8
            Label {
                id: deleteDialogText
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: deleteDialog.references.length === 0
                      ? qsTr("It goes with everything below it. Nothing else refers to it.")
                      : deleteDialog.references.length === 1
                        ? qsTr("It goes with everything below it. One reference to it or to what is below it stays behind:")
                        : qsTr("It goes with everything below it. %1 references to it or to what is below it stay behind:").arg(deleteDialog.references.length)
            }
            ListView {
                id: deleteReferenceList
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight, 220)
                clip: true
                visible: deleteDialog.references.length > 0
                model: deleteDialog.references
                delegate: Label {
                    id: deleteReferenceRow
                    objectName: modelData.split(" ")[0]
                    width: ListView.view.width
                    text: modelData
                    font.family: "monospace"
                    elide: Text.ElideMiddle
                }
            }
        }

        footer: DialogButtonBox {
            Button {
                id: deleteClearButton
                text: deleteDialog.references.length === 0 ? (deleteDialog.cutting ? qsTr("Cut") : qsTr("Delete"))
                                                            : qsTr("Clear References")
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
                onClicked: deleteDialog.finish(true)
            }
            Button {
                id: deleteKeepButton
                text: qsTr("Leave Dangling")
                visible: deleteDialog.references.length > 0
                DialogButtonBox.buttonRole: DialogButtonBox.ApplyRole
                onClicked: deleteDialog.finish(false)
            }
            Button {
                id: deleteCancelButton
                text: qsTr("Cancel")
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
                onClicked: deleteDialog.close()
            }
        }
    }
}
