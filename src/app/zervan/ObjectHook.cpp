#include "ObjectHook.h"

#include <common/ZrvAssert.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QRecursiveMutex>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtCore/QVariant>
#include <QtCore/private/qhooks_p.h>
#include <QtQml/QQmlContext>
#include <QtQml/QQmlEngine>

#include <atomic>
#include <cstring>
#include <utility>

namespace zrv {

namespace {

constexpr const char* hookSource = "src/app/zervan/ObjectHook";

// The mutex must work for callbacks that arrive while static objects are
// destroyed, so it is built on first use and, once destroyed, the callbacks
// go on without it.
std::atomic<bool> mutexGone{false};

struct MutexHolder
{
    QRecursiveMutex mutex;
    ~MutexHolder() { mutexGone.store(true, std::memory_order_release); }
};

QRecursiveMutex* hookMutex()
{
    if (mutexGone.load(std::memory_order_acquire))
        return nullptr;
    static MutexHolder holder;
    return &holder.mutex;
}

class HookLock
{
public:
    HookLock()
        : mutex(hookMutex())
    {
        if (mutex)
            mutex->lock();
    }
    ~HookLock()
    {
        if (mutex)
            mutex->unlock();
    }
    HookLock(const HookLock&) = delete;
    HookLock& operator=(const HookLock&) = delete;

private:
    QRecursiveMutex* mutex;
};

// The installed hook, or null. The callbacks read it instead of the
// singleton, so that a callback which still arrives after uninstalling (when
// another tool has chained ours) does nothing but forward.
std::atomic<ObjectHook*> activeHook{nullptr};

// What the table held before us; our callbacks call these first, and
// uninstalling puts them back.
std::atomic<quintptr> previousAdd{0};
std::atomic<quintptr> previousRemove{0};

} // namespace

ObjectHook* ObjectHook::inst(QObject* app)
{
    static ObjectHook hook(app);
    return &hook;
}

ObjectHook* ObjectHook::CheckMode(QObject* app, int argc, char** argv)
{
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        if (std::strcmp(arg, "-a") == 0 || std::strcmp(arg, "--assist") == 0 || std::strcmp(arg, "--gamma") == 0) {
            ObjectHook* hook = inst(app);
            app->setProperty("zrvhook", QVariant::fromValue(hook));
            return hook;
        }
    }
    return nullptr;
}

ObjectHook::ObjectHook(QObject* app)
    : QObject(nullptr)
{
    // Built before the hook, the mutex is destroyed after it.
    hookMutex();

    ZRV_ASSERT(qtHookData[QHooks::HookDataVersion] >= 1, "qtHookData[QHooks::HookDataVersion] >= 1", hookSource);
    ZRV_ASSERT(qtHookData[QHooks::HookDataSize] >= 6, "qtHookData[QHooks::HookDataSize] >= 6", hookSource);
    ZRV_ASSERT(qtHookData[QHooks::AddQObject] == 0, "qtHookData[QHooks::AddQObject] == 0", hookSource);
    ZRV_ASSERT(qtHookData[QHooks::RemoveQObject] == 0, "qtHookData[QHooks::RemoveQObject] == 0", hookSource);
    ZRV_ASSERT(qtHookData[QHooks::Startup] == 0, "qtHookData[QHooks::Startup] == 0", hookSource);

    if (qtHookData[QHooks::HookDataVersion] < 1 || qtHookData[QHooks::HookDataSize] < 6) {
        qWarning("zrv::ObjectHook: Qt's object hook table (version %llu, %llu entries) cannot take the hook; "
                 "objects are not tracked",
                 static_cast<unsigned long long>(qtHookData[QHooks::HookDataVersion]),
                 static_cast<unsigned long long>(qtHookData[QHooks::HookDataSize]));
    } else {
        install();
        if (auto application = qobject_cast<QCoreApplication*>(app))
            connect(application, &QCoreApplication::aboutToQuit, this, [this] { uninstall(); });
    }
}

ObjectHook::~ObjectHook()
{
    // A process can end without aboutToQuit; Qt must not call into a
    // destroyed hook then.
    uninstall();
}

bool ObjectHook::isInstalled() const
{
    return activeHook.load(std::memory_order_acquire) == this;
}

void ObjectHook::install()
{
    HookLock lock;
    // Another tool (a debugger or inspector) may have hooked the process
    // already; its callbacks keep running, called from ours.
    previousAdd.store(qtHookData[QHooks::AddQObject]);
    previousRemove.store(qtHookData[QHooks::RemoveQObject]);
    activeHook.store(this, std::memory_order_release);
    qtHookData[QHooks::AddQObject] = reinterpret_cast<quintptr>(&ObjectHook::addObjectHook);
    qtHookData[QHooks::RemoveQObject] = reinterpret_cast<quintptr>(&ObjectHook::removeObjectHook);
}

void ObjectHook::uninstall()
{
    HookLock lock;
    if (activeHook.load(std::memory_order_acquire) != this)
        return;
    // An entry that no longer holds our callback belongs to a tool that
    // chained onto us after we came; it stays, and ours only forwards now.
    if (qtHookData[QHooks::AddQObject] == reinterpret_cast<quintptr>(&ObjectHook::addObjectHook))
        qtHookData[QHooks::AddQObject] = previousAdd.load();
    if (qtHookData[QHooks::RemoveQObject] == reinterpret_cast<quintptr>(&ObjectHook::removeObjectHook))
        qtHookData[QHooks::RemoveQObject] = previousRemove.load();
    activeHook.store(nullptr, std::memory_order_release);
    // Destruction is no longer reported, so the set could soon hold freed
    // objects; announcements still queued must not hand them out.
    liveObjects.clear();
    pending.clear();
}

void ObjectHook::addObjectHook(QObject* obj)
{
    if (const quintptr previous = previousAdd.load(std::memory_order_relaxed))
        reinterpret_cast<QHooks::AddQObjectCallback>(previous)(obj);

    HookLock lock;
    ObjectHook* hook = activeHook.load(std::memory_order_acquire);
    if (!hook)
        return;
    const auto before = hook->liveObjects.size();
    hook->liveObjects.insert(obj, false);
    if (hook->liveObjects.size() == before)
        return;
    // Only the QObject base exists yet; the object is announced when the
    // hook's thread next turns its event loop, complete and named. One
    // queued call serves all objects built until then: posting wakes the
    // event loop, which costs a system call, far more than the rest here.
    const bool first = hook->pending.isEmpty();
    hook->pending.append(obj);
    if (first)
        QTimer::singleShot(0, hook, [hook] { hook->announcePending(); });
}

void ObjectHook::removeObjectHook(QObject* obj)
{
    if (const quintptr previous = previousRemove.load(std::memory_order_relaxed))
        reinterpret_cast<QHooks::RemoveQObjectCallback>(previous)(obj);

    HookLock lock;
    ObjectHook* hook = activeHook.load(std::memory_order_acquire);
    if (!hook || !hook->liveObjects.remove(obj))
        return;
    // The tables belong to the hook's thread; a call queued there may use
    // the pointer only as a key, as unregisterObject does.
    if (QThread::currentThread() == hook->thread())
        hook->unregisterObject(obj);
    else
        QMetaObject::invokeMethod(hook, [hook, obj] { hook->unregisterObject(obj); }, Qt::QueuedConnection);
    emit hook->objectRemoved(obj);
}

void ObjectHook::announcePending()
{
    HookLock lock;
    // Receivers may build objects, which start the next batch.
    const QList<QObject*> batch = std::exchange(pending, {});
    for (QObject* obj : batch) {
        // Gone objects are skipped. An address can come twice when an object
        // died and another was built in its place; the live one is
        // announced once.
        const auto it = liveObjects.find(obj);
        if (it == liveObjects.end() || it.value())
            continue;
        it.value() = true;
        registerObject(obj);
        emit objectAdded(obj);
    }
}

QString ObjectHook::qmlName(QObject* obj)
{
    QQmlContext* context = QQmlEngine::contextForObject(obj);
    if (context && context->engine())
        return context->nameForObject(obj);
    return {};
}

void ObjectHook::registerObject(QObject* obj)
{
    // Windows, items and menus live in the GUI thread. An object of another
    // thread may be destroyed there while we look at it, so it is only
    // announced, never inspected.
    if (obj->thread() != thread())
        return;

    if (qobject_cast<QQuickWindow*>(obj)) {
        windows.append(obj);
        return;
    }
    QMultiHash<QString, QObject*>* table = nullptr;
    if (obj->isQuickItemType())
        table = &items;
    else if (obj->inherits("QQuickMenu"))
        table = &menus;
    else
        return;

    const QString id = qmlName(obj);
    if (id.isEmpty())
        return;
    table->insert(id, obj);
    names.insert(obj, id);
}

void ObjectHook::unregisterObject(QObject* obj)
{
    windows.removeAll(obj);
    const auto it = names.constFind(obj);
    if (it == names.cend())
        return;
    const QString id = it.value();
    names.erase(it);
    items.remove(id, obj);
    menus.remove(id, obj);
}

QQuickWindow* ObjectHook::findWindow(QString id)
{
    // Names are taken now: a window's id may be set after it was announced.
    for (QObject* window : std::as_const(windows)) {
        if (qmlName(window) == id)
            return static_cast<QQuickWindow*>(window);
    }
    return nullptr;
}

QObject* ObjectHook::findMenu(QString id)
{
    const QList<QObject*> candidates = menus.values(id); // newest first
    for (QObject* menu : candidates) {
        const QVariant visible = menu->property("visible");
        if (visible.isValid() && visible.toBool())
            return menu;
    }
    return nullptr;
}

QQuickItem* ObjectHook::findItem(QString id, QString name)
{
    const QList<QObject*> candidates = items.values(id); // newest first
    if (candidates.isEmpty())
        return nullptr;
    if (name.isEmpty())
        return static_cast<QQuickItem*>(candidates.first());
    for (QObject* obj : candidates) {
        auto item = static_cast<QQuickItem*>(obj);
        if (!item->isVisible())
            continue;
        const QVariant text = item->property("text");
        if ((text.isValid() ? text.toString() : QString()) == name)
            return item;
        if (item->objectName() == name)
            return item;
    }
    return nullptr;
}

} // namespace zrv
