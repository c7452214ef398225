#pragma once

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMultiHash>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

namespace zrv {

// Lets automation scripts and the assistant find live windows, items and
// menus by their QML id.
//
// Installed into Qt's object hook table, it hears of every QObject built or
// destroyed while it is installed. Construction is announced later, on the
// hook's own thread (objectAdded), once the object is complete and QML has
// given it its id; an object destroyed before that is never announced.
// Destruction is announced at once, on the destroying thread
// (objectRemoved); receivers may use the pointer only as a key. Windows,
// visual items with an id and menus with an id are sorted into lookup tables
// that QML reaches through the three invokables. The application's
// aboutToQuit ends the tracking.
class ObjectHook : public QObject
{
    Q_OBJECT

public:
    // The single hook of the process, built (and installed) by the first
    // call; `app` is the application whose aboutToQuit uninstalls it. Later
    // calls ignore the argument.
    static ObjectHook* inst(QObject* app);

    // Start-up's mode check: in assistant mode ("-a", "--assist") and test
    // mode ("--gamma"), given as a whole argument, builds the hook and hands
    // it to the plug-ins as the application property "zrvhook". Returns the
    // hook, or null in normal mode, where nothing is touched.
    static ObjectHook* CheckMode(QObject* app, int argc, char** argv);

    // The object's id in its QML context, or empty.
    static QString qmlName(QObject* obj);

    // True from construction until uninstalled; false for good when Qt's
    // hook table was unusable.
    bool isInstalled() const;

    ~ObjectHook() override;

    Q_INVOKABLE QQuickWindow* findWindow(QString id);
    Q_INVOKABLE QObject* findMenu(QString id);
    Q_INVOKABLE QQuickItem* findItem(QString id, QString name);

signals:
    void objectAdded(QObject* obj);
    void objectRemoved(QObject* obj);

private:
    explicit ObjectHook(QObject* app);

    void install();
    void uninstall();
    void announcePending();
    // Called directly, just before the matching signal is emitted, rather
    // than connected to it: a connected slot would make every emission cost
    // as much as all the rest of the tracking, and QML sees only the two
    // signals and the three invokables.
    void registerObject(QObject* obj);
    void unregisterObject(QObject* obj);

    static void addObjectHook(QObject* obj);
    static void removeObjectHook(QObject* obj);

    // Every object built since installation and not yet destroyed, with
    // whether it has been announced. Guarded by the hook mutex, as is the
    // list of objects still to announce.
    QHash<QObject*, bool> liveObjects;
    QList<QObject*> pending;
    QList<QObject*> windows;
    QMultiHash<QString, QObject*> items;
    QMultiHash<QString, QObject*> menus;
    QHash<QObject*, QString> names;
};

} // namespace zrv
