#include "Artwork.h"

#include <QIconEngine>
#include <functional>
#include <utility>

// Resources of a static library are registered only when asked for.
static void registerArtwork() { Q_INIT_RESOURCE(Artwork); }

namespace quarrow {

namespace {

// An icon whose images are read the first time it is drawn or measured, not
// when it is made: adding its files reads them all, and a window system that
// never shows the icon would pay for that at every start.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make) : make_(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("quarrow-deferred"); }

private:
    const QIcon& icon() {
        if (!made_) {
            icon_ = make_();
            made_ = true;
        }
        return icon_;
    }

    std::function<QIcon()> make_;
    QIcon icon_;
    bool made_ = false;
};

}  // namespace

QPixmap MakerLogo() {
    registerArtwork();
    return QPixmap(QStringLiteral(":/artwork/logo.jpg"), "JPEG");
}

QIcon ProgramIcon() {
    registerArtwork();
    return QIcon(new DeferredIconEngine([] {
        QIcon icon;
        for (const int size : {16, 24, 32, 48, 96, 128, 256}) {
            icon.addFile(QStringLiteral(":/artwork/quarrow-%1.png").arg(size), QSize(size, size));
        }
        return icon;
    }));
}

}  // namespace quarrow
