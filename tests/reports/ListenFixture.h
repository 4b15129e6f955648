#pragma once

// The lists' tests: the main window on a store of its own per case, paper that receives every
// printout, and classes made to measure.

#include <AppFixture.h>

#include <PrintDialog.h>
#include <PrintRecorder.h>
#include <ndk_u.h>

#include <QTableWidget>

class TListenFixture : public TAppFixture {
protected:
    TPrintRecorder Paper;

    void StartListCase() {
        Store = std::make_unique<TTestStore>();
        StartCaseInWindow();
        Paper = TPrintRecorder();
        TPrintDialog::SetRecorder(&Paper);
    }
    void EndListCase() {
        TPrintDialog::SetRecorder(nullptr);
        EndCase();
        Store.reset();
    }

    // A class Name below Container with Users users "u01", "u02", ..., each named "Vorname Nnn"
    // unless Names gives a full name (an empty one leaves the surname "Nnn" to show).
    static QString Klasse(const QString& Container, const QString& Name, int Users,
                          const QStringList& Names = {}) {
        NDK->AddOrganizationalUnit(Container, Name);
        const QString Class = Container + u'\\' + Name;
        for (int I = 1; I <= Users; ++I) {
            const QString Surname = QStringLiteral("N%1").arg(I, 2, 10, QLatin1Char('0'));
            const QString Login = QStringLiteral("u%1").arg(I, 2, 10, QLatin1Char('0'));
            NDK->AddUser(Class, Login, Surname, QString());
            const QString Full = I <= Names.size() ? Names[I - 1] : QStringLiteral("Vorname ") + Surname;
            if (!Full.isEmpty())
                NDK->SetFieldValue(Class + u'\\' + Login, QStringLiteral("Full Name"), Full);
        }
        return Class;
    }

    QTableWidget* Grid() const { return Child<QTableWidget>(Form.get(), QStringLiteral("sgKlassen")); }
    // The grid's rows, their cells joined by "|".
    QStringList GridRows() const {
        QStringList Rows;
        for (int R = 0; R < Grid()->rowCount(); ++R) {
            QStringList Cells;
            for (int C = 0; C < Grid()->columnCount(); ++C)
                Cells << (Grid()->item(R, C) ? Grid()->item(R, C)->text() : QString());
            Rows << Cells.join(u'|');
        }
        return Rows;
    }
};
