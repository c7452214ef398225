#pragma once

#include <QtCore/QObject>

class CommandLineParserTest : public QObject
{
    Q_OBJECT

private slots:
    void registersOptionsOnceAndRejectsClashingLists();
    void readsValuesFromTheApplicationsArguments();
    void optionsRegisteredLaterAreReadToo();
};
