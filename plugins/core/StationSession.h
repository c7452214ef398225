#pragma once

// One station opened in the window: the document, its objects, the tree and
// the selected object's fields, and saving. QML reaches it as `station`.

#include "CellScene.h"
#include "FacePick.h"
#include "FieldListModel.h"
#include "ObjectMove.h"
#include "ObjectTreeModel.h"
#include "OperationTravel.h"
#include "ProblemListModel.h"
#include "RobotControl.h"
#include "SimulationPlayer.h"
#include "StationObjects.h"
#include "TextRewrites.h"
#include "ValueSnapshot.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtGui/QUndoStack>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace sdf {
class SDF;
}

namespace zrv::core {

class StationSession : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath NOTIFY filePathChanged)
    Q_PROPERTY(bool loaded READ loaded NOTIFY opened)
    Q_PROPERTY(QString errorText READ errorText NOTIFY opened)
    Q_PROPERTY(int objectCount READ objectCount NOTIFY opened)
    Q_PROPERTY(QString savePath READ savePath WRITE setSavePath NOTIFY savePathChanged)
    Q_PROPERTY(bool modified READ modified NOTIFY modifiedChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY statusChanged)
    Q_PROPERTY(int currentRow READ currentRow NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedTitle READ selectedTitle NOTIFY selectionChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY undoChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY undoChanged)
    Q_PROPERTY(QString undoText READ undoText NOTIFY undoChanged)
    Q_PROPERTY(QString redoText READ redoText NOTIFY undoChanged)
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    Q_PROPERTY(QString feedbackPath READ feedbackPath NOTIFY feedbackChanged)
    Q_PROPERTY(QString feedbackText READ feedbackText NOTIFY feedbackChanged)
    Q_PROPERTY(QString feedbackLevel READ feedbackLevel NOTIFY feedbackChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString loadingText READ loadingText NOTIFY loadingChanged)
    Q_PROPERTY(bool loadCancellable READ loadCancellable NOTIFY loadingChanged)
    Q_PROPERTY(QObject* problems READ problems CONSTANT)
    Q_PROPERTY(int problemCount READ problemCount NOTIFY problemsChanged)
    Q_PROPERTY(QStringList textRewrites READ textRewrites NOTIFY problemsChanged)
    Q_PROPERTY(QObject* tree READ tree CONSTANT)
    Q_PROPERTY(QObject* fields READ fields CONSTANT)
    // The cell in 3D, and the id of the selected object (0 for none).
    Q_PROPERTY(QObject* scene READ scene CONSTANT)
    Q_PROPERTY(uint selectedId READ selectedId NOTIFY selectionChanged)
    // Moving and teaching the robots (RobotControl).
    Q_PROPERTY(QObject* robot READ robot CONSTANT)
    // Whether a new parent keeps an object's local pose (so that it moves
    // with the parent) rather than its place in the cell; off by default.
    Q_PROPERTY(bool keepLocalPose READ keepLocalPose WRITE setKeepLocalPose NOTIFY keepLocalPoseChanged)
    // Structure edits (StationStructure.cpp): the kinds of object the
    // selected one may hold, and what the last paste or delete left to say.
    Q_PROPERTY(QStringList addableKinds READ addableKinds NOTIFY selectionChanged)
    Q_PROPERTY(QString structureReport READ structureReport NOTIFY statusChanged)
    // The motion simulation of the station and its playback.
    Q_PROPERTY(QObject* simulation READ simulation CONSTANT)
    // The face or edge picked in the 3D view (FacePick).
    Q_PROPERTY(QObject* pick READ pick CONSTANT)
    // The selected operation's edges and their direction of travel, and
    // the face and edge under the pointer while picking (a FacePick).
    Q_PROPERTY(QObject* travel READ travel CONSTANT)
    Q_PROPERTY(QObject* hoverPick READ hoverPick CONSTANT)
    // Moving objects by the 3D view's handle (ObjectMove).
    Q_PROPERTY(QObject* mover READ mover CONSTANT)

public:
    explicit StationSession(QObject* parent = nullptr);
    ~StationSession() override;

    // Reads the station file and builds its objects on another thread; the
    // window keeps showing the station it has (and painting) meanwhile, and
    // loading tells so. A failure leaves no document and keeps the library's
    // message in errorText, and is logged. savePath starts as given. Opening
    // again, or cancelLoading(), drops a read still under way.
    void open(const QString& path, const QString& savePath);
    bool loading() const { return loadJob != nullptr; }
    QString loadingText() const { return loadPhase; }
    // False once the station shown before has made room for the new one.
    bool loadCancellable() const { return loadJob && !registering; }
    // Stops waiting for the station being read; the one shown stays.
    Q_INVOKABLE void cancelLoading();

    QString filePath() const { return path; }
    bool canUndo() const { return undoStack.canUndo(); }
    bool canRedo() const { return undoStack.canRedo(); }
    QString undoText() const { return undoStack.undoText(); }
    QString redoText() const { return undoStack.redoText(); }
    bool loaded() const { return document != nullptr; }
    QString errorText() const { return readError; }
    int objectCount() const { return objects ? static_cast<int>(objects->size()) : 0; }
    QString savePath() const { return target; }
    void setSavePath(const QString& path);
    bool modified() const { return dirty; }
    QString statusText() const { return status; }
    // The message of the last failed edit or save; empty after a success.
    QString lastError() const { return failure; }
    int currentRow() const { return row; }
    QString selectedTitle() const;
    QString filter() const { return treeModel.filter(); }
    void setFilter(const QString& text);
    // What the last entry into a field came to, shown beside that field:
    // "error" (refused, with the reason), "warning" (stored, but not as
    // typed) or "" (stored as typed, or nothing to say).
    QString feedbackPath() const { return feedback.path; }
    QString feedbackText() const { return feedback.text; }
    QString feedbackLevel() const { return feedback.level; }
    Q_INVOKABLE void clearFeedback();
    QObject* tree() { return &treeModel; }
    QObject* problems() { return &problemModel; }
    int problemCount() const { return problemModel.rowCount(); }
    // Selects the object the problem in that row is reported at; returns
    // its tree row, or -1 when it has no object to show.
    Q_INVOKABLE int selectProblem(int problemRow);
    QObject* fields() { return &fieldModel; }
    QObject* scene() { return &cellScene; }
    QObject* robot() { return robotControl.get(); }
    RobotControl* robotControls() { return robotControl.get(); }
    QObject* pick() { return facePick.get(); }
    FacePick* facePicks() { return facePick.get(); }
    QObject* travel() { return operationTravel.get(); }
    OperationTravel* travels() { return operationTravel.get(); }
    QObject* hoverPick() { return hoverFacePick.get(); }
    QObject* mover() { return objectMove.get(); }
    ObjectMove* objectMover() { return objectMove.get(); }
    uint selectedId() const;

    Q_INVOKABLE void select(int treeRow);
    // Nothing selected (a click on empty space in the view).
    Q_INVOKABLE void clearSelection();
    Q_INVOKABLE void toggle(int treeRow);
    // A key pressed in the tree (Qt::Key): Up, Down, Left, Right, Return,
    // Enter; false for other keys.
    Q_INVOKABLE bool treeKey(int key);
    // Selects the first object of that name in tree order, expanding its
    // ancestors; returns its row, or -1 (selection unchanged).
    Q_INVOKABLE int selectByName(const QString& name);
    Q_INVOKABLE int selectById(uint id);
    // Writes text into the selected object's field and returns the text now
    // stored, which shows how the value's type read it.
    // The row of the selected object's field with that path, or -1.
    Q_INVOKABLE int fieldRow(const QString& path) const { return fieldModel.rowOf(path); }
    // The heading the field's row is shown under ("" for the object's own).
    Q_INVOKABLE QString fieldGroup(int fieldRow) const;
    // A new `parent` of an object the layout places in its parent's frame
    // also writes the object's pose, so that it stays where it is in the
    // cell (unless keepLocalPose); undo takes back both at once.
    Q_INVOKABLE QString setField(int fieldRow, const QString& text);
    bool keepLocalPose() const { return keepLocal; }
    void setKeepLocalPose(bool value);
    // Writes one part of the pose in that field: 0-2 x, y, z in mm, 3-5 rx,
    // ry, rz in degrees (the others kept as shown), as setField does; the
    // shown text of the part typed again changes nothing. Returns the
    // part's text as now shown, or the text when refused.
    Q_INVOKABLE QString setPosePart(int fieldRow, int part, const QString& text);
    // Writes the document to savePath, replacing the file only once it is
    // completely written. While value texts the file was read with would be
    // written as read (textRewrites), it saves only when rewriteTexts is
    // true, and otherwise emits rewriteQuestion and returns false.
    Q_INVOKABLE bool save(bool rewriteTexts = false);
    // Value texts saving would replace, one a line: "LINE:COLUMN: PATH: why".
    QStringList textRewrites() const;
    // Saves to that file, which then is the station's file.
    Q_INVOKABLE bool saveAs(const QString& path);
    // Opens the file in place of the station (changes are the caller's to
    // ask about); it is saved over itself by default.
    Q_INVOKABLE void openFile(const QString& path);
    // An empty station that has no file yet.
    Q_INVOKABLE void newStation();
    Q_INVOKABLE void undo();
    Q_INVOKABLE void redo();

    // ---- structure edits (StationStructure.cpp), each one undo step ----
    // An id of 0 for parentId means the selected object. Each returns the
    // id of the object now selected (0 or false on failure, with the reason
    // in lastError).
    QStringList addableKinds() const;
    Q_INVOKABLE uint addObject(const QString& kind, uint parentId = 0);
    // The references to the object and those below it that deleting it
    // leaves: "PATH names ID (NAME)".
    Q_INVOKABLE QStringList referencesTo(uint id) const;
    Q_INVOKABLE bool deleteObject(uint id, bool clearReferences);
    // The clipboard gets the station text of the object.
    Q_INVOKABLE bool copyObject(uint id);
    Q_INVOKABLE bool cutObject(uint id, bool clearReferences);
    // Below parentId, or the nearest of it and its ancestors that can hold
    // what the clipboard has.
    Q_INVOKABLE uint paste(uint parentId = 0);
    Q_INVOKABLE uint duplicateObject(uint id);
    // A new part from a CAD or mesh file, with one body showing it; the
    // file is named relative to the station's folder when it lies there.
    Q_INVOKABLE uint importGeometry(const QString& file, uint parentId = 0);
    // Sets the object's parent as an edit of its `parent` field does.
    Q_INVOKABLE bool reparent(uint id, uint parentId);
    // A tree row dropped on another: why that object can not become its
    // parent ("" when it can): it is the object or lies below it, is its
    // parent already, or can not hold it (the catalogue does not nest that
    // kind in it, nor is the object one placed in its parent's frame on a
    // parent that has a place). dropOnto reparents, or says why not in the
    // status line.
    Q_INVOKABLE QString parentRefusal(uint id, uint parentId) const;
    Q_INVOKABLE bool dropOnto(uint id, uint parentId);
    QString structureReport() const { return report; }

    // ---- simulation (StationSimulation.cpp) ----
    QObject* simulation() { return &player; }
    SimulationPlayer& simulationPlayer() { return player; }
    // The document's root, or null without a station.
    std::shared_ptr<sdf::Element> stationRoot() const;
    // Saves the station's state as the automatic one before a run, and puts
    // it back; each one undo step, false with the reason in lastError.
    bool saveStateBeforeRun();
    bool restoreStateBeforeRun();
    // Saves the station's state under a name (empty: "State N", the first
    // free N), one undo step: the new state's id, or 0 with the reason in
    // lastError (a name another state has).
    uint saveNamedState(const QString& name);
    // Puts back the state of that id or name, one undo step.
    bool restoreNamedState(const QString& idOrName);
    // The saved states in document order: {id, name, autoSaved}.
    QVariantList savedStates() const;

signals:
    void opened();
    void filePathChanged();
    void undoChanged();
    void filterChanged();
    void feedbackChanged();
    void problemsChanged();
    void loadingChanged();
    void savePathChanged();
    void modifiedChanged();
    void statusChanged();
    void selectionChanged();
    void saved(const QString& path);
    // save() was asked to write value texts that would change.
    void rewriteQuestion();
    void keepLocalPoseChanged();

private:
    void selectEntry(std::size_t entry);
    // Tells the views the selection's row once the tree's rows have changed.
    void followRows();
    void rebuildObjects();
    // Selects the object of that id, else the first root, else nothing.
    void selectObjectOrFirst(std::uint32_t id);
    void setStatus(const QString& text, const QString& error = {});
    void setModified(bool value);
    // Lets go of the station shown: views, objects, document and undo.
    void release();
    // Shows the station (null: none) after a read or a new one; objects,
    // problems and the cell's layout prepared elsewhere are taken as they
    // are.
    void adopt(std::shared_ptr<sdf::SDF> station, std::unique_ptr<StationObjects> prepared = nullptr,
               const std::vector<sdf::StationCheck::Finding>* checked = nullptr,
               std::unique_ptr<cell::CellLayout> layout = nullptr, std::unique_ptr<ObjectSearchIndex> index = nullptr);
    struct LoadJob;
    struct Loaded;
    void finishLoad(const std::shared_ptr<LoadJob>& job, const std::shared_ptr<Loaded>& result);
    void setLoadPhase(const std::shared_ptr<LoadJob>& job, const QString& text);
    // Stops caring for the reading under way, if any.
    void dropLoad();
    // Registers the next objects of a finished read, then shows the station.
    void registerStep(const std::shared_ptr<LoadJob>& job, const std::shared_ptr<Loaded>& result);
    // Joins the reading threads that have ended; all of them when wait.
    void reapLoaders(bool wait);
    // Puts a field of an object back to a value, for undo and redo: selects
    // the object so that the change is seen.
    void applyValue(std::uint32_t objectId, const QString& fieldPath, const ValueSnapshot& value);
    // Whether the field is one the object model keeps facts of (its name,
    // parent or child ids): it must change through the object, or the tree
    // follows it.
    enum class Own
    {
        None,
        Name,
        Shape,
    };
    Own ownField(const FieldListModel::Field& field) const;
    // The pose text that keeps the object where it is under that parent, or
    // nothing when the layout does not place it by its parent.
    std::optional<QString> poseKeepingPlace(const sdf::SdfObject& object, std::uint32_t newParent) const;
    bool keepLocal = false;
    // What follows a stored edit of the field of object entry, made or
    // undone: the view, the tree, the id check, the objects.
    void followEdit(Own own, std::size_t entry);

    QString path;
    QString target;
    QString readError;
    QString status;
    QString failure;
    bool dirty = false;
    int row = -1;
    std::size_t selected = StationObjects::NoEntry;
    std::shared_ptr<sdf::SDF> document;
    std::unique_ptr<StationObjects> objects;
    ObjectTreeModel treeModel;
    FieldListModel fieldModel;
    QUndoStack undoStack;
    struct Feedback
    {
        QString path;
        QString text;
        QString level;
    } feedback;
    void setFeedback(Feedback value);
    // Runs the id check over the document again.
    void checkIds();
    ProblemListModel problemModel;
    TextRewrites rewrites;
    std::shared_ptr<LoadJob> loadJob;
    QString loadPhase;
    bool registering = false;
    std::vector<std::pair<std::thread, std::shared_ptr<LoadJob>>> loaders;
    CellScene cellScene;

    // ---- structure edits (StationStructure.cpp) ----
    // Runs change (which returns the id to select, 0 when it failed and
    // said why) and makes it one undo step; the document is put back when
    // change throws.
    uint restructure(const QString& name, const std::function<uint()>& change);
    // The station of that text in place of the one shown, for undo.
    void showText(const std::string& text, std::uint32_t selectId);
    // Objects, tree, view and problems anew from the document.
    void relayObjects(std::uint32_t selectId);
    // Pastes text below the nearest of parentId and its ancestors that can
    // hold its objects.
    uint pasteText(const std::string& text, uint parentId);
    QString report;
    // After a robot action added or removed objects: objects, tree, checks
    // and view follow the document.
    void followStructure();
    std::unique_ptr<RobotControl> robotControl;
    std::unique_ptr<FacePick> facePick;
    std::unique_ptr<FacePick> hoverFacePick;
    std::unique_ptr<OperationTravel> operationTravel;
    // ---- the view's handle (StationMove.cpp) ----
    // Writes the object's pose as an edit of its pose field (selecting it);
    // "" or why nothing was stored.
    QString writePose(std::uint32_t objectId, const QString& field, const QString& text, const QString& mergeKey);
    // Given to the pose's edit while a drag writes it: the drag's edits
    // make one undo step.
    QString editMergeKey;
    std::unique_ptr<ObjectMove> objectMove;

    // Last, so that it goes first: its run may still use the scene.
    SimulationPlayer player{*this, cellScene};
};

} // namespace zrv::core
