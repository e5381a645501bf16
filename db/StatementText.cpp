#include "StatementText.h"

#include <QRegularExpression>

namespace quarrow {

QString QuoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString UnquoteIdentifier(const QString& identifier) {
    if (identifier.size() >= 2 && identifier.startsWith(u'"')) {
        return identifier.mid(1, identifier.size() - 2)
            .replace(QStringLiteral("\"\""), QStringLiteral("\""));
    }
    if (identifier.size() >= 2 && identifier.startsWith(u'[')) {
        return identifier.mid(1, identifier.size() - 2);
    }
    return identifier;
}

QRegularExpression StatementPattern(const QString& pattern) {
    static const QString identifier = QStringLiteral(R"(("(?:[^"]|"")+"|\[[^\]]+\]|[\w$]+))");
    return QRegularExpression(
        pattern.arg(identifier),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
}

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
            out += QStringLiteral("?%1").arg(values->size());
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

namespace {

bool defeatsTrigramIndex(const QString& pattern) {
    const QByteArray utf8 = pattern.toUtf8();
    int bytes = 0;
    int characters = 0;
    // The index reads the pattern only up to its first NUL.
    for (qsizetype i = 0; i <= utf8.size(); ++i) {
        const char b = i < utf8.size() ? utf8[i] : '\0';
        if (b == '%' || b == '_' || b == '\0') {
            if (bytes >= 3 && characters < 3) return true;
            if (b == '\0') return false;
            bytes = 0;
            characters = 0;
            continue;
        }
        ++bytes;
        if ((static_cast<unsigned char>(b) & 0xC0) != 0x80) ++characters;
    }
    return false;
}

}  // namespace

QString AvoidTrigramFault(const QString& liftedSql, const QStringList& values) {
    static const QRegularExpression likeParameter =
        StatementPattern(QStringLiteral(R"(%1(\s+(?:not\s+)?like\s+)\?(\d+))"));
    QString result;
    qsizetype copied = 0;
    QRegularExpressionMatchIterator it = likeParameter.globalMatch(liftedSql);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const qsizetype index = match.captured(3).toInt() - 1;
        if (index < 0 || index >= values.size() || !defeatsTrigramIndex(values[index])) continue;
        result += QStringView(liftedSql).mid(copied, match.capturedStart(1) - copied);
        result += u'+';
        copied = match.capturedStart(1);
    }
    result += QStringView(liftedSql).mid(copied);
    return result;
}

}  // namespace quarrow
