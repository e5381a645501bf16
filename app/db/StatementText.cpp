#include "StatementText.h"

namespace quarrow {

QString QuoteLiteralBody(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return quoted;
}

namespace {

// Copies a quoted identifier or a comment unchanged; returns the index after it.
qsizetype copyUntil(const QString& sql, qsizetype from, QStringView close, QString& out) {
    const qsizetype end = sql.indexOf(close, from);
    const qsizetype stop = end < 0 ? sql.size() : end + close.size();
    out += QStringView(sql).mid(from, stop - from);
    return stop;
}

}  // namespace

QString LiftStringLiterals(const QString& sql, QStringList* values) {
    QString out;
    out.reserve(sql.size());
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c == u'\'') {
            QString value;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < sql.size()) {
                if (sql[j] == u'\'') {
                    if (j + 1 < sql.size() && sql[j + 1] == u'\'') {
                        value += u'\'';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += sql[j++];
            }
            if (!closed) {
                // Left for the engine to report as the syntax error it is.
                out += QStringView(sql).mid(i);
                break;
            }
            values->append(value);
            out += u'?';
            i = j;
        } else if (c == u'"') {
            i = copyUntil(sql, i + 1, u"\"", out.append(c));
        } else if (c == u'[') {
            i = copyUntil(sql, i + 1, u"]", out.append(c));
        } else if (c == u'`') {
            i = copyUntil(sql, i + 1, u"`", out.append(c));
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            i = copyUntil(sql, i, u"\n", out);
        } else if (c == u'/' && i + 1 < sql.size() && sql[i + 1] == u'*') {
            i = copyUntil(sql, i, u"*/", out);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace quarrow
