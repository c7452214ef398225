// The Core plug-in's window: the station's object tree on the left, the
// selected object's fields on the right, the file and Save above, the status
// below. Every item that an automation script needs has an id; rows made by
// a view also carry an objectName (the object id, the field path) so that
// one of them can be told from the others.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ApplicationWindow {
    id: mainWindow
    objectName: "mainWindow"

    required property QtObject station
    property int initialWidth: 1100
    property int initialHeight: 700

    width: initialWidth
    height: initialHeight
    visible: true
    title: (station.modified ? "* " : "") + (station.filePath.length ? station.filePath : qsTr("No station")) + " - zervan"

    // Closing with unsaved changes asks first.
    property bool discardChanges: false
    onClosing: (close) => {
        if (station.modified && !discardChanges) {
            close.accepted = false
            unsavedDialog.open()
        }
    }

    Dialog {
        id: unsavedDialog
        title: qsTr("Unsaved changes")
        modal: true
        anchors.centerIn: parent
        standardButtons: Dialog.Save | Dialog.Discard | Dialog.Cancel
        Label {
            id: unsavedText
            text: station.savePath.length
                  ? qsTr("Save the changes to %1?").arg(station.savePath)
                  : qsTr("The changes are not saved, and there is no file to save them to.")
        }
        onAccepted: {
            if (station.save())
                mainWindow.close()
        }
        onDiscarded: {
            mainWindow.discardChanges = true
            mainWindow.close()
        }
    }

    header: ToolBar {
        id: toolBar
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            spacing: 8
            Label {
                id: fileLabel
                text: station.filePath
                elide: Text.ElideMiddle
                Layout.fillWidth: true
                Layout.preferredWidth: 2
            }
            TextField {
                id: savePathField
                text: station.savePath
                placeholderText: qsTr("File to save to")
                selectByMouse: true
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                onTextChanged: station.savePath = text
            }
            Button {
                id: saveButton
                text: qsTr("Save")
                enabled: station.loaded
                onClicked: station.save()
            }
        }
    }

    footer: Label {
        id: statusText
        text: station.statusText
        color: station.lastError.length ? "#b00020" : palette.windowText
        padding: 6
        elide: Text.ElideRight
    }

    // Shown instead of the station when it could not be read.
    Pane {
        id: errorPanel
        anchors.fill: parent
        visible: !station.loaded
        ColumnLayout {
            anchors.centerIn: parent
            width: Math.min(parent.width, 800)
            Label {
                id: errorTitle
                text: qsTr("Could not read the station %1").arg(station.filePath)
                font.bold: true
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }
            Label {
                id: errorText
                text: station.errorText
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }
        }
    }

    SplitView {
        id: splitView
        anchors.fill: parent
        visible: station.loaded

        ListView {
            id: stationTree
            SplitView.preferredWidth: mainWindow.width * 0.3
            SplitView.minimumWidth: 150
            clip: true
            model: station.tree
            currentIndex: station.currentRow
            highlightMoveDuration: 0
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            // Selects the first object of that name (tree order), opening
            // its ancestors and scrolling it into view. Returns its row or -1.
            function selectObject(name) {
                const row = station.selectByName(name)
                if (row >= 0)
                    positionViewAtIndex(row, ListView.Contain)
                return row
            }
            function selectObjectId(id) {
                const row = station.selectById(id)
                if (row >= 0)
                    positionViewAtIndex(row, ListView.Contain)
                return row
            }

            delegate: ItemDelegate {
                id: treeRow
                objectName: "object/" + model.objectId
                width: ListView.view.width
                text: model.name
                highlighted: ListView.isCurrentItem
                topPadding: 4
                bottomPadding: 4
                leftPadding: 8 + model.depth * 18
                onClicked: station.select(index)
                onDoubleClicked: station.toggle(index)

                contentItem: RowLayout {
                    spacing: 6
                    ToolButton {
                        id: treeExpander
                        objectName: "expander/" + model.objectId
                        text: model.hasChildren ? (model.expanded ? "\u25BE" : "\u25B8") : ""
                        enabled: model.hasChildren
                        opacity: model.hasChildren ? 1 : 0
                        flat: true
                        padding: 0
                        Layout.preferredWidth: 18
                        Layout.preferredHeight: 18
                        onClicked: station.toggle(index)
                    }
                    Label {
                        id: treeRowName
                        text: model.name
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Label {
                        id: treeRowKind
                        text: model.kind
                        opacity: 0.6
                    }
                }
            }
        }

        // The cell in 3D: a pick selects in the tree, the tree's selection
        // is highlighted in the view.
        CellView {
            id: cellView
            SplitView.preferredWidth: mainWindow.width * 0.35
            SplitView.minimumWidth: 150
            scene: station.scene
            selectedId: station.selectedId
            onPicked: (objectId) => { if (objectId > 0) stationTree.selectObjectId(objectId) }
        }

        ColumnLayout {
            id: fieldPane
            SplitView.fillWidth: true
            spacing: 0
            Label {
                id: selectedTitle
                text: station.selectedTitle
                font.bold: true
                padding: 8
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            ListView {
                id: fieldList
                model: station.fields
                clip: true
                boundsBehavior: Flickable.StopAtBounds
                Layout.fillWidth: true
                Layout.fillHeight: true
                ScrollBar.vertical: ScrollBar {}

                // Scrolls the field of that path into view; returns its row
                // or -1.
                function showField(path) {
                    const row = station.fieldRow(path)
                    if (row >= 0)
                        positionViewAtIndex(row, ListView.Contain)
                    return row
                }

                delegate: RowLayout {
                    id: fieldRow
                    objectName: model.path
                    width: ListView.view.width
                    spacing: 8
                    Label {
                        id: fieldPath
                        text: model.path
                        elide: Text.ElideLeft
                        leftPadding: 8
                        Layout.preferredWidth: 180
                    }
                    TextField {
                        id: fieldValue
                        objectName: model.path
                        text: model.value
                        readOnly: !model.editable
                        selectByMouse: true
                        Layout.fillWidth: true
                        // Enter or leaving the field writes it; the value
                        // comes back as the document now stores it.
                        function apply() {
                            if (text === model.value)
                                return
                            text = station.setField(index, text)
                            text = Qt.binding(function() { return model.value })
                        }
                        onAccepted: apply()
                        onEditingFinished: apply()
                    }
                    Label {
                        id: fieldType
                        text: model.type
                        opacity: 0.6
                        rightPadding: 8
                        Layout.preferredWidth: 90
                    }
                }
            }
        }
    }
}
