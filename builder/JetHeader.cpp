#include "JetHeader.h"

#include <QFile>
#include <QtEndian>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace quarrow {

namespace {

// The layout of the first page, as mdbtools' description of the format
// (HACKING.md) gives it.
constexpr qsizetype kSignatureOffset = 4;
constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr qsizetype kVersionOffset = 0x14;
// From here on the header is enciphered with RC4 under a fixed key.
constexpr qsizetype kMaskedOffset = 0x18;
constexpr std::array<quint8, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr qsizetype kPasswordOffset = 0x42;
constexpr qsizetype kJet3PasswordBytes = 20;
constexpr qsizetype kJet4PasswordBytes = 40;
// Jet 4 masks its password once more with the whole days of the creation
// date, a double in the same header.
constexpr qsizetype kCreationDateOffset = 0x72;

bool startsWith(QByteArrayView bytes, qsizetype offset, const char* text) {
    const auto length = qsizetype(std::strlen(text)) + 1;  // with its NUL
    return bytes.size() >= offset + length && std::memcmp(bytes.data() + offset, text, length) == 0;
}

// RC4 over `bytes` in place.
void decipher(QByteArray& bytes, qsizetype from, qsizetype length) {
    std::array<quint8, 256> state{};
    for (int i = 0; i < 256; ++i) state[std::size_t(i)] = quint8(i);
    quint8 j = 0;
    for (std::size_t i = 0; i < state.size(); ++i) {
        j = quint8(j + state[i] + kHeaderKey[i % kHeaderKey.size()]);
        std::swap(state[i], state[j]);
    }
    quint8 a = 0;
    quint8 b = 0;
    for (qsizetype k = 0; k < length; ++k) {
        a = quint8(a + 1);
        b = quint8(b + state[a]);
        std::swap(state[a], state[b]);
        bytes[from + k] = char(quint8(bytes[from + k]) ^ state[quint8(state[a] + state[b])]);
    }
}

QString jet4Password(const QByteArray& header) {
    QByteArray bytes = header.mid(kPasswordOffset, kJet4PasswordBytes);
    const double created = qFromLittleEndian<double>(header.constData() + kCreationDateOffset);
    // The whole days as a 32-bit number, saturated; a date that is no
    // number masks with nothing.
    const double days = std::isnan(created) ? 0 : std::trunc(created);
    const qint32 mask = days >= 2147483647.0    ? std::numeric_limits<qint32>::max()
                        : days <= -2147483648.0 ? std::numeric_limits<qint32>::min()
                                                : qint32(days);
    std::array<char, 4> maskBytes{};
    qToLittleEndian(mask, maskBytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char(bytes[i] ^ maskBytes[i % 4]);
    QString password =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    const qsizetype end = password.indexOf(QChar(u'\0'));
    return end < 0 ? password : password.left(end);
}

QString jet3Password(const QByteArray& header) {
    const QByteArray bytes = header.mid(kPasswordOffset, kJet3PasswordBytes);
    const qsizetype end = bytes.indexOf('\0');
    // Only the ASCII password the program gives can ever match, so the
    // file's code page does not matter here.
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

}  // namespace

JetHeader ReadJetHeader(QByteArrayView start) {
    JetHeader header;
    if (start.size() < kJetHeaderSize) return header;
    const bool ace = startsWith(start, kSignatureOffset, kAceSignature);
    if (!ace && !startsWith(start, kSignatureOffset, kJetSignature)) return header;
    const quint8 version = quint8(start[kVersionOffset]);
    if (ace) {
        header.format = JetFormat::Ace;
        return header;
    }
    if (version > 1) {
        header.format = JetFormat::UnknownJetVersion;
        return header;
    }
    header.format = version == 0 ? JetFormat::Jet3 : JetFormat::Jet4;
    QByteArray plain = start.first(kJetHeaderSize).toByteArray();
    decipher(plain, kMaskedOffset, kJetHeaderSize - kMaskedOffset);
    header.password = header.format == JetFormat::Jet4 ? jet4Password(plain) : jet3Password(plain);
    return header;
}

JetHeader ReadJetHeaderOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return ReadJetHeader(file.read(kJetHeaderSize));
}

bool JetPasswordAccepts(const QString& stored, const QString& given) {
    return stored.isEmpty() || stored == given;
}

}  // namespace quarrow
