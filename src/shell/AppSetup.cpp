#include "AppSetup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void SetupApplication(QApplication& App) {
    App.setApplicationName(QStringLiteral("Parvon"));
    // Every text of the program is German; Qt's own texts (file dialog, context menus) follow, and
    // so do numbers, dates and names of files' types, also on a workstation set to no language.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto* Translator = new QTranslator(&App);
    if (Translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        App.installTranslator(Translator);
    else
        delete Translator;
    QFont Font(QStringLiteral("Arial"));
    Font.setPointSize(9);
    App.setFont(Font);
}
