#include "CsvText.h"

namespace {
QString Field(const QString& Text) {
    if (!Text.contains(u',') && !Text.contains(u'"') && !Text.contains(u'\r') && !Text.contains(u'\n'))
        return Text;
    QString Quoted = Text;
    Quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + Quoted + u'"';
}
} // namespace

QByteArray CsvText(const QList<QStringList>& Rows) {
    QString Text;
    for (const QStringList& Row : Rows) {
        for (qsizetype I = 0; I < Row.size(); ++I) {
            if (I)
                Text += u',';
            Text += Field(Row[I]);
        }
        Text += QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + Text.toUtf8();
}
