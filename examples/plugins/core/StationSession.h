#pragma once

// One station opened in the window: the document, its objects, the tree and
// the selected object's fields, and saving. QML reaches it as `station`.

#include "CellScene.h"
#include "FieldListModel.h"
#include "ObjectTreeModel.h"
#include "StationObjects.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <cstddef>
#include <memory>

namespace sdf {
class SDF;
}

namespace zrv::core {

class StationSession : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath NOTIFY opened)
    Q_PROPERTY(bool loaded READ loaded NOTIFY opened)
    Q_PROPERTY(QString errorText READ errorText NOTIFY opened)
    Q_PROPERTY(int objectCount READ objectCount NOTIFY opened)
    Q_PROPERTY(QString savePath READ savePath WRITE setSavePath NOTIFY savePathChanged)
    Q_PROPERTY(bool modified READ modified NOTIFY modifiedChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY statusChanged)
    Q_PROPERTY(int currentRow READ currentRow NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedTitle READ selectedTitle NOTIFY selectionChanged)
    Q_PROPERTY(QObject* tree READ tree CONSTANT)
    Q_PROPERTY(QObject* fields READ fields CONSTANT)
    // The cell in 3D, and the id of the selected object (0 for none).
    Q_PROPERTY(QObject* scene READ scene CONSTANT)
    Q_PROPERTY(uint selectedId READ selectedId NOTIFY selectionChanged)

public:
    explicit StationSession(QObject* parent = nullptr);
    ~StationSession() override;

    // Reads the station file; a failure leaves no document and keeps the
    // library's message in errorText, and is logged. savePath starts as
    // given.
    void open(const QString& path, const QString& savePath);

    QString filePath() const { return path; }
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
    QObject* tree() { return &treeModel; }
    QObject* fields() { return &fieldModel; }
    QObject* scene() { return &cellScene; }
    uint selectedId() const;

    Q_INVOKABLE void select(int treeRow);
    Q_INVOKABLE void toggle(int treeRow);
    // Selects the first object of that name in tree order, expanding its
    // ancestors; returns its row, or -1 (selection unchanged).
    Q_INVOKABLE int selectByName(const QString& name);
    Q_INVOKABLE int selectById(uint id);
    // Writes text into the selected object's field and returns the text now
    // stored, which shows how the value's type read it.
    // The row of the selected object's field with that path, or -1.
    Q_INVOKABLE int fieldRow(const QString& path) const { return fieldModel.rowOf(path); }
    Q_INVOKABLE QString setField(int fieldRow, const QString& text);
    // Writes the document to savePath, replacing the file only once it is
    // completely written.
    Q_INVOKABLE bool save();

signals:
    void opened();
    void savePathChanged();
    void modifiedChanged();
    void statusChanged();
    void selectionChanged();
    void saved(const QString& path);

private:
    void selectEntry(std::size_t entry);
    void rebuildObjects();
    void setStatus(const QString& text, const QString& error = {});
    void setModified(bool value);

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
    CellScene cellScene;
};

} // namespace zrv::core
