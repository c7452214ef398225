import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The plug-in's window: the station it was given and how many objects
// that station holds. Items carry QML ids so that scripts find them.
Window {
    id: helloWindow
    required property string station
    required property int objectCount
    required property string problem

    width: 420
    height: 180
    visible: true
    title: "Hello from a plug-in"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        Label {
            id: stationLabel
            objectName: "stationLabel"
            text: helloWindow.station.length > 0 ? helloWindow.station : "no station given"
            elide: Text.ElideMiddle
            Layout.fillWidth: true
        }
        Label {
            id: objectCountLabel
            objectName: "objectCountLabel"
            text: helloWindow.problem.length > 0 ? helloWindow.problem
                                                 : helloWindow.objectCount + " objects"
            font.bold: true
        }
        Button {
            id: closeButton
            objectName: "closeButton"
            text: "Close"
            onClicked: helloWindow.close()
        }
    }
}
