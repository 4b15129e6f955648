#include <TestMain.h>

#include <IPTools_u.h>

#include <QtTest>

using namespace Qt::StringLiterals;

// The address functions over their edge cases: one table, one row per call, the result as text
// or the error's text after "!".
class TIpToolsTest : public QObject {
    Q_OBJECT

    static QString Call(const QString& Function, const QString& A, const QString& B, const QString& C) {
        if (Function == u"IpOctet")
            return QString::number(IpOctet(A, B.toInt()));
        if (Function == u"IsDottedQuad")
            return IsDottedQuad(A) ? u"true"_s : u"false"_s;
        if (Function == u"MaskAddress")
            return MaskAddress(A, B);
        if (Function == u"InNetwork")
            return InNetwork(A, B, C) ? u"true"_s : u"false"_s;
        if (Function == u"Select")
            return SelectWorkstationAddress(A, B, C);
        return AddressToText(A);
    }

private Q_SLOTS:
    void addresses_data() {
        QTest::addColumn<QString>("Function");
        QTest::addColumn<QString>("A");
        QTest::addColumn<QString>("B");
        QTest::addColumn<QString>("C");
        QTest::addColumn<QString>("Expected");
        const QString Net = u"10.1.0.0"_s, Mask = u"255.255.0.0"_s;
        const auto Row = [](const char* Name, const QString& F, const QString& A, const QString& B,
                            const QString& C,
                            const QString& E) { QTest::newRow(Name) << F << A << B << C << E; };

        Row("octet 4", u"IpOctet"_s, u"10.1.5.23"_s, u"4"_s, {}, u"23"_s);
        Row("octet with leading zeros", u"IpOctet"_s, u"010.001.5.23"_s, u"2"_s, {}, u"1"_s);
        Row("text after the fourth part", u"IpOctet"_s, u"1.2.3.4.x"_s, u"4"_s, {}, u"4"_s);
        Row("three parts", u"IpOctet"_s, u"10.1.5"_s, u"1"_s, {},
            u"!'' ist kein gültiger ganzzahliger Wert"_s);
        Row("empty text", u"IpOctet"_s, QString(), u"1"_s, {}, u"!'' ist kein gültiger ganzzahliger Wert"_s);
        Row("empty part", u"IpOctet"_s, u"1..2.3"_s, u"1"_s, {},
            u"!'' ist kein gültiger ganzzahliger Wert"_s);
        Row("letter", u"IpOctet"_s, u"10.1.5.a"_s, u"1"_s, {}, u"!'a' ist kein gültiger ganzzahliger Wert"_s);
        Row("blank", u"IpOctet"_s, u"10.1.5. 3"_s, u"1"_s, {},
            u"!' 3' ist kein gültiger ganzzahliger Wert"_s);
        Row("above 255", u"IpOctet"_s, u"300.1.1.1"_s, u"1"_s, {},
            u"!'300' ist kein gültiger Wert zwischen 0 und 255"_s);
        Row("beyond any integer", u"IpOctet"_s, u"1.2.3.99999999999999999999"_s, u"1"_s, {},
            u"!'99999999999999999999' ist kein gültiger Wert zwischen 0 und 255"_s);

        Row("dotted quad", u"IsDottedQuad"_s, u"10.1.5.23"_s, {}, {}, u"true"_s);
        Row("three dots alone", u"IsDottedQuad"_s, u"..."_s, {}, {}, u"true"_s);
        Row("two dots", u"IsDottedQuad"_s, u"10.1.5"_s, {}, {}, u"false"_s);
        Row("four dots", u"IsDottedQuad"_s, u"1.2.3.4.5"_s, {}, {}, u"false"_s);
        Row("not digits", u"IsDottedQuad"_s, u"10.1.5.a"_s, {}, {}, u"false"_s);
        Row("no text", u"IsDottedQuad"_s, QString(), {}, {}, u"false"_s);

        Row("mask", u"MaskAddress"_s, u"10.1.77.3"_s, Mask, {}, u"10.1.0.0"_s);
        Row("odd mask", u"MaskAddress"_s, u"192.168.77.255"_s, u"255.255.240.129"_s, {}, u"192.168.64.129"_s);
        Row("inside", u"InNetwork"_s, Net, u"10.1.77.3"_s, Mask, u"true"_s);
        Row("outside", u"InNetwork"_s, Net, u"10.2.0.1"_s, Mask, u"false"_s);
        Row("bad mask", u"InNetwork"_s, Net, u"10.1.0.1"_s, u"255.255.0"_s,
            u"!'' ist kein gültiger ganzzahliger Wert"_s);

        Row("first inside", u"Select"_s, u"192.168.0.4\r\n10.1.5.23\r\n10.1.5.24"_s, Net, Mask,
            u"10.1.5.23"_s);
        Row("names skipped", u"Select"_s, u"PC1\r\n\r\n10.1.5.24"_s, Net, Mask, u"10.1.5.24"_s);
        Row("none inside", u"Select"_s, u"192.168.0.4"_s, Net, Mask, QString());
        Row("no values", u"Select"_s, QString(), Net, Mask, QString());
        Row("empty part stops", u"Select"_s, u"1..2.3\r\n10.1.5.23"_s, Net, Mask,
            u"!'' ist kein gültiger ganzzahliger Wert"_s);
        Row("large part stops", u"Select"_s, u"300.1.1.1\r\n10.1.5.23"_s, Net, Mask,
            u"!'300' ist kein gültiger Wert zwischen 0 und 255"_s);

        Row("TCP/IP value", u"AddressToText"_s, u"TCP/IP: 0A010517"_s, {}, {}, u"10.1.5.23"_s);
        Row("any separator, small hex", u"AddressToText"_s, u"TCP/IP:xff00fe01"_s, {}, {}, u"255.0.254.1"_s);
        Row("IPX value", u"AddressToText"_s, u"IPX: 0000000A00C04FDCD94A"_s, {}, {}, QString());
        Row("too short", u"AddressToText"_s, u"TCP/IP: 0A0105"_s, {}, {}, QString());
        Row("too long", u"AddressToText"_s, u"TCP/IP: 0A01051700"_s, {}, {}, QString());
        Row("not hex", u"AddressToText"_s, u"TCP/IP: 0A01051G"_s, {}, {}, QString());
        Row("sign is no digit", u"AddressToText"_s, u"TCP/IP: +A010517"_s, {}, {}, QString());
    }
    void addresses() {
        QFETCH(QString, Function);
        QFETCH(QString, A);
        QFETCH(QString, B);
        QFETCH(QString, C);
        QString Result;
        try {
            Result = Call(Function, A, B, C);
        } catch (const std::runtime_error& E) {
            Result = u'!' + QString::fromUtf8(E.what());
        }
        QTEST(Result, "Expected");
    }
};

PARVON_TEST_MAIN(TIpToolsTest)
#include "tst_iptools.moc"
