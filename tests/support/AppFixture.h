#pragma once

// The shared set-up of the tests that drive the main window: a configuration file in a temporary
// folder, the window on the test store, the modal seam answered by scripts, instant pauses on a
// fixed clock, and the controls found by their names.

#include <DemoNamen.h>
#include <TestStore.h>

#include <Clock.h>
#include <FolderBrowser_u.h>
#include <KlassenTab_U.h>
#include <Konfiguration.h>
#include <ModalSeam.h>
#include <OUBrowser_U.h>
#include <Parvon_U.h>
#include <RadioGroup.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

// The object Name of type T below Root. A missing one ends the test run: every later step would
// only read nothing.
template <typename T> T* Child(const QObject* Root, const QString& Name) {
    T* Found = Root ? Root->findChild<T*>(Name) : nullptr;
    if (!Found)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(Name));
    return Found;
}

// The controls of the class tab, found by name.
struct TKlassenTabControls {
    QLabel* Label1 = nullptr;
    QLineEdit* EdNeueklasse = nullptr;
    QLineEdit* EdContainer = nullptr;
    QToolButton* SpContainer = nullptr;
    QCheckBox* chLogKlasse = nullptr;
    QCheckBox* chLogDatei = nullptr;
    QLineEdit* EdLoginscript = nullptr;
    QToolButton* SpLoginscript = nullptr;
    QToolButton* spLogDatei = nullptr;
    QLineEdit* edHomeBase = nullptr;
    QToolButton* spHomeBase = nullptr;
    QCheckBox* chTausch = nullptr;
    TRadioGroup* raTausch = nullptr;
    QLineEdit* edTauschbase = nullptr;
    QToolButton* buTauschBase = nullptr;
    QCheckBox* chTemplate = nullptr;
    QLineEdit* EdTemplate = nullptr;
    QToolButton* SpTemplate = nullptr;
    QPlainTextEdit* MeProtokol = nullptr;
    QPushButton* BuAnlegen = nullptr;

    TKlassenTabControls() = default;
    explicit TKlassenTabControls(const QWidget* Tab)
        : Label1(Child<QLabel>(Tab, QStringLiteral("Label1"))),
          EdNeueklasse(Child<QLineEdit>(Tab, QStringLiteral("EdNeueklasse"))),
          EdContainer(Child<QLineEdit>(Tab, QStringLiteral("EdContainer"))),
          SpContainer(Child<QToolButton>(Tab, QStringLiteral("SpContainer"))),
          chLogKlasse(Child<QCheckBox>(Tab, QStringLiteral("chLogKlasse"))),
          chLogDatei(Child<QCheckBox>(Tab, QStringLiteral("chLogDatei"))),
          EdLoginscript(Child<QLineEdit>(Tab, QStringLiteral("EdLoginscript"))),
          SpLoginscript(Child<QToolButton>(Tab, QStringLiteral("SpLoginscript"))),
          spLogDatei(Child<QToolButton>(Tab, QStringLiteral("spLogDatei"))),
          edHomeBase(Child<QLineEdit>(Tab, QStringLiteral("edHomeBase"))),
          spHomeBase(Child<QToolButton>(Tab, QStringLiteral("spHomeBase"))),
          chTausch(Child<QCheckBox>(Tab, QStringLiteral("chTausch"))),
          raTausch(Child<TRadioGroup>(Tab, QStringLiteral("raTausch"))),
          edTauschbase(Child<QLineEdit>(Tab, QStringLiteral("edTauschbase"))),
          buTauschBase(Child<QToolButton>(Tab, QStringLiteral("buTauschBase"))),
          chTemplate(Child<QCheckBox>(Tab, QStringLiteral("chTemplate"))),
          EdTemplate(Child<QLineEdit>(Tab, QStringLiteral("EdTemplate"))),
          SpTemplate(Child<QToolButton>(Tab, QStringLiteral("SpTemplate"))),
          MeProtokol(Child<QPlainTextEdit>(Tab, QStringLiteral("MeProtokol"))),
          BuAnlegen(Child<QPushButton>(Tab, QStringLiteral("BuAnlegen"))) {}
};

// What the object picker showed when a script answered it.
struct TPickerSeen {
    QString Caption, Base;
    bool Ok = false;
};

// Scripts for the modal seam: each answers the next dialog shown.
namespace Answer {
// The next dialog if it is a TDialog (anything else is rejected and fails the check of the caller).
template <typename TDialog> void With(std::function<int(TDialog&)> Handler) {
    TModalSeam::Push([Handler = std::move(Handler)](QDialog& D) {
        auto* Dlg = qobject_cast<TDialog*>(&D);
        return Dlg ? Handler(*Dlg) : int(QDialog::Rejected);
    });
}

// The next message box with Button.
inline void Box(QMessageBox::StandardButton Button) {
    TModalSeam::Push([Button](QDialog&) { return int(Button); });
}

// The next object picker as a person answers it: clicks Entry in the tree and presses OK when that
// enabled it, else "Abbrechen". BeforeOk runs right before OK is pressed.
inline void Picker(const QString& Entry, TPickerSeen* Seen = nullptr, std::function<void()> BeforeOk = {}) {
    With<TouBrowser>([=](TouBrowser& Dlg) {
        Dlg.NWBrowse1EntryClicked(Entry);
        if (Seen)
            *Seen = {Dlg.windowTitle(), Dlg.Base, Dlg.OKBtn->isEnabled()};
        if (!Dlg.OKBtn->isEnabled())
            return int(QDialog::Rejected);
        if (BeforeOk)
            BeforeOk();
        return int(QDialog::Accepted);
    });
}
} // namespace Answer

// The base of the main window's test classes. Call StartCase and EndCase from init and cleanup,
// and create Store once per class or once per case, as the cases need.
class TAppFixture : public QObject {
protected:
    std::unique_ptr<TTestStore> Store;
    std::unique_ptr<QTemporaryDir> Dir;
    std::unique_ptr<TForm1> Form; // the window of the running case, from OpenForm
    TKlassenTab* T = nullptr;     // its class tab
    TKlassenTabControls U;        // the class tab's controls

    // "Now" during every case; pauses move it on instead of waiting.
    static QDateTime Then() { return QDateTime(QDate(2003, 6, 13), QTime(8, 0)); }

    QString IniPath() const { return Dir->filePath(QStringLiteral("Parvon.ini")); }
    void WriteIni(const QByteArray& Content) const {
        QFile F(IniPath());
        if (!F.open(QIODevice::WriteOnly) || F.write(Content) != Content.size())
            qFatal("cannot write the configuration file");
    }
    QByteArray ReadIni() const {
        QFile F(IniPath());
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
    }
    std::unique_ptr<TForm1> NewForm(const QString& Path = QString()) const {
        return std::make_unique<TForm1>(nullptr, Path.isEmpty() ? IniPath() : Path);
    }
    static TKlassenTab* Tab(const TForm1& F) {
        return Child<TKlassenTab>(&F, QStringLiteral("tabNeueKlasse"));
    }
    template <typename TObject> static TObject* Of(const std::unique_ptr<TForm1>& F, const char* Name) {
        return Child<TObject>(F.get(), QLatin1String(Name));
    }

    void OpenForm() {
        Form = NewForm();
        T = Tab(*Form);
        U = TKlassenTabControls(T);
    }
    TKonfiguration& K() const { return Form->Konfiguration(); }

    void StartCase() {
        Dir = std::make_unique<QTemporaryDir>();
        TModalSeam::Clear();
        TModalSeam::SetUnattended(true);
        TClock::SetNow(Then());
        TClock::SetInstantPauses(true);
    }
    void StartCaseInWindow() {
        StartCase();
        OpenForm();
    }
    // Closes the window without the close question; fails the case when a script was left over.
    void EndCase() {
        const int Pending = TModalSeam::Pending();
        if (Form)
            Form->Konfiguration().Geaendert = false;
        Form.reset();
        T = nullptr;
        U = TKlassenTabControls();
        TModalSeam::Clear();
        TFaultInjection::Clear();
        TClock::Reset();
        QCOMPARE(Pending, 0);
    }
};
