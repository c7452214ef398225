// The motion simulation below the station: Run, the playback controls with
// the time slider and the playback speed, the cycle time of every path and
// task, and every event of the run as a row (a click goes to its time).
// Restore State takes the station back to the state saved before the run;
// States saves the present one and puts back any saved one.
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Pane {
    id: simulationPanel
    required property QtObject simulation
    padding: 4
    // Frames the window showed per second over the last playback (0 before
    // one ended), for measuring the view.
    property real playbackFps: 0
    property int playbackFrames: 0
    property real playbackStart: 0

    Connections {
        target: simulationPanel.simulation
        function onPlayingChanged() {
            if (simulationPanel.simulation.playing) {
                simulationPanel.playbackFrames = 0
                simulationPanel.playbackStart = Date.now()
            } else if (Date.now() > simulationPanel.playbackStart) {
                simulationPanel.playbackFps = simulationPanel.playbackFrames * 1000 / (Date.now() - simulationPanel.playbackStart)
            }
        }
    }
    Connections {
        target: simulationPanel.Window.window
        function onFrameSwapped() {
            if (simulationPanel.simulation.playing)
                ++simulationPanel.playbackFrames
        }
    }

    ColumnLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 2

        RowLayout {
            Layout.fillWidth: true
            Button {
                id: runButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: simulationPanel.simulation.running ? qsTr("Running\u2026") : qsTr("Simulate")
                enabled: !simulationPanel.simulation.running
                onClicked: simulationPanel.simulation.run("")
            }
            Button {
                id: playButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Play")
                enabled: simulationPanel.simulation.ready && !simulationPanel.simulation.playing
                onClicked: simulationPanel.simulation.play()
            }
            Button {
                id: pauseButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Pause")
                enabled: simulationPanel.simulation.playing
                onClicked: simulationPanel.simulation.pause()
            }
            Button {
                id: stopButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Stop")
                enabled: simulationPanel.simulation.ready
                onClicked: simulationPanel.simulation.stop()
            }
            Button {
                id: stepButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Step")
                enabled: simulationPanel.simulation.ready
                onClicked: simulationPanel.simulation.step()
            }
            Slider {
                id: timeSlider
                Layout.minimumWidth: 120
                from: 0
                to: Math.max(simulationPanel.simulation.duration, 0.001)
                value: simulationPanel.simulation.time
                enabled: simulationPanel.simulation.ready
                Layout.fillWidth: true
                onMoved: simulationPanel.simulation.time = value
            }
            Label {
                id: simulationTime
                text: simulationPanel.simulation.timeText
            }
            // What each task carries out at the playback's time (all of
            // them in the tooltip when the line is cut).
            Label {
                id: simulationNow
                visible: simulationPanel.simulation.ready
                text: simulationPanel.simulation.nowRunning.split("\n").join("; ")
                elide: Text.ElideRight
                Layout.maximumWidth: 260
                ToolTip.visible: truncated && nowHover.hovered
                ToolTip.text: simulationPanel.simulation.nowRunning
                HoverHandler { id: nowHover }
            }
            Label { text: qsTr("Speed") }
            ComboBox {
                id: speedBox
                Layout.preferredWidth: 76
                model: [0.1, 0.25, 0.5, 1, 2, 4]
                currentIndex: 3
                // The player's factor, also when a script sets it.
                displayText: simulationPanel.simulation.speed + "\u00d7"
                // A text arrow: the style's image one leaks its texture under
                // the software renderer.
                indicator: Label {
                    x: speedBox.width - width - speedBox.rightPadding
                    y: (speedBox.height - height) / 2
                    text: "\u25BE"
                }
                onActivated: simulationPanel.simulation.speed = model[currentIndex]
                Connections {
                    target: simulationPanel.simulation
                    function onSpeedChanged() { speedBox.currentIndex = speedBox.model.indexOf(simulationPanel.simulation.speed) }
                }
            }
            Button {
                id: restoreStateButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Restore State")
                enabled: simulationPanel.simulation.ready && !simulationPanel.simulation.running
                onClicked: simulationPanel.simulation.restoreState()
            }
            // Saving the station's state under a name of its own, and
            // putting back any saved one.
            Button {
                id: statesButton
                leftPadding: 8
                rightPadding: 8
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("States \u25BE")
                enabled: !simulationPanel.simulation.running
                onClicked: {
                    stateItems.model = simulationPanel.simulation.states()
                    statesMenu.popup(statesButton, 0, statesButton.height)
                }
                Menu {
                    id: statesMenu
                    MenuItem {
                        id: saveStateItem
                        objectName: "state/save"
                        text: qsTr("Save Current State")
                        onTriggered: simulationPanel.simulation.saveState("")
                    }
                    MenuSeparator { visible: stateItems.count > 0 }
                    Instantiator {
                        id: stateItems
                        model: []
                        delegate: MenuItem {
                            required property var modelData
                            objectName: "state/" + modelData.id
                            text: qsTr("Restore %1").arg(modelData.name.length > 0 ? modelData.name : qsTr("state %1").arg(modelData.id))
                                  + (modelData.autoSaved ? qsTr(" (before the run)") : "")
                            onTriggered: simulationPanel.simulation.restoreSavedState(String(modelData.id))
                        }
                        onObjectAdded: (index, object) => statesMenu.insertItem(2 + index, object)
                        onObjectRemoved: (index, object) => statesMenu.removeItem(object)
                    }
                }
            }
        }

        Label {
            id: simulationError
            visible: text.length > 0
            text: simulationPanel.simulation.errorText
            color: "#b00020"
            Layout.fillWidth: true
        }

        RowLayout {
            visible: simulationPanel.simulation.ready
            Layout.fillWidth: true
            Label {
                id: cycleTimeText
                text: simulationPanel.simulation.cycleTimes.join("\n")
                Layout.alignment: Qt.AlignTop
                Layout.preferredWidth: 220
            }
            ListView {
                id: simulationEventList
                model: simulationPanel.simulation.events
                clip: true
                boundsBehavior: Flickable.StopAtBounds
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(Math.max(contentHeight, 24), 110)
                ScrollBar.vertical: ScrollBar {}
                delegate: ItemDelegate {
                    id: simulationEventRow
                    objectName: "event/" + index
                    width: ListView.view.width
                    topPadding: 2
                    bottomPadding: 2
                    text: [model.timeText, model.kind,
                           model.instruction > 0 ? qsTr("instruction %1").arg(model.instruction) : "",
                           model.objects.length ? qsTr("objects %1").arg(model.objects) : "",
                           model.amount, model.message].filter(s => s.length > 0).join("   ")
                    palette.text: model.fails ? "#b00020" : "#202020"
                    palette.windowText: model.fails ? "#b00020" : "#202020"
                    onClicked: simulationPanel.simulation.jumpToEvent(index)
                }
                Label {
                    anchors.centerIn: parent
                    visible: simulationEventList.count === 0
                    text: qsTr("No events")
                }
            }
        }
    }
}
