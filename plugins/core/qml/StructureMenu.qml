// The Object menu: Add offers the kinds of object the catalogue lets the
// selected object hold (station.addableKinds), then the structure commands.
import QtQuick
import QtQuick.Controls

Menu {
    id: objectMenu
    title: qsTr("&Object")
    required property QtObject station
    required property Item actions

    Menu {
        id: addMenu
        title: qsTr("Add")
        enabled: objectMenu.station.addableKinds.length > 0
        Instantiator {
            model: objectMenu.station.addableKinds
            delegate: MenuItem {
                id: addKindItem
                objectName: "add/" + modelData
                text: modelData
                onTriggered: objectMenu.station.addObject(modelData, 0)
            }
            onObjectAdded: (index, object) => addMenu.insertItem(index, object)
            onObjectRemoved: (index, object) => addMenu.removeItem(object)
        }
    }
    MenuItem { id: importMenuItem; action: objectMenu.actions.importGeometry }
    MenuSeparator {}
    MenuItem { id: duplicateMenuItem; action: objectMenu.actions.duplicate }
    MenuItem { id: cutMenuItem; action: objectMenu.actions.cut }
    MenuItem { id: copyMenuItem; action: objectMenu.actions.copy }
    MenuItem { id: pasteMenuItem; action: objectMenu.actions.paste }
    MenuSeparator {}
    MenuItem { id: deleteMenuItem; action: objectMenu.actions.remove }
    // The 3D view's show and hide (view state, not an edit).
    MenuSeparator {}
    MenuItem {
        id: hideInViewMenuItem
        text: qsTr("Hide in View")
        enabled: objectMenu.station.selectedId !== 0
        onTriggered: objectMenu.station.scene.visibility.setObjectShown(objectMenu.station.selectedId, false)
    }
    MenuItem {
        id: showAllInViewMenuItem
        text: qsTr("Show All in View")
        enabled: objectMenu.station.scene.visibility.anyHidden
        onTriggered: objectMenu.station.scene.visibility.showAll()
    }
}
