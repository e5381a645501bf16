#include "MemoryResource.h"

#include <QHashFunctions>
#include <QLocale>
#include <QResource>
#include <QtEndian>
#include <limits>

namespace quarrow {

namespace {

// Qt's binary resource format, version 1, holding a root folder with one file:
// a header, then the payloads, the names and the tree, each number big-endian.
// A name carries Qt's hash of itself, by which a folder's entries are found.
constexpr quint32 kFormatVersion = 1;
constexpr quint16 kFolderFlag = 0x02;
constexpr int kHeaderSize = 20;
// Qt reads the offsets as signed 32-bit numbers; what the program keeps this
// way is far smaller.
constexpr qsizetype kMaxContent = qsizetype(1) << 30;

void append16(QByteArray& out, quint16 value) {
    const quint16 big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

void append32(QByteArray& out, quint32 value) {
    const quint32 big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

QByteArray singleFileResource(const QString& name, const QByteArray& content) {
    QByteArray payloads;
    append32(payloads, quint32(content.size()));
    payloads.append(content);

    QByteArray names;
    append16(names, quint16(name.size()));
    append32(names, qt_hash(name));
    for (const QChar c : name) append16(names, c.unicode());

    QByteArray tree;
    // The root folder: no name of its own, one entry, which is node 1.
    append32(tree, 0);
    append16(tree, kFolderFlag);
    append32(tree, 1);
    append32(tree, 1);
    // The file: its name at offset 0, for any language, payload at offset 0.
    append32(tree, 0);
    append16(tree, 0);
    append16(tree, quint16(QLocale::AnyTerritory));
    append16(tree, quint16(QLocale::C));
    append32(tree, 0);

    const quint32 payloadsAt = kHeaderSize;
    const quint32 namesAt = payloadsAt + quint32(payloads.size());
    const quint32 treeAt = namesAt + quint32(names.size());
    QByteArray rcc("qres");
    append32(rcc, kFormatVersion);
    append32(rcc, treeAt);
    append32(rcc, payloadsAt);
    append32(rcc, namesAt);
    return rcc + payloads + names + tree;
}

}  // namespace

MemoryResource::MemoryResource(const QString& folder, const QString& name,
                               const QByteArray& content)
    : folder_(folder),
      path_(u':' + folder + u'/' + name),
      rcc_(content.size() <= kMaxContent && name.size() <= std::numeric_limits<quint16>::max()
               ? singleFileResource(name, content)
               : QByteArray()) {
    registered_ = !rcc_.isEmpty() && QResource::registerResource(
                                         reinterpret_cast<const uchar*>(rcc_.constData()), folder_);
}

MemoryResource::~MemoryResource() {
    if (registered_) {
        QResource::unregisterResource(reinterpret_cast<const uchar*>(rcc_.constData()), folder_);
    }
}

}  // namespace quarrow
