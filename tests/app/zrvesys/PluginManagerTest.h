#pragma once

#include <QtCore/QObject>

class PluginManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadsWhatAPluginDependsOnFirstAndEachPluginOnce();
    void problemsAreLoggedAndSkipOnlyThePluginConcerned_data();
    void problemsAreLoggedAndSkipOnlyThePluginConcerned();
    void shutsDownInReverseOrderOnlyOnce();
};
