#include "CatRefresh_u.h"

#include <Clock.h>
#include <DirectoryClient.h>
#include <ErrorGuard.h>
#include <NWCatAdm.h>
#include <NWDir.h>
#include <ndk_u.h>

#include <QApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {
const QString EndTimeField = QStringLiteral("NDSCAT:Actual End Time");
const QString StartHint = QStringLiteral("Aktualisierung starten");

// Whether Window belongs to Dialog: a box or dialog it opened.
bool OwnedBy(const QObject* Window, const QObject* Dialog) {
    for (const QObject* O = Window ? Window->parent() : nullptr; O; O = O->parent())
        if (O == Dialog)
            return true;
    return false;
}
} // namespace

TFCatRefresh::TFCatRefresh(TNDK* Ndk, QWidget* Parent) : QDialog(Parent), FNdk(Ndk) {
    setObjectName(QStringLiteral("FCatRefresh"));
    setWindowTitle(QStringLiteral("Benutzerkatalog aktualisieren"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    Label1 = new QLabel(QStringLiteral("Benutzerkatalog"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    edCAtalog = new QLineEdit(QStringLiteral("benutzer.dienste"), this);
    edCAtalog->setObjectName(QStringLiteral("edCAtalog"));
    edCAtalog->setToolTip(QStringLiteral("Name des Katalogobjekts"));
    Label1->setBuddy(edCAtalog);
    buAuswahl = new QToolButton(this);
    buAuswahl->setObjectName(QStringLiteral("buAuswahl"));
    buAuswahl->setText(QStringLiteral("..."));
    laErfolg = new QLabel(QStringLiteral("LaErfolg"), this);
    laErfolg->setObjectName(QStringLiteral("laErfolg"));
    buAktualisieren = new QToolButton(this);
    buAktualisieren->setObjectName(QStringLiteral("buAktualisieren"));
    buAktualisieren->setText(QStringLiteral("Aktualisieren"));
    buAktualisieren->setToolTip(StartHint);
    buClose = new QPushButton(QStringLiteral("&Zurück"), this);
    buClose->setObjectName(QStringLiteral("buClose"));
    buClose->setToolTip(QStringLiteral("zurück zum Hauptformular, auch während Aktualisierung möglich."));
    buClose->setAutoDefault(false);
    NWCatAdm1 = new NWCatAdm(Ndk ? Ndk->NWDir1->Client() : TDirectoryClient::Instance(), this);
    NWCatAdm1->setObjectName(QStringLiteral("NWCatAdm1"));

    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(12, 10, 12, 10);
    Grid->setHorizontalSpacing(4);
    Grid->addWidget(Label1, 0, 0, 1, 2);
    Grid->addWidget(edCAtalog, 1, 0);
    Grid->addWidget(buAuswahl, 1, 1);
    Grid->setRowMinimumHeight(2, 8);
    Grid->addWidget(laErfolg, 3, 0, 1, 2);
    Grid->setRowMinimumHeight(4, 8);
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(buAktualisieren);
    Buttons->addStretch(1);
    Buttons->addWidget(buClose);
    Grid->addLayout(Buttons, 5, 0, 1, 2);
    edCAtalog->setMinimumWidth(300);
    laErfolg->setMinimumHeight(laErfolg->sizeHint().height());
    setFixedSize(sizeHint());
    if (QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    ConnectGuarded(buAktualisieren, &QToolButton::clicked, this, &TFCatRefresh::buAktualisierenClick);
    ConnectGuarded(buClose, &QPushButton::clicked, this, &TFCatRefresh::buCloseClick);
}

bool TFCatRefresh::event(QEvent* Event) {
    // Activation from outside (shown, or back from another window) runs FormActivate; coming back
    // from a box the dialog opened itself (an error of the refresh) does not, so that the box's
    // reason stays readable.
    if (Event->type() == QEvent::WindowDeactivate) {
        FBackFromOwnWindow = OwnedBy(QApplication::activeWindow(), this);
    } else if (Event->type() == QEvent::WindowActivate) {
        if (!std::exchange(FBackFromOwnWindow, false))
            Guarded(this, [this] { FormActivate(); });
    }
    return QDialog::event(Event);
}

void TFCatRefresh::FormActivate() {
    laErfolg->clear();
    buAuswahl->setEnabled(false);
    edCAtalog->setReadOnly(true);
    QPalette Pal = edCAtalog->palette();
    Pal.setColor(QPalette::Base, Pal.color(QPalette::Button));
    edCAtalog->setPalette(Pal);
}

void TFCatRefresh::buAktualisierenClick() {
    TNDK& Ndk = Erreichbar(FNdk);
    laErfolg->setText(QStringLiteral("Aktualisierung hat begonnen, bitte warten"));
    FStop = false;
    buAktualisieren->setEnabled(false);
    buAktualisieren->setToolTip(QStringLiteral("Aktualisierung wird gerade durchgeführt"));
    FWaiting = true;
    // However the wait ends, the button comes back; a title-bar close asked for meanwhile
    // happens now.
    const auto Done = qScopeGuard([this] {
        FWaiting = false;
        buAktualisieren->setEnabled(true);
        buAktualisieren->setToolTip(StartHint);
        if (std::exchange(FCloseWanted, false) && !FStop)
            QDialog::reject();
    });

    const QString Katalog = Ndk.DottedToPath(edCAtalog->text());
    NWCatAdm1->SetFullName(Katalog);
    const QString Vorher = Ndk.GetFieldValue(Katalog, EndTimeField);
    const QDateTime Start = TClock::Now();
    NWCatAdm1->StartRefresh();

    while (!FStop) {
        const QString Ende = Ndk.GetFieldValue(Katalog, EndTimeField);
        if (Abgeschlossen(Start, Vorher, Ende)) {
            laErfolg->setText(QStringLiteral("Aktualisierung abgeschlossen ") + Ende);
            return;
        }
        WaitForNextPoll();
    }
}

bool TFCatRefresh::Abgeschlossen(const QDateTime& Start, const QString& Vorher, const QString& Ende) {
    // End times have whole seconds: a refresh that ends within the second it started counts.
    const QDateTime Beginn = Start.addMSecs(-Start.time().msec());
    return TClock::StrToDateTime(Ende) >= Beginn && Ende != Vorher;
}

void TFCatRefresh::WaitForNextPoll() {
    QEventLoop Loop;
    FPollLoop = &Loop;
    const auto Reset = qScopeGuard([this] { FPollLoop = nullptr; });
    QTimer::singleShot(PollInterval, &Loop, &QEventLoop::quit);
    Loop.exec();
}

void TFCatRefresh::buCloseClick() {
    // Ends the wait at once; the refresh itself goes on in the directory.
    FStop = true;
    if (FPollLoop)
        FPollLoop->quit();
    QDialog::reject();
}

void TFCatRefresh::reject() {
    if (FWaiting && !FStop) {
        FCloseWanted = true;
        return;
    }
    QDialog::reject();
}
