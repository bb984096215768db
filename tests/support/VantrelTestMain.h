#pragma once

#include "app/VantrelApplication.h"

#include <QTest>

// Like QTEST_MAIN, but with the program's own application object, so
// exceptions escaping handlers reach the exception display as in the program.
#define VANTREL_TEST_MAIN(TestObject)                                                                                  \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        VantrelApplication application(argc, argv);                                                                    \
        QApplication::setApplicationName(QStringLiteral("Vantrel"));                                                   \
        QApplication::setQuitOnLastWindowClosed(false);                                                                \
        TestObject test;                                                                                               \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
