// Draws the status pictures the window shows during an update: the progress frames "0" to "20",
// "complete", "failed" and "download" (and the pop-up's arrow). They share one look (a ring on a
// dark disc, white marks) so the window reads as one piece. Each is drawn twice from the same
// strokes: NAME.png for ordinary screens and NAME@2x.png, with twice the pixels, for
// high-density ones. Run through scripts/draw-pictures; the PNGs are committed.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>

static constexpr int kSize = 240;          // the picture area of the window, in its units
static constexpr double kRingWidth = 18.0; // thick enough to read at a glance
static const QColor kDisc(0x14, 0x22, 0x31);
static const QColor kTrack(0x2b, 0x3d, 0x50);
// Progress is calm from the first picture to the last: red belongs to failure alone, so a good
// update never looks like a failing one and the two ends differ at a glance.
static const QColor kProgressStart(0x4d, 0xa3, 0xff);
static const QColor kProgressEnd(0x3c, 0xc8, 0xc8);
static const QColor kGreen(0x3c, 0xcf, 0x7a);
static const QColor kFailRed(0xff, 0x4d, 0x5e);
static const QColor kBlue(0x4d, 0xa3, 0xff);

// An empty picture of `size` x `size` units at `scale` pixels per unit; painting on it is done in
// units, so every picture is drawn once for all scales.
static QImage canvas(int size, int scale) {
    QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    return image;
}

static QRectF ringRect() {
    const double inset = kRingWidth / 2 + 6;
    return QRectF(inset, inset, kSize - 2 * inset, kSize - 2 * inset);
}

// The shared base: a dark disc with an empty track, on a transparent background.
static void drawBase(QPainter& painter, QImage& image) {
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kDisc);
    painter.drawEllipse(QRectF(2, 2, kSize - 4, kSize - 4));
    painter.setPen(QPen(kTrack, kRingWidth, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ringRect());
}

static void drawRing(QPainter& painter, const QBrush& brush, double fraction) {
    if (fraction <= 0.0)
        return;
    painter.setPen(QPen(brush, kRingWidth, Qt::SolidLine, Qt::RoundCap));
    // Qt angles are in 1/16 degree, counter-clockwise from three o'clock: start at twelve and
    // run clockwise.
    const int span = -static_cast<int>(fraction * 360.0 * 16.0);
    if (fraction >= 1.0)
        painter.drawEllipse(ringRect());
    else
        painter.drawArc(ringRect(), 90 * 16, span);
}

static void drawCentredText(QPainter& painter, const QString& text, int pixelSize, double top,
                            double height, const QColor& colour, bool bold) {
    QFont font = painter.font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QRectF(0, top, kSize, height), Qt::AlignCenter, text);
}

static bool save(const QImage& image, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name + ".png");
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

static QImage progressFrame(int step, int scale) {
    QImage image = canvas(kSize, scale);
    QPainter painter;
    drawBase(painter, image);
    QConicalGradient sweep(kSize / 2.0, kSize / 2.0, 98.0); // seam hidden under the round cap
    // Positions run counter-clockwise while the ring fills clockwise from twelve: blue at the
    // start turning to teal, on the way to the green of the finished picture.
    sweep.setColorAt(1.0, kProgressStart);
    sweep.setColorAt(0.0, kProgressEnd);
    drawRing(painter, QBrush(sweep), step / 20.0);
    drawCentredText(painter, QString::number(step * 5) + "%", 54, 70, 70, Qt::white, true);
    drawCentredText(painter, "updating", 20, 140, 30, QColor(0xa9, 0xb8, 0xc8), false);
    painter.end();
    return image;
}

static QImage completePicture(int scale) {
    QImage image = canvas(kSize, scale);
    QPainter painter;
    drawBase(painter, image);
    drawRing(painter, QBrush(kGreen), 1.0);
    QPainterPath tick;
    tick.moveTo(78, 124);
    tick.lineTo(108, 154);
    tick.lineTo(164, 90);
    painter.setPen(QPen(kGreen, 20, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
    painter.end();
    return image;
}

static QImage failedPicture(int scale) {
    QImage image = canvas(kSize, scale);
    QPainter painter;
    drawBase(painter, image);
    drawRing(painter, QBrush(kFailRed), 1.0);
    painter.setPen(QPen(kFailRed, 20, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(88, 88), QPointF(152, 152));
    painter.drawLine(QPointF(152, 88), QPointF(88, 152));
    painter.end();
    return image;
}

static QImage downloadPicture(int scale) {
    QImage image = canvas(kSize, scale);
    QPainter painter;
    drawBase(painter, image);
    drawRing(painter, QBrush(kBlue), 1.0);
    painter.setPen(QPen(kBlue, 18, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(120, 70), QPointF(120, 140));
    QPainterPath head;
    head.moveTo(92, 114);
    head.lineTo(120, 142);
    head.lineTo(148, 114);
    painter.drawPath(head);
    painter.drawLine(QPointF(84, 168), QPointF(156, 168));
    painter.end();
    return image;
}

// The arrow of the version pop-up, in the same white as the window's text.
static QImage chevronPicture(int scale) {
    QImage image = canvas(24, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath chevron;
    chevron.moveTo(5, 9);
    chevron.lineTo(12, 16);
    chevron.lineTo(19, 9);
    painter.drawPath(chevron);
    painter.end();
    return image;
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        for (int step = 0; step <= 20; ++step)
            ok = save(progressFrame(step, scale), dir, QString::number(step) + suffix) && ok;
        ok = save(completePicture(scale), dir, "complete" + suffix) && ok;
        ok = save(failedPicture(scale), dir, "failed" + suffix) && ok;
        ok = save(downloadPicture(scale), dir, "download" + suffix) && ok;
        ok = save(chevronPicture(scale), dir, "chevron" + suffix) && ok;
    }
    return ok ? 0 : 1;
}
