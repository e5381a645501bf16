#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quarrow::test {

// One catalogue row: its values in the table's column order. A null value
// stands for one that is not known before the write, such as the number the
// catalogue gives a new device row.
using Row = QStringList;

enum class WriteKind { Delete, Update, Insert };

// A write as the writing process announced it before starting it, and what
// it reported once the write had committed.
struct LoggedWrite {
    int number = 0;
    WriteKind kind = WriteKind::Delete;
    Row before;    // the row as it was; empty for a new row
    Row intended;  // the row as it is meant to be; empty for a deletion
    bool confirmed = false;
    Row stored;  // the row as the file holds it after the commit
};

// The lines the writing process prints: one before each write starts and one
// after it has committed.
QByteArray ReadyLine();
QByteArray BeginLine(int number, WriteKind kind, const Row& before, const Row& intended);
QByteArray DoneLine(int number, const Row& stored);

// Reads a writer's output. A last line cut short by the kill is left out;
// anything else that does not parse is an error.
struct WriteLog {
    bool ready = false;
    QList<LoggedWrite> writes;
    QString error;
};
WriteLog ParseWriteLog(const QByteArray& output);

// Whether `row` is what `intended` describes: equal wherever a value is known.
bool Fulfils(const Row& row, const Row& intended);

}  // namespace quarrow::test
