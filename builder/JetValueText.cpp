#include "JetValueText.h"

#include <QDate>
#include <QUuid>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace quarrow {

namespace {

// Days from 30.12.1899 to the first and the last day Access stores.
constexpr double kFirstDay = -657434;  // 01.01.0100
constexpr double kLastDay = 2958466;   // 01.01.10000, not included
constexpr qint64 kSecondsPerDay = 86400;

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QChar(u'0')); }

// "-" and the digits of `magnitude` with a decimal comma before the last
// `scale` of them, trailing zeros of the fraction dropped.
QString scaledText(bool negative, QString digits, int scale) {
    if (scale > 0) {
        if (digits.size() <= scale) digits = QString(scale - digits.size() + 1, u'0') + digits;
        QString fraction = digits.right(scale);
        digits.chop(scale);
        while (fraction.endsWith(u'0')) fraction.chop(1);
        if (!fraction.isEmpty()) digits += u',' + fraction;
    }
    if (negative && digits != u"0") digits.prepend(u'-');
    return digits;
}

}  // namespace

QString JetUnicodeText(QByteArrayView stored) {
    QString text;
    if (stored.size() >= 2 && quint8(stored[0]) == 0xFF && quint8(stored[1]) == 0xFE) {
        text.reserve(stored.size() - 2);
        bool compressed = true;
        qsizetype i = 2;
        while (i < stored.size()) {
            if (stored[i] == '\0') {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(char16_t(quint8(stored[i]))));
                ++i;
            } else if (i + 1 < stored.size()) {
                text.append(QChar(char16_t(quint8(stored[i]) | quint8(stored[i + 1]) << 8)));
                i += 2;
            } else {
                break;
            }
        }
        return text;
    }
    text.resize(stored.size() / 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(char16_t(quint8(stored[2 * i]) | quint8(stored[2 * i + 1]) << 8));
    }
    return text;
}

QString JetDateText(double days) {
    if (!(days >= kFirstDay && days < kLastDay)) return JetFloatText(days, 15);
    const double whole = std::trunc(days);
    qint64 seconds = std::llround(std::fabs(days - whole) * double(kSecondsPerDay));
    qint64 day = qint64(whole);
    // 23:59:59.6 rounds up to the next midnight, whichever side of the
    // first day the date lies on.
    if (seconds == kSecondsPerDay) {
        seconds = 0;
        ++day;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    QString text = QStringLiteral("%1.%2.%3")
                       .arg(twoDigits(date.day()), twoDigits(date.month()))
                       .arg(date.year(), 4, 10, QChar(u'0'));
    if (seconds != 0) {
        text += QStringLiteral(" %1:%2:%3")
                    .arg(twoDigits(int(seconds / 3600)), twoDigits(int(seconds / 60 % 60)),
                         twoDigits(int(seconds % 60)));
    }
    return text;
}

QString JetFloatText(double value, int significantDigits) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0) return QStringLiteral("0");
    // The value rounded to its significant digits: "-9.371000e+01".
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*e", significantDigits - 1, value);
    const QString rounded = QString::fromLatin1(buffer.data());
    const bool negative = rounded.startsWith(u'-');
    const qsizetype e = rounded.indexOf(u'e');
    QString digits = rounded.mid(negative ? 1 : 0, e - (negative ? 1 : 0)).remove(u'.');
    const int exponent = rounded.mid(e + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);

    QString text;
    if (exponent >= significantDigits || std::fabs(value) < 0.00001) {
        text = digits.left(1);
        if (digits.size() > 1) text += u',' + digits.mid(1);
        text += QStringLiteral("E%1").arg(exponent);
    } else if (exponent < 0) {
        text = QStringLiteral("0,") + QString(-exponent - 1, u'0') + digits;
    } else {
        if (digits.size() <= exponent) digits += QString(exponent + 1 - digits.size(), u'0');
        text = digits.left(exponent + 1);
        if (digits.size() > exponent + 1) text += u',' + digits.mid(exponent + 1);
    }
    return negative ? u'-' + text : text;
}

QString JetCurrencyText(qint64 tenThousandths) {
    const bool negative = tenThousandths < 0;
    // The magnitude of the smallest value does not fit a signed number.
    const quint64 magnitude =
        negative ? quint64(0) - quint64(tenThousandths) : quint64(tenThousandths);
    return scaledText(negative, QString::number(magnitude), 4);
}

QString JetDecimalText(QByteArrayView stored, int scale) {
    if (stored.size() < 17) return QString();
    const bool negative = (quint8(stored[0]) & 0x80) != 0;
    std::array<quint32, 4> words{};  // most significant first
    for (std::size_t w = 0; w < words.size(); ++w) {
        words[w] = qFromLittleEndian<quint32>(stored.data() + 1 + 4 * w);
    }
    // Long division by ten, word by word, for the decimal digits.
    QString digits;
    auto nonZero = [&words] {
        return std::any_of(words.begin(), words.end(), [](quint32 w) { return w != 0; });
    };
    do {
        quint64 remainder = 0;
        for (quint32& word : words) {
            const quint64 current = remainder << 32 | word;
            word = quint32(current / 10);
            remainder = current % 10;
        }
        digits.prepend(QChar(char16_t(u'0' + remainder)));
    } while (nonZero());
    return scaledText(negative, digits, std::max(scale, 0));
}

QString JetBooleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString JetGuidText(QByteArrayView stored) {
    if (stored.size() < 16) return QString();
    const auto* b = reinterpret_cast<const uchar*>(stored.data());
    const QUuid guid(qFromLittleEndian<quint32>(b), qFromLittleEndian<quint16>(b + 4),
                     qFromLittleEndian<quint16>(b + 6), b[8], b[9], b[10], b[11], b[12], b[13],
                     b[14], b[15]);
    return guid.toString(QUuid::WithBraces).toUpper();
}

QString JetBinaryText(QByteArrayView stored) {
    return QString::fromLatin1(stored.toByteArray().toHex().toUpper());
}

}  // namespace quarrow
