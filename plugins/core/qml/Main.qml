// The Core plug-in's window: the station's object tree on the left, the
// selected object's fields on the right (further panes go into splitView),
// the menus, the commands, the file, search and Save above, the status
// below. The editor's commands (Open, New, Save, Save As, Undo, Redo, Find)
// are in the menus and on the tool bar and take the platform's standard keys
// wherever the focus is. Every item that an automation script needs has an id; rows made by
// a view also carry an objectName (the object id, the field path) so that
// one of them can be told from the others.
import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts

ApplicationWindow {
    id: mainWindow
    objectName: "mainWindow"

    required property QtObject station
    // Keys the platform's standard sequences lack (Ctrl+Y for Redo on X11).
    required property QtObject commandKeys
    property int initialWidth: 1100
    property int initialHeight: 700

    width: initialWidth
    height: initialHeight
    visible: true
    title: (station.modified ? "* " : "") + (station.filePath.length ? station.filePath : qsTr("No station")) + " - zervan"

    // Closing, opening or starting anew with unsaved changes asks first;
    // what was asked for runs once they are saved or discarded.
    property bool discardChanges: false
    property var pendingAction: null
    function whenSaved(action) {
        if (!station.modified) {
            action()
            return
        }
        pendingAction = action
        unsavedDialog.open()
    }
    function runPending() {
        const action = pendingAction
        pendingAction = null
        if (action)
            action()
    }
    onClosing: (close) => {
        if (station.modified && !discardChanges) {
            close.accepted = false
            pendingAction = function() { mainWindow.discardChanges = true; mainWindow.close() }
            unsavedDialog.open()
        }
    }

    // File dialogs are not items; scripts see them through these.
    readonly property bool openDialogShown: openDialog.visible
    readonly property bool saveAsDialogShown: saveAsDialog.visible
    readonly property bool unsavedDialogShown: unsavedDialog.visible
    readonly property bool rewriteDialogShown: rewriteDialog.visible

    // A local file path from a dialog's URL.
    function localPath(url) {
        const text = url.toString()
        return text.startsWith("file://") ? decodeURIComponent(text.substring(7)) : text
    }
    function saveOrAsk() {
        if (station.savePath.length)
            station.save()
        else
            saveAsDialog.open()
    }

    Action {
        id: openAction
        text: qsTr("Open…")
        shortcut: StandardKey.Open
        onTriggered: mainWindow.whenSaved(function() { openDialog.open() })
    }
    Action {
        id: newAction
        text: qsTr("New")
        shortcut: StandardKey.New
        onTriggered: mainWindow.whenSaved(function() { station.newStation() })
    }
    Action {
        id: saveAction
        text: qsTr("Save")
        shortcut: StandardKey.Save
        enabled: station.loaded
        onTriggered: mainWindow.saveOrAsk()
    }
    Action {
        id: saveAsAction
        text: qsTr("Save As…")
        shortcut: StandardKey.SaveAs
        enabled: station.loaded
        onTriggered: saveAsDialog.open()
    }
    Action {
        id: undoAction
        text: qsTr("Undo")
        shortcut: StandardKey.Undo
        enabled: station.canUndo
        onTriggered: station.undo()
    }
    Action {
        id: redoAction
        text: qsTr("Redo")
        shortcut: StandardKey.Redo
        enabled: station.canRedo
        onTriggered: station.redo()
    }
    Action {
        id: findAction
        text: qsTr("Find")
        shortcut: StandardKey.Find
        onTriggered: {
            findField.forceActiveFocus()
            findField.selectAll()
        }
    }
    Shortcut {
        id: extraRedoShortcut
        sequences: mainWindow.commandKeys.extraRedo
        enabled: redoAction.enabled
        onActivated: redoAction.trigger()
    }
    // Keys that reach an item without a shortcut having taken them (a key
    // sent straight to an item) still run the command.
    function commandFor(event) {
        const commands = [[StandardKey.Open, openAction], [StandardKey.New, newAction],
                          [StandardKey.SaveAs, saveAsAction], [StandardKey.Save, saveAction],
                          [StandardKey.Undo, undoAction], [StandardKey.Redo, redoAction],
                          [StandardKey.Find, findAction]]
        for (const [key, action] of commands) {
            if (event.matches(key))
                return action
        }
        if (commandKeys.isExtraRedo(event.key, event.modifiers))
            return redoAction
        return null
    }
    // In a text field Undo and Redo take back its own typing first.
    function handleFieldCommandKey(field, event) {
        const action = commandFor(event)
        if ((action === undoAction && field.canUndo) || (action === redoAction && field.canRedo))
            return
        handleCommandKey(event)
    }
    function handleCommandKey(event) {
        const action = commandFor(event)
        if (!action)
            return
        event.accepted = true
        if (action.enabled)
            action.trigger()
    }

    FileDialog {
        id: openDialog
        title: qsTr("Open station")
        fileMode: FileDialog.OpenFile
        nameFilters: [qsTr("Stations (*.sdf)"), qsTr("All files (*)")]
        onAccepted: station.openFile(mainWindow.localPath(selectedFile))
    }
    FileDialog {
        id: saveAsDialog
        title: qsTr("Save station as")
        fileMode: FileDialog.SaveFile
        nameFilters: [qsTr("Stations (*.sdf)"), qsTr("All files (*)")]
        defaultSuffix: "sdf"
        onAccepted: station.saveAs(mainWindow.localPath(selectedFile))
    }

    Dialog {
        id: unsavedDialog
        title: qsTr("Unsaved changes")
        modal: true
        anchors.centerIn: parent
        width: Math.min(mainWindow.width - 40, 520)
        standardButtons: Dialog.Save | Dialog.Discard | Dialog.Cancel
        Label {
            id: unsavedText
            // A set width: the dialog's width must not follow the text's.
            width: unsavedDialog.availableWidth
            wrapMode: Text.Wrap
            text: station.savePath.length
                  ? qsTr("Save the changes to %1?").arg(station.savePath)
                  : qsTr("The changes are not saved, and there is no file to save them to.")
        }
        onAccepted: {
            if (!station.savePath.length) {
                mainWindow.pendingAction = null
                saveAsDialog.open()
            } else if (station.save())
                mainWindow.runPending()
            else if (!rewriteDialog.visible)
                mainWindow.pendingAction = null
        }
        onDiscarded: {
            close()
            mainWindow.runPending()
        }
        onRejected: mainWindow.pendingAction = null
    }

    // Saving would write values as the reader took them ("0,5236" as 0):
    // the user sees which, and saves so or goes back to edit them.
    Connections {
        target: station
        function onRewriteQuestion() { rewriteDialog.open() }
    }
    Dialog {
        id: rewriteDialog
        objectName: "rewriteDialog"
        title: qsTr("Values will change")
        modal: true
        anchors.centerIn: parent
        width: Math.min(mainWindow.width - 40, 720)
        ColumnLayout {
            width: rewriteDialog.availableWidth
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("The file holds values the reader took only in part. Saving writes them as they were read, not as the file has them:")
            }
            Label {
                id: rewriteList
                objectName: "rewriteList"
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                font.family: "monospace"
                text: station.textRewrites.join("\n")
            }
        }
        footer: DialogButtonBox {
            Button {
                id: rewriteSaveButton
                objectName: "rewriteSaveButton"
                text: qsTr("Save As Read")
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
            Button {
                id: rewriteCancelButton
                objectName: "rewriteCancelButton"
                text: qsTr("Cancel")
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
        }
        onAccepted: {
            if (station.save(true))
                mainWindow.runPending()
            else
                mainWindow.pendingAction = null
        }
        onRejected: mainWindow.pendingAction = null
    }

    // Adding, deleting, copying and pasting objects (StructureActions.qml).
    StructureActions {
        id: structureActions
        station: mainWindow.station
    }

    // Every command in a menu and on the tool bar, not only on its key.
    menuBar: MenuBar {
        id: menuBar
        Menu {
            id: fileMenu
            title: qsTr("&File")
            MenuItem { id: newMenuItem; action: newAction }
            MenuItem { id: openMenuItem; action: openAction }
            MenuSeparator {}
            MenuItem { id: saveMenuItem; action: saveAction }
            MenuItem { id: saveAsMenuItem; action: saveAsAction }
        }
        Menu {
            id: editMenu
            title: qsTr("&Edit")
            MenuItem { id: undoMenuItem; action: undoAction }
            MenuItem { id: redoMenuItem; action: redoAction }
            MenuSeparator {}
            MenuItem { id: findMenuItem; action: findAction }
            MenuSeparator {}
            // Off: a new parent keeps the object where it is in the cell.
            MenuItem {
                id: keepLocalPoseMenuItem
                text: qsTr("Keep Local Pose on New Parent")
                checkable: true
                checked: station.keepLocalPose
                onCheckedChanged: station.keepLocalPose = checked
            }
        }
        StructureMenu {
            id: objectMenu
            station: mainWindow.station
            actions: structureActions
        }
    }

    header: ToolBar {
        id: toolBar
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            spacing: 8
            ToolButton { id: newButton; action: newAction; display: AbstractButton.TextOnly }
            ToolButton { id: openButton; action: openAction; display: AbstractButton.TextOnly }
            ToolButton { id: saveAsButton; action: saveAsAction; display: AbstractButton.TextOnly }
            ToolSeparator {}
            ToolButton { id: undoButton; action: undoAction; display: AbstractButton.TextOnly }
            ToolButton { id: redoButton; action: redoAction; display: AbstractButton.TextOnly }
            ToolButton { id: findButton; action: findAction; display: AbstractButton.TextOnly }
            ToolSeparator {}
            Label {
                id: fileLabel
                text: station.filePath
                elide: Text.ElideMiddle
                Layout.fillWidth: true
                Layout.preferredWidth: 2
            }
            TextField {
                id: findField
                placeholderText: qsTr("Find name, kind or id")
                selectByMouse: true
                Layout.preferredWidth: 200
                onTextChanged: station.filter = text
                Keys.onEscapePressed: text = ""
                Keys.onReturnPressed: stationTree.forceActiveFocus()
                Keys.onDownPressed: stationTree.forceActiveFocus()
                Keys.onPressed: (event) => mainWindow.handleFieldCommandKey(findField, event)
            }
            TextField {
                id: savePathField
                text: station.savePath
                placeholderText: qsTr("File to save to")
                selectByMouse: true
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                onTextChanged: station.savePath = text
                Keys.onPressed: (event) => mainWindow.handleFieldCommandKey(savePathField, event)
            }
            Button {
                id: saveButton
                text: qsTr("Save")
                enabled: station.loaded
                onClicked: mainWindow.saveOrAsk()
            }
        }
    }

    footer: ColumnLayout {
        id: footerColumn
        spacing: 0

        SimulationPanel {
            id: simulationPanel
            simulation: station.simulation
            visible: station.loaded
            Layout.fillWidth: true
        }

        // The id check's findings; a click selects the object concerned.
        Pane {
            id: problemsPanel
            property bool expanded: true
            visible: station.loaded && station.problemCount > 0
            padding: 0
            Layout.fillWidth: true
            ColumnLayout {
                anchors.left: parent.left
                anchors.right: parent.right
                spacing: 0
                ItemDelegate {
                    id: problemsHeading
                    text: (problemsPanel.expanded ? "\u25BE " : "\u25B8 ")
                          + (station.problemCount === 1 ? qsTr("1 problem")
                                                        : qsTr("%1 problems").arg(station.problemCount))
                    font.bold: true
                    palette.text: "#b00020"
                    palette.windowText: "#b00020"
                    topPadding: 4
                    bottomPadding: 4
                    Layout.fillWidth: true
                    onClicked: problemsPanel.expanded = !problemsPanel.expanded
                }
                ListView {
                    id: problemList
                    model: station.problems
                    visible: problemsPanel.expanded
                    clip: true
                    boundsBehavior: Flickable.StopAtBounds
                    Layout.fillWidth: true
                    Layout.preferredHeight: Math.min(contentHeight, 120)
                    ScrollBar.vertical: ScrollBar {}
                    delegate: ItemDelegate {
                        id: problemRow
                        objectName: model.path.length ? model.path : model.kind + "/" + model.objectId
                        width: ListView.view.width
                        text: (model.place.length ? model.place + ": " : "") + (model.path.length ? model.message + "  \u2014  " + model.path : model.message)
                        topPadding: 2
                        bottomPadding: 2
                        leftPadding: 24
                        onClicked: {
                            const row = station.selectProblem(index)
                            if (row >= 0)
                                stationTree.positionViewAtIndex(row, ListView.Contain)
                        }
                    }
                }
            }
        }

        Label {
            id: statusText
            text: station.statusText
            color: station.lastError.length ? "#b00020"
                 : station.feedbackLevel === "warning" ? "#9a5b00" : palette.windowText
            padding: 6
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }

    // Shown instead of the station when it could not be read.
    Pane {
        id: errorPanel
        anchors.fill: parent
        visible: !station.loaded && !station.loading
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

    // While a station is read and its tree built (on another thread), the
    // window goes on painting and shows how far it got.
    Frame {
        id: loadingPanel
        visible: station.loading
        anchors.centerIn: parent
        z: 10
        padding: 24
        background: Rectangle {
            color: palette.window
            border.color: palette.mid
            radius: 4
        }
        ColumnLayout {
            spacing: 8
            BusyIndicator {
                id: loadingIndicator
                running: station.loading
                Layout.alignment: Qt.AlignHCenter
            }
            Label {
                id: loadingText
                text: station.loadingText
                Layout.alignment: Qt.AlignHCenter
            }
            Button {
                id: cancelLoadButton
                text: qsTr("Cancel")
                enabled: station.loadCancellable
                Layout.alignment: Qt.AlignHCenter
                onClicked: station.cancelLoading()
            }
        }
    }

    SplitView {
        id: splitView
        anchors.fill: parent
        visible: station.loaded
        // No edits to a station about to be replaced.
        enabled: !station.loading

        ListView {
            id: stationTree
            SplitView.preferredWidth: mainWindow.width * 0.25
            SplitView.minimumWidth: 150
            clip: true
            focus: true
            model: station.tree
            currentIndex: station.currentRow
            highlightMoveDuration: 0
            boundsBehavior: Flickable.StopAtBounds
            keyNavigationEnabled: false
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
            // Up and Down move the selection, Left closes a row or goes to
            // its parent, Right opens it or goes to its first child, Enter
            // opens or closes it.
            Keys.onPressed: (event) => {
                if (station.treeKey(event.key)) {
                    event.accepted = true
                    if (station.currentRow >= 0)
                        positionViewAtIndex(station.currentRow, ListView.Contain)
                    return
                }
                // Cut, Copy, Paste, Delete and Duplicate of the selected object.
                if (structureActions.handleKey(event))
                    return
                // Escape ends a measurement in the view.
                if (event.key === Qt.Key_Escape && cellView.cancelMeasure()) {
                    event.accepted = true
                    return
                }
                mainWindow.handleCommandKey(event)
            }

            Label {
                id: treeEmptyText
                anchors.centerIn: parent
                visible: stationTree.count === 0 && station.filter.length > 0
                text: qsTr("No object matches \"%1\"").arg(station.filter)
                opacity: 0.7
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
                onClicked: {
                    stationTree.forceActiveFocus()
                    station.select(index)
                }
                onDoubleClicked: station.toggle(index)

                contentItem: Item {
                    implicitHeight: Math.max(treeExpander.implicitHeight, treeRowName.implicitHeight)
                    ToolButton {
                        id: treeExpander
                        objectName: "expander/" + model.objectId
                        text: model.hasChildren ? (model.expanded ? "\u25BE" : "\u25B8") : ""
                        enabled: model.hasChildren
                        opacity: model.hasChildren ? 1 : 0
                        flat: true
                        padding: 0
                        width: 18
                        height: 18
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: station.toggle(index)
                    }
                    Label {
                        id: treeRowName
                        text: model.name
                        // An object without a name shows its kind and id in
                        // italics, so it is not a blank row.
                        font.italic: model.unnamed
                        opacity: model.unnamed ? 0.75 : 1
                        elide: Text.ElideRight
                        anchors.left: treeExpander.right
                        anchors.leftMargin: 6
                        anchors.right: treeRowKind.left
                        anchors.rightMargin: 6
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    Label {
                        id: treeRowKind
                        text: model.kind
                        opacity: 0.6
                        anchors.right: treeDragGrip.left
                        anchors.rightMargin: 4
                        anchors.verticalCenter: parent.verticalCenter
                    }
                    // Dragged onto another row, it makes that row's object
                    // the parent (treeDropArea). A grip of its own, so that
                    // the row's clicks and the list's flicking stay as they
                    // are.
                    Item {
                        id: treeDragGrip
                        objectName: "grip/" + model.objectId
                        width: 16
                        height: parent.height
                        anchors.right: parent.right
                        Label {
                            anchors.centerIn: parent
                            text: "\u2261"
                            opacity: treeGripArea.containsMouse || treeGripArea.drag.active ? 0.9 : 0.35
                        }
                        MouseArea {
                            id: treeGripArea
                            anchors.fill: parent
                            hoverEnabled: true
                            preventStealing: true
                            cursorShape: drag.active ? Qt.ClosedHandCursor : Qt.OpenHandCursor
                            drag.target: treeDragProxy
                            onReleased: {
                                if (drag.active)
                                    treeDragProxy.Drag.drop()
                                treeDragProxy.x = treeDragGrip.width - treeDragProxy.width
                                treeDragProxy.y = 0
                            }
                        }
                        // The object's name, following the pointer.
                        Rectangle {
                            id: treeDragProxy
                            readonly property int objectId: model.objectId
                            opacity: treeGripArea.drag.active ? 0.85 : 0
                            x: treeDragGrip.width - width
                            width: treeDragName.implicitWidth + 12
                            height: treeDragGrip.height
                            color: palette.highlight
                            radius: 3
                            Drag.active: treeGripArea.drag.active
                            Drag.keys: ["zervan/object"]
                            Drag.source: treeDragProxy
                            Drag.hotSpot.x: width - treeDragGrip.width / 2
                            Drag.hotSpot.y: height / 2
                            Label {
                                id: treeDragName
                                anchors.centerIn: parent
                                text: model.name
                                color: palette.highlightedText
                            }
                        }
                    }
                }
                // Over the row while the drag is: green where dropping
                // makes this object the parent, red where it can not be.
                readonly property bool dragOver: treeDropArea.containsDrag
                z: treeGripArea.drag.active ? 10 : 1
                DropArea {
                    id: treeDropArea
                    anchors.fill: parent
                    keys: ["zervan/object"]
                    property string refusal: ""
                    onEntered: (drag) => refusal = station.parentRefusal(drag.source.objectId, model.objectId)
                    onDropped: (drop) => {
                        const id = drop.source.objectId
                        const parentId = model.objectId
                        drop.accept()
                        // Once the drag is over: the tree is built anew.
                        Qt.callLater(() => station.dropOnto(id, parentId))
                    }
                    Rectangle {
                        anchors.fill: parent
                        visible: treeDropArea.containsDrag
                        color: "transparent"
                        border.width: 2
                        border.color: treeDropArea.refusal.length ? "#b00020" : "#0a7d2c"
                    }
                }
            }
        }

        // The cell in 3D: a pick selects in the tree, the tree's selection
        // is highlighted in the view.
        CellView {
            id: cellView
            SplitView.preferredWidth: mainWindow.width * 0.3
            SplitView.minimumWidth: 150
            scene: station.scene
            selectedId: station.selectedId
            highlights: station.simulation.collisionBoxes
            collidingMeshes: station.simulation.collidingMeshes
            // A click on empty space clears the selection.
            onPicked: (objectId) => {
                if (objectId > 0)
                    stationTree.selectObjectId(objectId)
                else
                    station.clearSelection()
            }
        }

        ColumnLayout {
            id: fieldPane
            SplitView.fillWidth: true
            SplitView.minimumWidth: 200
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

                // The groups (paths of nested fields) that are closed.
                property var closedGroups: ({})
                function groupClosed(group) {
                    for (const closed in closedGroups) {
                        if (closedGroups[closed] && (group === closed || group.startsWith(closed + "/")))
                            return true
                    }
                    return false
                }
                function toggleGroup(group) {
                    const groups = Object.assign({}, closedGroups)
                    groups[group] = !groups[group]
                    closedGroups = groups
                }

                // Scrolls the field of that path into view, opening its
                // group; returns its row or -1.
                function showField(path) {
                    const row = station.fieldRow(path)
                    if (row >= 0) {
                        if (groupClosed(station.fieldGroup(row))) {
                            const groups = Object.assign({}, closedGroups)
                            for (const closed in groups) {
                                const group = station.fieldGroup(row)
                                if (group === closed || group.startsWith(closed + "/"))
                                    groups[closed] = false
                            }
                            closedGroups = groups
                        }
                        positionViewAtIndex(row, ListView.Contain)
                    }
                    return row
                }

                section.property: "group"
                section.delegate: ItemDelegate {
                    id: fieldGroupHeading
                    objectName: section
                    width: ListView.view.width
                    // The object's own fields have no heading (the view
                    // shows every section item, so it is made empty).
                    height: section.length ? implicitHeight : 0
                    opacity: section.length ? 1 : 0
                    enabled: section.length > 0
                    topPadding: 2
                    bottomPadding: 2
                    leftPadding: 8 + (section.split("/").length - 1) * 12
                    font.bold: true
                    text: (fieldList.closedGroups[section] ? "\u25B8 " : "\u25BE ") + section
                    onClicked: fieldList.toggleGroup(section)
                }

                delegate: Item {
                    id: fieldRowItem
                    // For the pose's own fields, which have a model of
                    // their own.
                    readonly property var poseParts: model.poseParts
                    readonly property bool editable: model.editable
                    width: ListView.view.width
                    visible: !fieldList.groupClosed(model.group)
                    height: visible ? fieldRowColumn.implicitHeight : 0

                    ColumnLayout {
                        id: fieldRowColumn
                        anchors.left: parent.left
                        anchors.right: parent.right
                        spacing: 0
                        RowLayout {
                            id: fieldRow
                            objectName: model.path
                            spacing: 8
                            Layout.fillWidth: true
                            Label {
                                id: fieldPath
                                // Within its group only the last piece is
                                // shown; the whole path is the tooltip.
                                text: model.label
                                elide: Text.ElideRight
                                leftPadding: 8 + (model.group.length ? model.group.split("/").length * 12 : 0)
                                Layout.preferredWidth: 130
                                ToolTip.visible: fieldPathMouse.containsMouse
                                ToolTip.text: model.path
                                MouseArea {
                                    id: fieldPathMouse
                                    anchors.fill: parent
                                    hoverEnabled: true
                                    acceptedButtons: Qt.NoButton
                                }
                            }
                            TextField {
                                id: fieldValue
                                objectName: model.path
                                text: model.value ?? ""
                                readOnly: !model.editable
                                selectByMouse: true
                                Layout.fillWidth: true
                                color: model.path === station.feedbackPath && station.feedbackLevel === "error"
                                       ? "#b00020" : palette.text
                                // Enter or leaving the field writes it; the
                                // value comes back as the document now
                                // stores it, or, refused, stays as typed.
                                function apply() {
                                    if (readOnly || text === (model.value ?? ""))
                                        return
                                    text = station.setField(index, text)
                                    if (station.feedbackLevel !== "error")
                                        text = Qt.binding(function() { return model.value ?? "" })
                                }
                                onAccepted: apply()
                                onEditingFinished: apply()
                                Keys.onEscapePressed: {
                                    text = Qt.binding(function() { return model.value ?? "" })
                                    station.clearFeedback()
                                }
                                // Undo and Redo take back typing first, then
                                // stored changes; other commands see the
                                // field's value stored.
                                Keys.onPressed: (event) => {
                                    const action = mainWindow.commandFor(event)
                                    if (!action)
                                        return
                                    const editing = text !== (model.value ?? "")
                                    if (editing && (action === undoAction || action === redoAction))
                                        return
                                    apply()
                                    mainWindow.handleCommandKey(event)
                                }
                            }
                            // The unit the value is shown and typed in.
                            Label {
                                id: fieldUnit
                                objectName: model.path
                                text: model.unit
                                visible: text.length > 0
                                Layout.maximumWidth: 140
                                elide: Text.ElideRight
                            }
                            Label {
                                id: fieldType
                                text: model.type
                                opacity: 0.6
                                rightPadding: 8
                                Layout.preferredWidth: 80
                            }
                        }
                        // A pose's position and angles, each a field of its
                        // own; Enter or leaving one writes it.
                        RowLayout {
                            id: poseRow
                            objectName: model.path
                            visible: model.poseParts.length === 6
                            spacing: 4
                            Layout.leftMargin: 146
                            Layout.rightMargin: 8
                            Layout.fillWidth: true
                            readonly property var partNames: ["x", "y", "z", "rx", "ry", "rz"]
                            readonly property int fieldIndex: index
                            Repeater {
                                model: poseRow.visible ? 6 : 0
                                delegate: TextField {
                                    id: posePart
                                    required property int index
                                    objectName: fieldRow.objectName + "/" + poseRow.partNames[index]
                                    readonly property string shownText: (fieldRowItem.poseParts[index] ?? "")
                                    text: shownText
                                    readOnly: !fieldRowItem.editable
                                    selectByMouse: true
                                    leftPadding: 22
                                    Layout.fillWidth: true
                                    Layout.preferredWidth: 40
                                    Label {
                                        text: poseRow.partNames[posePart.index]
                                        opacity: 0.6
                                        x: 4
                                        anchors.verticalCenter: parent.verticalCenter
                                    }
                                    ToolTip.visible: hovered
                                    ToolTip.text: posePart.index < 3 ? qsTr("mm") : qsTr("degrees")
                                    function apply() {
                                        if (readOnly || text === shownText)
                                            return
                                        text = station.setPosePart(poseRow.fieldIndex, index, text)
                                        if (station.feedbackLevel !== "error")
                                            text = Qt.binding(function() { return posePart.shownText })
                                    }
                                    onAccepted: apply()
                                    onEditingFinished: apply()
                                    Keys.onEscapePressed: text = Qt.binding(function() { return posePart.shownText })
                                }
                            }
                        }
                        // What the value means: the name of the object an id
                        // names, a pose's position and angles.
                        Label {
                            id: fieldNote
                            objectName: model.path
                            visible: text.length > 0
                            text: model.note ?? ""
                            color: model.dangling ? "#b00020" : palette.windowText
                            opacity: model.dangling ? 1 : 0.7
                            leftPadding: 146
                            rightPadding: 8
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        // Why the last entry was refused (error colour) or
                        // what storing it changed (warning colour).
                        Label {
                            id: fieldMessage
                            objectName: model.path
                            visible: model.path === station.feedbackPath && station.feedbackText.length > 0
                            text: visible ? station.feedbackText : ""
                            color: station.feedbackLevel === "error" ? "#b00020" : "#9a5b00"
                            font.bold: true
                            wrapMode: Text.Wrap
                            leftPadding: 146
                            rightPadding: 8
                            Layout.fillWidth: true
                        }
                    }
                }
            }
        }
    }
}
