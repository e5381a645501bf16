#include "TestSupport.h"
#include "skin/Artwork.h"

#include <QFile>
#include <QImageReader>
#include <QtTest>

using namespace quarrow;
using namespace Qt::StringLiterals;

class ArtworkTest : public QObject {
    Q_OBJECT

private slots:
    void logoIsAJpegOfItsDeclaredSize();
    void iconFileHoldsTheEightImages();
    void programIconHasEverySize();
};

void ArtworkTest::logoIsAJpegOfItsDeclaredSize() {
    QImageReader reader(u":/artwork/logo.jpg"_s);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.size(), QSize(209, 89));
    QCOMPARE(MakerLogo().size(), QSize(209, 89));
}

// Sizes in stored order; the first 256 pixel image is stored compressed.
void ArtworkTest::iconFileHoldsTheEightImages() {
    QFile file(QStringLiteral(QUARROW_ICON_FILE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QImageReader reader(QStringLiteral(QUARROW_ICON_FILE), "ico");
    QCOMPARE(reader.imageCount(), 8);
    QList<int> sides;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);  // transparent corners
        sides << image.width();
    }
    QCOMPARE(sides, QList<int>({256, 256, 128, 96, 48, 32, 24, 16}));

    const auto entry = [&data](int index, int field) {
        const char* at = data.constData() + 6 + 16 * index + field;
        return quint32(quint8(at[0])) | quint32(quint8(at[1])) << 8 | quint32(quint8(at[2])) << 16 |
               quint32(quint8(at[3])) << 24;
    };
    QVERIFY(data.mid(entry(0, 12), 8).startsWith("\x89PNG"));
    for (int i = 1; i < 8; ++i) {
        QCOMPARE(entry(i, 4) & 0xffff0000u, 32u << 16);  // 32 bits a pixel
        QCOMPARE(data.mid(entry(i, 12), 4), QByteArray("\x28\0\0\0", 4));
    }
}

void ArtworkTest::programIconHasEverySize() {
    const QList<QSize> sizes = ProgramIcon().availableSizes();
    for (const int side : {16, 24, 32, 48, 96, 128, 256}) {
        QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
        QCOMPARE(ProgramIcon().pixmap(side).size(), QSize(side, side));
    }
}

QUARROW_TEST_MAIN(ArtworkTest)
#include "tst_artwork.moc"
