#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// A table as comma-separated values (RFC 4180) for spreadsheet programs: fields separated by
// commas, every record ended by CR LF, a field that holds a comma, a double quote, CR or LF
// enclosed in double quotes with each double quote inside doubled; UTF-8 with a byte order mark,
// by which spreadsheet programs tell the encoding and show umlauts.
QByteArray CsvText(const QList<QStringList>& Rows);
