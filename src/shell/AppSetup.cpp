#include "AppSetup.h"

#include "LdapLogin_u.h"

#include <ClientSettings.h>
#include <DirectoryClient.h>

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void SetupApplication(QApplication& App) {
    App.setApplicationName(QStringLiteral("Parvon"));
    // Every text of the program is German; Qt's own texts (file dialog, context menus) follow.
    auto* Translator = new QTranslator(&App);
    if (Translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        App.installTranslator(Translator);
    else
        delete Translator;
    QFont Font(QStringLiteral("Arial"));
    Font.setPointSize(9);
    App.setFont(Font);
    // The workstation's client follows its settings: trees on an LDAP server ask for the bind
    // password when the client opens.
    TDirectoryClient::SetWorkstationFactory([] { return OpenConfiguredClient(AskBindPassword); });
}
