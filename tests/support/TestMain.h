#pragma once

#include <QApplication>
#include <QLocale>
#include <QTest>

// A test main that pins the locale and the platform so results do not depend on the machine.
#define PARVON_TEST_MAIN(TestClass)                                                                      \
    int main(int argc, char** argv) {                                                                    \
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")       \
                                                                          : qgetenv("QT_QPA_PLATFORM")); \
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));                                 \
        QApplication App(argc, argv);                                                                    \
        App.setApplicationName(QStringLiteral("Parvon"));                                               \
        TestClass T;                                                                                     \
        return QTest::qExec(&T, argc, argv);                                                             \
    }
