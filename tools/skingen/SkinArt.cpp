#include "SkinArt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace skingen {

namespace {

constexpr int kWidth = 500, kHeight = 330;
// The title area ends with a hairline at this row; the rail and the page start below it.
constexpr int kHeaderRule = 52;
// The rail's right edge; the command buttons end at x 127.
constexpr int kRailEdge = 132;

QColor hex(const char* text) {
    return QColor(QString::fromLatin1(text));
}

QColor withAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

QImage blank(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QFont sans(qreal pixelSize, bool bold) {
    // Liberation Sans, the program's Arial: its bold is a true bold at every size.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(static_cast<int>(pixelSize));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// The emblem: a disc with one piece set a little apart, on its way back into place. It stands
// for what the program does: a medium that lost a part comes back whole.
void drawEmblem(QPainter& painter, const QRectF& box, const Palette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = box.center();
    const qreal radius = box.width() / 2.0 - 1.5;
    const QRectF disc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    constexpr qreal kStart = 18.0, kSpan = 56.0; // degrees, counter-clockwise from 3 o'clock

    QPainterPath wedge;
    wedge.moveTo(centre);
    wedge.arcTo(disc, kStart, kSpan);
    wedge.closeSubpath();
    QPainterPath whole;
    whole.addEllipse(disc);
    const QPainterPath body = whole.subtracted(wedge);

    // soft shadow under the disc
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(palette.accentDark, 40));
    painter.drawPath(body.translated(0.8, 1.2));

    QLinearGradient bodyFill(disc.topLeft(), disc.bottomRight());
    bodyFill.setColorAt(0.0, palette.accent.lighter(118));
    bodyFill.setColorAt(1.0, palette.accentDark);
    painter.setBrush(bodyFill);
    painter.setPen(QPen(palette.accentDark.darker(115), 1.0));
    painter.drawPath(body);

    // tracks of the medium
    painter.setBrush(Qt::NoBrush);
    for (qreal ring : {0.74, 0.52}) {
        QPainterPath circle;
        const qreal r = radius * ring;
        circle.addEllipse(centre, r, r);
        painter.setPen(QPen(withAlpha(palette.accentLight, 110), 0.9));
        painter.drawPath(circle.subtracted(wedge));
    }
    // the hub
    painter.setPen(QPen(palette.accentDark, 1.0));
    painter.setBrush(palette.headerTop);
    painter.drawEllipse(centre, radius * 0.17, radius * 0.17);

    // the piece coming back, moved out along its middle
    const qreal middle = (kStart + kSpan / 2.0) * M_PI / 180.0;
    const QPointF out(std::cos(middle) * radius * 0.16, -std::sin(middle) * radius * 0.16);
    QPainterPath piece;
    piece.moveTo(centre);
    piece.arcTo(disc, kStart + 4, kSpan - 8);
    piece.closeSubpath();
    QPainterPath hub;
    hub.addEllipse(centre, radius * 0.30, radius * 0.30);
    piece = piece.subtracted(hub).translated(out);
    QLinearGradient pieceFill(piece.boundingRect().topLeft(), piece.boundingRect().bottomRight());
    pieceFill.setColorAt(0.0, palette.fragment.lighter(112));
    pieceFill.setColorAt(1.0, palette.fragment.darker(112));
    painter.setBrush(pieceFill);
    painter.setPen(QPen(palette.fragment.darker(150), 1.0));
    painter.drawPath(piece);
    painter.restore();
}

// The largest bold size up to maxSize at which text fits the width.
QFont fittedTitleFont(const QString& text, qreal width, int maxSize) {
    for (int size = maxSize; size > 8; --size) {
        const QFont font = sans(size, true);
        if (QFontMetricsF(font).horizontalAdvance(text) <= width)
            return font;
    }
    return sans(8, true);
}

void drawFrame(QPainter& painter, const QSize& size, const Palette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(palette.frame);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    painter.restore();
}

// A chooser picture's plate: a soft rounded button on the page colour.
void drawPlate(QPainter& painter, const Palette& palette) {
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 1, 0, 32);
    fill.setColorAt(0.0, palette.inputBack);
    fill.setColorAt(1.0, palette.railBottom);
    painter.setBrush(fill);
    painter.setPen(QPen(palette.rule, 1.0));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 30, 30), 5, 5);
}

} // namespace

const std::vector<Palette>& palettes() {
    // Calm, light surfaces with one dark ink: the window is used by people who are worried
    // about their data, and every text on it has to read at a glance.
    static const std::vector<Palette> all = {
        {QStringLiteral("classic"), hex("#2d5784"), hex("#f4f8fd"), hex("#d6e5f5"), hex("#a9c1dc"),
         hex("#e1ecf8"), hex("#d3e2f3"), hex("#f2f7fc"), hex("#3a70ad"), hex("#214e80"),
         hex("#cfe0f3"), hex("#1c3d63"), hex("#f0b443"), hex("#cfe3f8"), hex("#173554")},
        {QStringLiteral("nature"), hex("#2f5f2b"), hex("#f3f8ef"), hex("#d3e6c6"), hex("#a8c89a"),
         hex("#e2efd9"), hex("#d1e5c3"), hex("#f1f7ec"), hex("#3f8a3a"), hex("#285f25"),
         hex("#d6eacc"), hex("#1f4a1c"), hex("#e9b949"), hex("#d5ebc6"), hex("#162f13")},
        {QStringLiteral("banana"), hex("#8a6514"), hex("#fffcec"), hex("#f8e9a8"), hex("#dcc47a"),
         hex("#fbf2cc"), hex("#f5e6a9"), hex("#fffbea"), hex("#c8961f"), hex("#8d6711"),
         hex("#fbefc2"), hex("#5b440b"), hex("#6aa33c"), hex("#fbe9a4"), hex("#44320a")},
    };
    return all;
}

QImage drawBack(const Palette& palette) {
    QImage image = blank(kWidth, kHeight, palette.page);
    QPainter painter(&image);

    // Title area: a gentle vertical shade, with faint tracks of a large disc at its right,
    // the emblem's motif far in the background.
    QLinearGradient header(0, 1, 0, kHeaderRule);
    header.setColorAt(0.0, palette.headerTop);
    header.setColorAt(1.0, palette.headerBottom);
    painter.fillRect(1, 1, kWidth - 2, kHeaderRule - 1, header);
    painter.save();
    painter.setClipRect(1, 1, kWidth - 2, kHeaderRule - 1);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 7; ++ring) {
        const qreal r = 120 + ring * 22;
        painter.setPen(QPen(withAlpha(palette.accentDark, 16), 6));
        painter.drawEllipse(QPointF(560, 150), r, r);
    }
    painter.restore();
    painter.setPen(palette.rule);
    painter.drawLine(1, kHeaderRule, kWidth - 2, kHeaderRule);
    painter.setPen(withAlpha(Qt::white, 150));
    painter.drawLine(1, 1, kWidth - 2, 1);

    // Logo area (x 6..179, y 6..49): emblem and product name, clicked for the web site.
    drawEmblem(painter, QRectF(10, 10, 34, 34), palette);
    const QString product = QStringLiteral("Fragmentrove");
    const QFont nameFont = fittedTitleFont(product, 176 - 50, 21);
    painter.setFont(nameFont);
    const QFontMetricsF metrics(nameFont);
    const qreal baseline = 27 + (metrics.ascent() - metrics.descent()) / 2.0;
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(withAlpha(Qt::white, 170));
    painter.drawText(QPointF(50, baseline + 1), product);
    painter.setPen(palette.logoInk);
    painter.drawText(QPointF(50, baseline), product);

    // Rail behind the command buttons (x 2..127), reaching down to the window edge.
    QLinearGradient rail(0, kHeaderRule + 1, 0, kHeight - 2);
    rail.setColorAt(0.0, palette.railTop);
    rail.setColorAt(1.0, palette.railBottom);
    painter.fillRect(1, kHeaderRule + 1, kRailEdge - 1, kHeight - kHeaderRule - 2, rail);
    painter.setPen(palette.rule);
    painter.drawLine(kRailEdge, kHeaderRule + 1, kRailEdge, kHeight - 2);
    painter.setPen(withAlpha(Qt::white, 170));
    painter.drawLine(kRailEdge + 1, kHeaderRule + 1, kRailEdge + 1, kHeight - 2);
    painter.drawLine(1, kHeaderRule + 1, kRailEdge - 1, kHeaderRule + 1);

    // The page stays one flat tone: the open and save pictures move between pages and are
    // drawn on that tone, and labels may sit anywhere on it.
    // A short accent bar anchors the page title (Label1 starts at x 155).
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.accent);
    painter.drawRoundedRect(QRectF(145, 72, 4, 19), 2, 2);

    drawFrame(painter, image.size(), palette);
    painter.end();
    return image;
}

QImage drawGlyph(const Palette& palette, const QImage& back, int left, Glyph glyph) {
    QImage image = back.copy(left, kGlyphTop, 16, 14);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient fill(0, 0, 0, 14);
    const QColor base = glyph == Glyph::Close ? palette.accentDark : palette.accent;
    fill.setColorAt(0.0, base.lighter(125));
    fill.setColorAt(1.0, base);
    painter.setBrush(fill);
    painter.setPen(QPen(palette.accentDark.darker(120), 1.0));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 13), 3, 3);

    // Glyphs on whole pixels, so they stay sharp at this size.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor ink(0xff, 0xff, 0xff);
    switch (glyph) {
    case Glyph::Minimize:
        painter.fillRect(4, 8, 8, 2, ink);
        break;
    case Glyph::Close:
        for (int i = 0; i < 6; ++i) {
            painter.fillRect(5 + i, 4 + i, 1, 1, ink);
            painter.fillRect(10 - i, 4 + i, 1, 1, ink);
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(withAlpha(ink, 150), 1.0));
        painter.drawLine(QPointF(5.5, 3.5 + 1), QPointF(10.5 - 1, 9.5));
        painter.drawLine(QPointF(5.5 + 1, 3.5), QPointF(10.5, 9.5 - 1));
        painter.drawLine(QPointF(10.5, 3.5 + 1), QPointF(5.5 + 1, 9.5));
        painter.drawLine(QPointF(10.5 - 1, 3.5), QPointF(5.5, 9.5 - 1));
        break;
    case Glyph::Help: {
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(sans(11, true));
        painter.setPen(ink);
        painter.drawText(QRect(0, 0, 16, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    painter.end();
    return image;
}

QImage drawOpen(const Palette& palette) {
    QImage image = blank(33, 33, palette.page);
    QPainter painter(&image);
    drawPlate(painter, palette);

    // An open folder with a sheet in it.
    QPainterPath back;
    back.moveTo(7.5, 10.5);
    back.lineTo(7.5, 24.5);
    back.lineTo(25.5, 24.5);
    back.lineTo(25.5, 12.5);
    back.lineTo(15.5, 12.5);
    back.lineTo(13.5, 9.5);
    back.lineTo(8.5, 9.5);
    back.closeSubpath();
    painter.setBrush(palette.accentDark);
    painter.setPen(QPen(palette.accentDark.darker(130), 1.0));
    painter.drawPath(back);

    painter.setBrush(Qt::white);
    painter.setPen(QPen(palette.rule.darker(115), 1.0));
    painter.drawRect(QRectF(10.5, 11.5, 13, 9));
    painter.setPen(QPen(palette.rule, 1.0));
    painter.drawLine(QPointF(12.5, 14.5), QPointF(21.5, 14.5));
    painter.drawLine(QPointF(12.5, 16.5), QPointF(19.5, 16.5));

    QPainterPath front;
    front.moveTo(10.5, 15.5);
    front.lineTo(28.5, 15.5);
    front.lineTo(25.5, 24.5);
    front.lineTo(7.5, 24.5);
    front.closeSubpath();
    QLinearGradient frontFill(0, 15, 0, 25);
    frontFill.setColorAt(0.0, palette.accent.lighter(135));
    frontFill.setColorAt(1.0, palette.accent);
    painter.setBrush(frontFill);
    painter.setPen(QPen(palette.accentDark.darker(120), 1.0));
    painter.drawPath(front);
    painter.end();
    return image;
}

QImage drawSave(const Palette& palette) {
    QImage image = blank(33, 33, palette.page);
    QPainter painter(&image);
    drawPlate(painter, palette);

    // A diskette: body, metal shutter, paper label.
    QPainterPath body;
    body.moveTo(8.5, 7.5);
    body.lineTo(22.5, 7.5);
    body.lineTo(25.5, 10.5);
    body.lineTo(25.5, 25.5);
    body.lineTo(8.5, 25.5);
    body.closeSubpath();
    QLinearGradient bodyFill(0, 7, 0, 26);
    bodyFill.setColorAt(0.0, palette.accent);
    bodyFill.setColorAt(1.0, palette.accentDark);
    painter.setBrush(bodyFill);
    painter.setPen(QPen(palette.accentDark.darker(130), 1.0));
    painter.drawPath(body);

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(12, 8, 9, 6, QColor(0xdd, 0xe1, 0xe6));
    painter.fillRect(18, 9, 2, 4, palette.accentDark.darker(120));
    painter.fillRect(11, 17, 12, 8, Qt::white);
    painter.fillRect(13, 19, 8, 1, palette.rule);
    painter.fillRect(13, 21, 6, 1, palette.rule);
    painter.end();
    return image;
}

QImage drawSmallBack(const Palette& palette) {
    // The directory and medium-test dialog: the drive box at the top, the list or the
    // gauge in the middle, two buttons on a band at the bottom.
    QImage image = blank(200, 150, palette.page);
    QPainter painter(&image);
    QLinearGradient band(0, 121, 0, 149);
    band.setColorAt(0.0, palette.railTop);
    band.setColorAt(1.0, palette.railBottom);
    painter.fillRect(1, 121, 198, 28, band);
    painter.setPen(palette.rule);
    painter.drawLine(1, 120, 198, 120);
    painter.setPen(palette.accent);
    painter.drawLine(1, 1, 198, 1);
    drawFrame(painter, image.size(), palette);
    painter.end();
    return image;
}

QImage drawId3Back(const Palette& palette) {
    QImage image = blank(300, 220, palette.page);
    QPainter painter(&image);

    // Title band, kept above the first field label (y 9).
    QLinearGradient title(0, 1, 0, 7);
    title.setColorAt(0.0, palette.accent.lighter(115));
    title.setColorAt(1.0, palette.accentDark);
    painter.fillRect(1, 1, 298, 6, title);
    painter.setPen(withAlpha(palette.accentLight, 200));
    painter.drawLine(1, 7, 298, 7);

    // Buttons (top 190) sit on a band like the rail of the main window.
    QLinearGradient band(0, 185, 0, 219);
    band.setColorAt(0.0, palette.railTop);
    band.setColorAt(1.0, palette.railBottom);
    painter.fillRect(1, 185, 298, 34, band);
    painter.setPen(palette.rule);
    painter.drawLine(1, 184, 298, 184);

    // Two beamed notes in the free corner above the year and genre fields: this dialog
    // tags music.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor note = withAlpha(palette.accent, 150);
    painter.setBrush(note);
    QPainterPath beam;
    beam.moveTo(266, 17);
    beam.lineTo(285, 13);
    beam.lineTo(285, 17);
    beam.lineTo(266, 21);
    beam.closeSubpath();
    painter.drawPath(beam);
    painter.drawRect(QRectF(264.6, 18, 1.6, 20));
    painter.drawRect(QRectF(283.6, 14, 1.6, 20));
    for (const QPointF& head : {QPointF(261.8, 38.5), QPointF(280.8, 34.5)}) {
        painter.save();
        painter.translate(head);
        painter.rotate(-20);
        painter.drawEllipse(QPointF(0, 0), 4.4, 3.1);
        painter.restore();
    }
    drawFrame(painter, image.size(), palette);
    painter.end();
    return image;
}

QByteArray coloursFile(const Palette& palette) {
    auto value = [](const QColor& colour) {
        return QByteArray::number(colour.blue() * 65536 + colour.green() * 256 + colour.red());
    };
    return value(palette.inputBack) + "\r\n" + value(palette.text) + "\r\n";
}

} // namespace skingen
