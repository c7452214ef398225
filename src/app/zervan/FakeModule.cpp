// The QML module "zervan.fake": no types, only a version that QML documents
// may import. Its resources (":/zervan/fake/qmldir" and ":/Fake.qml", which
// lists the Qt QML modules the plug-ins' user interface may use) are
// compiled in from zervan.qrc.

#include <QtQml/qqml.h>
#include <QtQml/qqmlmoduleregistration.h>

Q_DECL_EXPORT void qml_register_types_zervan_fake();

void qml_register_types_zervan_fake()
{
    qmlRegisterModule("zervan.fake", 254, 0);
    qmlRegisterModule("zervan.fake", 254, 254);
}

// The engine calls the function above when a document first imports the
// module.
static const QQmlModuleRegistration zervanFakeRegistration("zervan.fake", qml_register_types_zervan_fake);
