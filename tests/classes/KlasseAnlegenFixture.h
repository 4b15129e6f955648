#pragma once

// The shared set-up of the class creation tests: the inputs of a complete run in the window, the
// start as the user makes it, the protocol, and what the directory and the volume hold.

#include <AppFixture.h>

#include <NWFileSystem.h>
#include <NWVolAdm.h>
#include <StringList.h>
#include <ndk_u.h>

#include <QDir>
#include <QPlainTextEdit>
#include <QtTest>

// Protocol lines that several cases share.
namespace Protokoll {
inline const QString OuLine = QStringLiteral("Organisatorische Einheit für 7c angelegt.");
inline const QString CopiedLine = QStringLiteral("Loginscript kopiert von ") + Demo::Klasse5a;
inline const QString Abbruch = QStringLiteral("Abbruch.");
inline const QString Success = QStringLiteral("Klasse 7c erfolgreich angelegt.");
inline const QStringList FolderLines = {
    QStringLiteral("Klassenverzeichnis erstellt"), QStringLiteral("Homeverzeichnis /+DI/+RI"),
    QStringLiteral("Tauschverzeichnis erstellt"), QStringLiteral("Tauschverzeichnis /+DI/+RI")};
inline const QStringList RightsLines = {QStringLiteral("Rechtevergabe an Tauschverzeichnis"),
                                        QStringLiteral("bitte warten."),
                                        QStringLiteral("Rechte an Tauschverzeichnis R----F")};
inline const QStringList TemplateLines = {QStringLiteral("User_Template übertragen."),
                                          QStringLiteral("UNC2NDS"),
                                          QStringLiteral("Pfad für Homeverzeichnis festgelegt.")};
} // namespace Protokoll

// Call Begin from init with the store of the running case, and EndCase from cleanup.
class TKlasseAnlegenFixture : public TAppFixture {
protected:
    TTestStore* Case = nullptr;

    void Begin(TTestStore& Store) {
        Case = &Store;
        StartCaseInWindow();
        Inputs();
    }

    // The inputs of a complete run: class mode from 5a, both folders with both flags, read-only
    // rights, the template of the student container.
    void Inputs() {
        U.chLogKlasse->setChecked(true);
        U.chLogDatei->setChecked(false);
        K().LoginKlasse = Demo::Klasse5a;
        U.EdLoginscript->setText(QStringLiteral("5a.schueler.unterricht"));
        K().HomeFlags = QStringLiteral("/+DI/+RI");
        K().TauschFlags = QStringLiteral("/+DI/+RI");
        U.edHomeBase->setText(Demo::HomeBase);
        U.edTauschbase->setText(Demo::TauschBase);
        U.chTausch->setChecked(true);
        U.raTausch->SetItemIndex(0);
        U.chTemplate->setChecked(true);
        K().MusterTemplate = Demo::Template;
        U.EdTemplate->setText(QStringLiteral("User_Template.schueler.unterricht"));
    }
    // Starts the run as the user does: name typed, button pressed once the refresh enabled it.
    void Start(const QString& Name = QStringLiteral("7c")) {
        U.EdNeueklasse->setText(Name);
        T->KlassentabAktualisieren();
        QVERIFY(U.BuAnlegen->isEnabled());
        U.BuAnlegen->click();
    }
    QStringList Protocol() const {
        const QString Text = U.MeProtokol->toPlainText();
        return Text.isEmpty() ? QStringList() : Text.split(u'\n');
    }
    bool Exists(const QString& Entry) const { return NDK->EntryExists(Entry); }
    bool FolderExists(const QString& Path) const { return NWFileSystem::DirectoryExists(**Case, Path); }
    std::pair<bool, bool> Flags(const QString& Path) const {
        NWVolAdm V(**Case);
        V.SetFullName(Demo::DataVolume);
        const NWDirectoryEntryPtr E = V.GetDirectoryEntry(Path);
        return {E->DeleteInhibit(), E->RenameInhibit()};
    }
    int EntriesBelow(const QString& Container) const {
        TStringList L;
        NDK->SearchObjects(Container, QStringLiteral("*"), QString(), L);
        return L.Count();
    }
    QString WriteFile(const QString& Name, const QByteArray& Content) const {
        const QString Path = Dir->filePath(Name);
        QFile F(Path);
        if (F.open(QIODevice::WriteOnly))
            F.write(Content);
        return QDir::toNativeSeparators(Path);
    }
};
