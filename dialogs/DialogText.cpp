#include "DialogText.h"

namespace quarrow {

namespace {

// Length of the character at `i`: two for a surrogate pair.
qsizetype characterLength(const QString& text, qsizetype i) {
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        return 2;
    }
    return 1;
}

// A run of characters without a blank longer than this gets a place to break.
constexpr qsizetype kLongestUnbrokenRun = 100;
constexpr QChar kZeroWidthSpace(0x200B);
constexpr QChar kEllipsis(0x2026);

bool breaksLine(QChar c) { return c == u'\r' || c == u'\n'; }

}  // namespace

QString ElideLongText(const QString& text, qsizetype most) {
    if (text.size() <= most) return text;
    qsizetype cut = most;
    if (text.at(cut - 1).isHighSurrogate()) --cut;
    return text.left(cut) + kEllipsis;
}

QString ShownMessageText(const QString& text) {
    QString shown;
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !breaksLine(text.at(lineEnd))) ++lineEnd;
        const QString line = ElideLongText(text.mid(lineStart, lineEnd - lineStart));
        qsizetype run = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            run = c.isSpace() ? 0 : run + 1;
            if (run > kLongestUnbrokenRun && !c.isLowSurrogate()) {
                shown += kZeroWidthSpace;
                run = 1;
            }
            shown += c;
        }
        if (lineEnd == text.size()) break;
        shown += text.at(lineEnd);
        lineStart = lineEnd + 1;
    }
    return shown;
}

QString NormaliseLineBreaks(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            result += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        } else {
            result += c;
        }
    }
    return result;
}

QString AccessKeyHtml(const QString& text) {
    const QString lines = NormaliseLineBreaks(text);
    QString html = QStringLiteral("<p style=\"white-space:pre-wrap\">");
    for (qsizetype i = 0; i < lines.size();) {
        const QChar c = lines.at(i);
        if (c == u'\n') {
            html += QStringLiteral("<br/>");
            ++i;
        } else if (c != u'&') {
            const qsizetype length = characterLength(lines, i);
            html += lines.mid(i, length).toHtmlEscaped();
            i += length;
        } else if (i + 1 < lines.size() && lines.at(i + 1) == u'&') {
            html += QStringLiteral("&amp;");
            i += 2;
        } else if (i + 1 < lines.size() && lines.at(i + 1) != u'\n') {
            const qsizetype length = characterLength(lines, i + 1);
            html += QStringLiteral("<u>") + lines.mid(i + 1, length).toHtmlEscaped() +
                    QStringLiteral("</u>");
            i += 1 + length;
        } else {
            ++i;  // a marker with nothing to underline
        }
    }
    return html + QStringLiteral("</p>");
}

}  // namespace quarrow
