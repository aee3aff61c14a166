// Draws moviecat's pictures and icons. assets/generate builds and runs this program.
// Nothing here reads the clock or an outside seed, so a rerun writes the same pixels.
//
//   moviecat-asset-generator <assets dir> <staging dir>
//
// The pictures go to <staging dir> as PNG (the script encodes them as baseline JPEG
// with full-resolution colour, which keeps the thin gold and red strokes clean); the
// icons go straight to <assets dir>/icons.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace moviecat {
namespace {

// The date and version printed on the pictures: the release they belong to.
const QString kChineseName = QStringLiteral("影视目录");
const QString kLatinName = QStringLiteral("moviecat");
const QString kVersion = QStringLiteral("1.00");

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "moviecat-asset-generator: %s\n", qPrintable(message));
    std::exit(1);
}

// ---------------------------------------------------------------------------------------
// Colour ramps

struct Stop {
    double at;
    QRgb rgb;
};

QColor ramp(const std::vector<Stop> &stops, double t)
{
    if (t <= stops.front().at)
        return QColor(stops.front().rgb);
    for (size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].at) {
            const Stop &a = stops[i - 1];
            const Stop &b = stops[i];
            const double f = (t - a.at) / (b.at - a.at);
            auto mix = [f](int x, int y) {
                return int(std::lround(x + (y - x) * f));
            };
            return QColor(mix(qRed(a.rgb), qRed(b.rgb)), mix(qGreen(a.rgb), qGreen(b.rgb)),
                          mix(qBlue(a.rgb), qBlue(b.rgb)));
        }
    }
    return QColor(stops.back().rgb);
}

// The top strip: deep blue at the top edge, pale at the bottom so that the dark red
// "Exit" and "版权" labels on its right read well. Logo, title and the search notice
// repeat these rows exactly so they melt into the stretched strip.
const std::vector<Stop> kTopStrip = {
    {0.00, 0x0b2a66}, {0.16, 0x1d4f9e}, {0.42, 0x5f93da}, {0.70, 0xa9c8f1}, {1.00, 0xd3e2fb}};
constexpr int kStripRows = 80;

QColor topStripRow(double row)
{
    // A 1 px shadow line closes the strip against the window below it.
    if (row >= kStripRows - 1)
        return QColor(0x8fa9d8);
    if (row >= kStripRows - 2)
        return QColor(0xe6efff);
    return ramp(kTopStrip, (row + 0.5) / kStripRows);
}

// The window stretches the 80-row strip over 81 window rows. Pictures drawn unscaled in
// front of it (logo, title, search notice) take, for each window row, the strip row that
// the stretch puts there, so no seam shows where they end.
QColor stretchedStripRow(int windowRow)
{
    return topStripRow(std::floor((windowRow + 0.5) * kStripRows / 81.0));
}

// The status strip: darkest at the bottom, under light cyan text.
const std::vector<Stop> kStatusStrip = {
    {0.00, 0x7fa8e6}, {0.06, 0x3f74c6}, {0.35, 0x24549f}, {0.75, 0x123372}, {1.00, 0x07183f}};

QColor statusStripRow(int row)
{
    return ramp(kStatusStrip, (row + 0.5) / kStripRows);
}

// Paints whole rows of an image from a row colour function, first image row = stripRow.
template <typename RowColour> void fillRows(QImage &image, int firstRow, RowColour colourOf)
{
    QPainter p(&image);
    for (int y = 0; y < image.height(); ++y)
        p.fillRect(0, y, image.width(), 1, colourOf(firstRow + y));
}

// ---------------------------------------------------------------------------------------
// Fonts and text

QFont font(const QString &family, double pixelSize, bool bold = false)
{
    QFont f(family);
    f.setPixelSize(int(std::lround(pixelSize)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    const QFontInfo info(f);
    if (info.family() != family)
        fail(QStringLiteral("font \"%1\" is not installed (got \"%2\"); run scripts/deps")
                 .arg(family, info.family()));
    return f;
}

QFont kai(double px, bool bold = false)
{
    return font(QStringLiteral("AR PL UKai CN"), px, bold);
}
QFont song(double px, bool bold = false)
{
    return font(QStringLiteral("AR PL UMing CN"), px, bold);
}
QFont serif(double px)
{
    QFont f = font(QStringLiteral("DejaVu Serif"), px, true);
    f.setItalic(true);
    return f;
}
QFont sans(double px, bool bold = false)
{
    return font(QStringLiteral("DejaVu Sans"), px, bold);
}

// Text as an outline whose ink box has its top-left corner at `topLeft`.
QPainterPath textPath(const QString &text, const QFont &f, QPointF topLeft)
{
    QPainterPath path;
    path.addText(0, 0, f, text);
    const QRectF box = path.boundingRect();
    return path.translated(topLeft - box.topLeft());
}

// Box blur, three passes (close to a Gaussian), on a premultiplied image.
QImage blurred(const QImage &source, int radius)
{
    QImage img = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = img.width();
    const int h = img.height();
    std::vector<int> sums(4);
    std::vector<QRgb> line(std::max(w, h));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> QRgb & {
                return horizontal ? reinterpret_cast<QRgb *>(img.scanLine(o))[i]
                                  : reinterpret_cast<QRgb *>(img.scanLine(i))[o];
            };
            for (int i = 0; i < inner; ++i)
                line[i] = at(i);
            for (int i = 0; i < inner; ++i) {
                int a = 0, r = 0, g = 0, b = 0, n = 2 * radius + 1;
                for (int k = i - radius; k <= i + radius; ++k) {
                    const QRgb c = (k >= 0 && k < inner) ? line[k] : 0;
                    a += qAlpha(c);
                    r += qRed(c);
                    g += qGreen(c);
                    b += qBlue(c);
                }
                at(i) = qRgba(r / n, g / n, b / n, a / n);
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    return img;
}

// A soft shadow of `path` drawn into `target` (painter without a transform).
void drawShadow(QPainter &p, QSize canvas, const QPainterPath &path, QPointF offset, int radius,
                QColor colour, double spread = 0)
{
    QImage layer(canvas, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.translate(offset);
        lp.fillPath(path, colour);
        if (spread > 0)
            lp.strokePath(path, QPen(colour, spread, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    p.drawImage(0, 0, blurred(layer, radius));
}

// ---------------------------------------------------------------------------------------
// The mark: a golden film reel with cat's ears, used by the logo, the about picture and
// the application icon. Drawn in a 256-unit square; `pixels` is the rendered size, so
// strokes never get thinner than one pixel and small sizes drop the finer details.

QPainterPath earPath(bool left, double inset)
{
    // Outer ear triangle, mirrored for the right ear; inset shrinks it towards its middle.
    const QPointF a(34, 122), b(50, 12), c(124, 62);
    const QPointF mid = (a + b + c) / 3.0;
    auto pt = [&](QPointF q) {
        QPointF r = mid + (q - mid) * (1.0 - inset);
        if (!left)
            r.setX(256 - r.x());
        return r;
    };
    QPainterPath path;
    path.moveTo(pt(a));
    path.lineTo(pt(b));
    path.lineTo(pt(c));
    path.closeSubpath();
    return path;
}

void drawMark(QPainter &p, QRectF box, double pixels)
{
    const double unit = 256.0 / pixels; // design units per pixel
    auto stroke = [unit](double w) {
        return std::max(w, unit);
    };
    const bool small = pixels < 30;
    const bool tiny = pixels < 20;
    const QColor ink(0x4a2c06);
    const QPointF centre(128, 150);
    const double radius = 100;

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / 256.0, box.height() / 256.0);

    QLinearGradient gold(QPointF(60, 20), QPointF(200, 250));
    gold.setColorAt(0.0, QColor(0xfff3b8));
    gold.setColorAt(0.45, QColor(0xf2c443));
    gold.setColorAt(1.0, QColor(0xb97810));

    // Ears behind the reel.
    for (bool left : {true, false}) {
        const QPainterPath ear = earPath(left, 0);
        p.setPen(QPen(ink, stroke(tiny ? 14 : 10), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(gold);
        p.drawPath(ear);
        if (!tiny) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x1b3f86));
            p.drawPath(earPath(left, 0.5).translated(left ? 4 : -4, 6));
        }
    }

    // Reel.
    p.setPen(QPen(ink, stroke(tiny ? 14 : 10)));
    p.setBrush(gold);
    p.drawEllipse(centre, radius, radius);
    if (!small) {
        p.setPen(QPen(QColor(0xa86a0c), stroke(4)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, radius - 14, radius - 14);
    }

    // Spoke holes.
    const int holes = small ? 4 : 5;
    const double holeRadius = tiny ? 24 : (small ? 23 : 21);
    const double holeDistance = tiny ? 54 : 56;
    for (int i = 0; i < holes; ++i) {
        const double angle = (-90.0 + 360.0 * i / holes + (holes == 4 ? 45.0 : 0.0)) * M_PI / 180;
        const QPointF at = centre + QPointF(std::cos(angle), std::sin(angle)) * holeDistance;
        QRadialGradient hole(at + QPointF(-6, -8), holeRadius * 1.4);
        hole.setColorAt(0.0, QColor(0x3a72c8));
        hole.setColorAt(1.0, QColor(0x0b2255));
        p.setPen(small ? Qt::NoPen : QPen(ink, stroke(3)));
        p.setBrush(hole);
        p.drawEllipse(at, holeRadius, holeRadius);
    }

    // Hub.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(centre, tiny ? 13 : 16, tiny ? 13 : 16);
    if (!tiny) {
        p.setBrush(QColor(0xffe9a0));
        p.drawEllipse(centre, 6.5, 6.5);
    }

    // A glint on the rim.
    if (!small) {
        QPainterPath glint;
        glint.arcMoveTo(QRectF(centre.x() - radius + 10, centre.y() - radius + 10, 2 * radius - 20,
                               2 * radius - 20),
                        110);
        glint.arcTo(QRectF(centre.x() - radius + 10, centre.y() - radius + 10, 2 * radius - 20,
                           2 * radius - 20),
                    110, 50);
        p.setPen(QPen(QColor(255, 255, 240, 200), stroke(6), Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(glint);
    }
    p.restore();
}

// ---------------------------------------------------------------------------------------
// Pictures

QImage newPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

QImage topStrip()
{
    QImage img = newPicture(600, 80);
    fillRows(img, 0, [](int row) { return topStripRow(row); });
    return img;
}

QImage statusStrip()
{
    QImage img = newPicture(600, 80);
    fillRows(img, 0, statusStripRow);
    return img;
}

// Title lettering: pale gold face, navy outline, soft shadow; reads on dark and light blue.
void drawTitleText(QPainter &p, QSize canvas, const QPainterPath &path, double outline)
{
    drawShadow(p, canvas, path, QPointF(1.5, 2), 2, QColor(5, 20, 60, 150), outline * 2);
    const QRectF box = path.boundingRect();
    QLinearGradient face(box.topLeft(), box.bottomLeft());
    face.setColorAt(0.0, QColor(0xffffff));
    face.setColorAt(0.5, QColor(0xfff1c2));
    face.setColorAt(1.0, QColor(0xf0c24c));
    p.setRenderHint(QPainter::Antialiasing);
    p.strokePath(path, QPen(QColor(0x0a2158), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, face);
}

QImage titleBanner()
{
    QImage img = newPicture(600, 80);
    fillRows(img, 0, stretchedStripRow);
    const QSize canvas = img.size();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // The logo hides x < 48, the top border band y < 12 and the button row y >= 48:
    // the lettering lives in the band between.
    const QPainterPath name = textPath(kChineseName, kai(31, true), QPointF(62, 14));
    drawTitleText(p, canvas, name, 3);

    const double nameRight = name.boundingRect().right();
    const QPainterPath latin = textPath(kLatinName, serif(19), QPointF(nameRight + 14, 14));
    drawTitleText(p, canvas, latin, 2.6);

    // Version and date under the Latin name, in the pale part of the strip.
    p.setFont(song(12, true));
    p.setPen(QColor(0x0c2a66));
    const QString line = QStringLiteral("版本 %1 · 2009-03-26").arg(kVersion);
    p.drawText(QPointF(nameRight + 16, 44), line);

    // A gold hairline that fades out to the right, under the whole title.
    const double lineTop = 46;
    QLinearGradient rule(QPointF(62, 0), QPointF(470, 0));
    rule.setColorAt(0.0, QColor(232, 186, 70, 255));
    rule.setColorAt(0.6, QColor(232, 186, 70, 160));
    rule.setColorAt(1.0, QColor(232, 186, 70, 0));
    p.fillRect(QRectF(62, lineTop, 408, 1), rule);

    // A faint strip of film on the right, fading in and out so the banner's edge never
    // shows against the stretched strip.
    QImage film(canvas, QImage::Format_ARGB32_Premultiplied);
    film.fill(Qt::transparent);
    {
        QPainter fp(&film);
        fp.setRenderHint(QPainter::Antialiasing);
        const QRectF band(380, 16, 205, 26);
        QPainterPath strip;
        strip.addRect(band);
        for (double x = band.left() + 3; x < band.right(); x += 9) {
            strip.addRoundedRect(QRectF(x, band.top() + 2.5, 5, 4), 1, 1);
            strip.addRoundedRect(QRectF(x, band.bottom() - 6.5, 5, 4), 1, 1);
        }
        for (double x = band.left() + 2; x < band.right(); x += 30)
            strip.addRect(QRectF(x, band.top() + 8.5, 26, 9));
        strip.setFillRule(Qt::OddEvenFill);
        fp.fillPath(strip, QColor(255, 255, 255, 70));
        fp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient fade(band.left(), 0, band.right(), 0);
        fade.setColorAt(0.0, QColor(0, 0, 0, 0));
        fade.setColorAt(0.45, QColor(0, 0, 0, 255));
        fade.setColorAt(0.7, QColor(0, 0, 0, 255));
        fade.setColorAt(1.0, QColor(0, 0, 0, 0));
        fp.fillRect(film.rect(), fade);
    }
    p.drawImage(0, 0, film);
    return img;
}

QImage logo()
{
    QImage img = newPicture(104, 80);
    fillRows(img, 0, stretchedStripRow);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The top border band covers y < 12: centre the mark in what stays visible.
    const double size = 62;
    const QRectF box(52 - size / 2, 14, size, size);
    QPainterPath shadowShape;
    shadowShape.addEllipse(QRectF(box.x() + 10, box.y() + 22, size - 20, size - 20));
    drawShadow(p, img.size(), shadowShape, QPointF(2, 3), 3, QColor(5, 20, 60, 120));
    drawMark(p, box, size);
    return img;
}

QImage searchingNotice()
{
    // Sits on the strip at window y 24, so its rows continue the strip from row 24.
    QImage img = newPicture(153, 56);
    fillRows(img, 24, stretchedStripRow);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF pill(4.5, 13.5, 144, 32);
    QPainterPath pillPath;
    pillPath.addRoundedRect(pill, 16, 16);
    drawShadow(p, img.size(), pillPath, QPointF(1, 2), 2, QColor(5, 20, 60, 110));
    QLinearGradient fill(pill.topLeft(), pill.bottomLeft());
    fill.setColorAt(0.0, QColor(0x2f62b4));
    fill.setColorAt(0.5, QColor(0x173f8a));
    fill.setColorAt(1.0, QColor(0x0c2459));
    p.setPen(QPen(QColor(0xe9c35a), 1.2));
    p.setBrush(fill);
    p.drawPath(pillPath);

    // Magnifying glass.
    const QPointF lens(23, 27.5);
    p.setBrush(QColor(255, 255, 255, 40));
    p.setPen(QPen(QColor(0xfff3c8), 2.2));
    p.drawEllipse(lens, 6, 6);
    p.setPen(QPen(QColor(0xf0c24c), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(4.6, 4.6), lens + QPointF(9.5, 9.5));

    p.setFont(song(16, true));
    p.setPen(QColor(0xffffff));
    const QString text = QStringLiteral("正在搜索");
    const QPointF textAt(38, 35.5);
    p.drawText(textAt, text);
    const double textRight = textAt.x() + QFontMetricsF(p.font()).horizontalAdvance(text);

    // Three dots, the last ones fainter, as a progress hint.
    const int alphas[] = {255, 190, 120};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xf4, 0xcb, 0x55, alphas[i]));
        p.drawEllipse(QPointF(textRight + 7 + i * 7.5, 32.5), 1.9, 1.9);
    }
    return img;
}

// The gold chain band: oval links seen flat alternating with links seen edge-on, on navy.
QImage chainBand(int length)
{
    const int thick = 12;
    QImage img = newPicture(length, thick);
    {
        QLinearGradient bg(0, 0, 0, thick);
        bg.setColorAt(0.0, QColor(0x050d24));
        bg.setColorAt(0.5, QColor(0x14285a));
        bg.setColorAt(1.0, QColor(0x050d24));
        QPainter p(&img);
        p.fillRect(img.rect(), bg);
        // Thin dark-gold edges keep the band crisp against light surfaces.
        p.fillRect(0, 0, length, 1, QColor(0x6b4a12));
        p.fillRect(0, thick - 1, length, 1, QColor(0x6b4a12));
    }

    QPainterPath flatLinks;
    QPainterPath edgeLinks;
    const double period = 20;
    const double mid = thick / 2.0;
    for (double x = 0; x < length + period; x += period) {
        QPainterPath ring;
        ring.addEllipse(QPointF(x + 0.5, mid), 7.2, 3.9);
        flatLinks.addPath(ring);
        edgeLinks.addRoundedRect(QRectF(x + period / 2 - 6.5, mid - 1.4, 13, 2.8), 1.4, 1.4);
    }

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gold(0, mid - 5, 0, mid + 5);
    gold.setColorAt(0.0, QColor(0xfff4c0));
    gold.setColorAt(0.35, QColor(0xf3c74a));
    gold.setColorAt(0.7, QColor(0xc98b1c));
    gold.setColorAt(1.0, QColor(0x7c4f0c));

    // Shadow, then the flat rings, then the edge-on links threaded through them.
    p.strokePath(flatLinks.translated(0.6, 0.8), QPen(QColor(0, 0, 0, 150), 2.3));
    p.strokePath(flatLinks, QPen(QBrush(gold), 2.1));
    p.strokePath(flatLinks.translated(0, -0.6), QPen(QColor(255, 250, 220, 70), 0.7));
    p.fillPath(edgeLinks.translated(0.5, 0.7), QColor(0, 0, 0, 140));
    p.fillPath(edgeLinks, gold);
    p.setPen(QPen(QColor(0xfff6d0), 0.8));
    for (double x = 0; x < length + period; x += period)
        p.drawLine(QPointF(x + period / 2 - 4.5, mid - 0.6),
                   QPointF(x + period / 2 + 4.5, mid - 0.6));
    return img;
}

QImage uprightBand(int length)
{
    // Same chain turned upright, lit from the left like the flat bands are lit from above.
    const QImage flat = chainBand(length);
    return flat.transformed(QTransform().rotate(90)).mirrored(true, false);
}

QImage aboutPicture()
{
    QImage img = newPicture(320, 220);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // Right side: pale paper; the window's only label (dark text) stands on it at
    // x 152..305, y 88..105.
    QLinearGradient paper(0, 0, 0, 220);
    paper.setColorAt(0.0, QColor(0xf7faff));
    paper.setColorAt(1.0, QColor(0xdfe9fa));
    p.fillRect(img.rect(), paper);

    // Left side: the strip's blue with the mark.
    const double panelRight = 138;
    QLinearGradient panel(0, 0, 0, 219);
    panel.setColorAt(0.0, ramp(kTopStrip, 0.0));
    panel.setColorAt(0.55, ramp(kTopStrip, 0.3));
    panel.setColorAt(1.0, ramp(kTopStrip, 0.55));
    p.fillRect(QRectF(0, 0, panelRight, 220), panel);
    p.fillRect(QRectF(panelRight, 0, 2, 220), QColor(0xe9c35a));

    const double markSize = 96;
    const QRectF markBox((panelRight - markSize) / 2, 34, markSize, markSize);
    QPainterPath shadowShape;
    shadowShape.addEllipse(markBox.adjusted(14, 30, -14, 0));
    drawShadow(p, img.size(), shadowShape, QPointF(2, 4), 4, QColor(0, 10, 40, 140));
    drawMark(p, markBox, markSize);

    const QPainterPath latin = textPath(kLatinName, serif(18), QPointF(0, 0));
    drawTitleText(p, img.size(),
                  latin.translated((panelRight - latin.boundingRect().width()) / 2 -
                                       latin.boundingRect().left(),
                                   148 - latin.boundingRect().top()),
                  2.4);

    // Right side text block.
    const double x = 152;
    const QPainterPath name = textPath(kChineseName, kai(30, true), QPointF(x, 22));
    p.fillPath(name, QColor(0x0c2a66));

    p.setPen(QColor(0x3a4d73));
    p.setFont(sans(12, true));
    p.drawText(QPointF(x + 1, 72), QStringLiteral("moviecat  版本 %1").arg(kVersion));

    // Gold rules frame the band where the label goes.
    p.fillRect(QRectF(x, 80, 156, 1), QColor(0xd9ae45));
    p.fillRect(QRectF(x, 112, 156, 1), QColor(0xd9ae45));

    p.setPen(QColor(0x24304c));
    p.setFont(song(12));
    p.drawText(QPointF(x, 136), QStringLiteral("版权所有 © 2009 moviecat"));
    p.drawText(QPointF(x, 154), QStringLiteral("保留所有权利。"));
    p.drawText(QPointF(x, 184), QStringLiteral("发布日期 2009年3月26日"));

    // The window shows rows 0..218: frame that area, and continue the frame colour
    // into the hidden last row.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(0x0b2a66));
    p.drawRect(0, 0, 319, 218);
    p.fillRect(0, 219, 320, 1, QColor(0x0b2a66));
    p.setPen(QColor(0xe9c35a));
    p.drawRect(1, 1, 317, 216);
    return img;
}

// ---------------------------------------------------------------------------------------
// Icon

QImage iconImage(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    // Leave a one-pixel margin on the larger sizes so the outline is not cut.
    const double margin = size >= 32 ? size / 32.0 : 0;
    drawMark(p, QRectF(margin, margin, size - 2 * margin, size - 2 * margin), size - 2 * margin);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

// Median-cut palette of at most `colours` entries over the opaque pixels.
std::vector<QRgb> medianCut(std::vector<QRgb> pixels, int colours)
{
    struct Box {
        std::vector<QRgb> pixels;
        int widestChannel = 0;
        int range = 0;
    };
    auto channel = [](QRgb c, int ch) {
        return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
    };
    auto measure = [&](Box &box) {
        box.range = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (QRgb c : box.pixels) {
                lo = std::min(lo, channel(c, ch));
                hi = std::max(hi, channel(c, ch));
            }
            if (hi - lo > box.range) {
                box.range = hi - lo;
                box.widestChannel = ch;
            }
        }
    };
    std::vector<Box> boxes(1);
    boxes[0].pixels = std::move(pixels);
    if (boxes[0].pixels.empty())
        return {};
    measure(boxes[0]);
    while (int(boxes.size()) < colours) {
        // Split the box whose colours spread widest, weighted by how many pixels it holds.
        int pick = -1;
        double best = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            const double score = double(boxes[i].range) * std::sqrt(double(boxes[i].pixels.size()));
            if (boxes[i].range > 0 && score > best) {
                best = score;
                pick = int(i);
            }
        }
        if (pick < 0)
            break;
        Box &box = boxes[pick];
        const int ch = box.widestChannel;
        std::sort(box.pixels.begin(), box.pixels.end(), [&](QRgb a, QRgb b) {
            return channel(a, ch) != channel(b, ch) ? channel(a, ch) < channel(b, ch)
                                                    : (a & 0xffffff) < (b & 0xffffff);
        });
        size_t cut = box.pixels.size() / 2;
        // Never split a run of equal values: move the cut to the run's edge.
        while (cut > 0 && channel(box.pixels[cut - 1], ch) == channel(box.pixels[cut], ch))
            --cut;
        if (cut == 0) {
            cut = box.pixels.size() / 2;
            while (cut < box.pixels.size() &&
                   channel(box.pixels[cut - 1], ch) == channel(box.pixels[cut], ch))
                ++cut;
        }
        Box upper;
        upper.pixels.assign(box.pixels.begin() + long(cut), box.pixels.end());
        box.pixels.resize(cut);
        measure(box);
        measure(upper);
        boxes.push_back(std::move(upper));
    }
    std::vector<QRgb> palette;
    for (const Box &box : boxes) {
        long r = 0, g = 0, b = 0;
        for (QRgb c : box.pixels) {
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
        const long n = long(box.pixels.size());
        palette.push_back(qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n)));
    }
    std::sort(palette.begin(), palette.end());
    return palette;
}

void putLe16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}
void putLe32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

// One icon image as a device-independent bitmap: header, palette, colour rows and the
// AND mask, both bottom-up. Palette images keep index 0 black for masked-out pixels.
QByteArray iconBitmap(const QImage &argb, int bpp)
{
    const int w = argb.width();
    const int h = argb.height();
    auto opaque = [](QRgb c) {
        return qAlpha(c) >= 128;
    };

    std::vector<QRgb> palette;
    if (bpp <= 8) {
        std::vector<QRgb> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (opaque(argb.pixel(x, y)))
                    pixels.push_back(argb.pixel(x, y) & 0xffffff);
        palette.push_back(0);
        const std::vector<QRgb> found = medianCut(pixels, (1 << bpp) - 1);
        palette.insert(palette.end(), found.begin(), found.end());
        palette.resize(size_t(1) << bpp, 0);
    }
    auto nearest = [&](QRgb c) {
        int best = 1;
        long bestDistance = -1;
        for (size_t i = 1; i < palette.size(); ++i) {
            const long dr = qRed(c) - qRed(palette[i]);
            const long dg = qGreen(c) - qGreen(palette[i]);
            const long db = qBlue(c) - qBlue(palette[i]);
            const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (bestDistance < 0 || d < bestDistance) {
                bestDistance = d;
                best = int(i);
            }
        }
        return best;
    };

    const int colourStride = ((w * bpp + 31) / 32) * 4;
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray out;
    putLe32(out, 40);
    putLe32(out, quint32(w));
    putLe32(out, quint32(2 * h)); // colour rows plus mask rows
    putLe16(out, 1);
    putLe16(out, quint16(bpp));
    putLe32(out, 0); // BI_RGB
    putLe32(out, quint32((colourStride + maskStride) * h));
    putLe32(out, 0);
    putLe32(out, 0);
    putLe32(out, bpp <= 8 ? quint32(palette.size()) : 0);
    putLe32(out, 0);
    for (QRgb c : palette) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0));
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(colourStride, 0);
        for (int x = 0; x < w; ++x) {
            const QRgb c = argb.pixel(x, y);
            if (bpp == 32) {
                row[4 * x] = char(qBlue(c));
                row[4 * x + 1] = char(qGreen(c));
                row[4 * x + 2] = char(qRed(c));
                row[4 * x + 3] = char(qAlpha(c));
            } else {
                const int index = opaque(c) ? nearest(c) : 0;
                if (bpp == 8)
                    row[x] = char(index);
                else
                    row[x / 2] = char(row[x / 2] | (x % 2 == 0 ? index << 4 : index));
            }
        }
        out.append(row);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, 0);
        for (int x = 0; x < w; ++x)
            if (!opaque(argb.pixel(x, y)))
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

void writeIco(const QString &path)
{
    struct Entry {
        int size;
        int bpp;
    };
    const std::vector<Entry> entries = {{16, 4},  {24, 4},  {32, 4},  {48, 4},  {16, 8},
                                        {24, 8},  {32, 8},  {48, 8},  {16, 32}, {24, 32},
                                        {32, 32}, {48, 32}, {128, 32}};
    std::vector<QByteArray> bitmaps;
    for (const Entry &e : entries)
        bitmaps.push_back(iconBitmap(iconImage(e.size), e.bpp));

    QByteArray out;
    putLe16(out, 0);
    putLe16(out, 1); // icon
    putLe16(out, quint16(entries.size()));
    quint32 offset = quint32(6 + 16 * entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        out.append(char(e.size >= 256 ? 0 : e.size));
        out.append(char(e.size >= 256 ? 0 : e.size));
        out.append(char(e.bpp == 4 ? 16 : 0));
        out.append(char(0));
        putLe16(out, 1);
        putLe16(out, quint16(e.bpp));
        putLe32(out, quint32(bitmaps[i].size()));
        putLe32(out, offset);
        offset += quint32(bitmaps[i].size());
    }
    for (const QByteArray &b : bitmaps)
        out.append(b);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.flush())
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

void save(const QImage &image, const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        fail(QStringLiteral("cannot create the folder of %1").arg(path));
    if (!image.save(path, "PNG"))
        fail(QStringLiteral("cannot write %1").arg(path));
}

} // namespace
} // namespace moviecat

int main(int argc, char **argv)
{
    using namespace moviecat;
    QGuiApplication app(argc, argv);
    if (argc != 3)
        fail(QStringLiteral("usage: moviecat-asset-generator <assets dir> <staging dir>"));
    const QString assets = QString::fromLocal8Bit(argv[1]);
    const QString staging = QString::fromLocal8Bit(argv[2]);

    save(topStrip(), staging + QStringLiteral("/top_strip.png"));
    save(logo(), staging + QStringLiteral("/logo.png"));
    save(titleBanner(), staging + QStringLiteral("/title.png"));
    save(statusStrip(), staging + QStringLiteral("/status_strip.png"));
    save(chainBand(1000), staging + QStringLiteral("/border_top.png"));
    save(chainBand(1000), staging + QStringLiteral("/border_bottom.png"));
    save(uprightBand(800), staging + QStringLiteral("/border_left.png"));
    save(uprightBand(800), staging + QStringLiteral("/border_right.png"));
    save(searchingNotice(), staging + QStringLiteral("/searching.png"));
    save(aboutPicture(), staging + QStringLiteral("/about.png"));

    writeIco(assets + QStringLiteral("/icons/moviecat.ico"));
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        save(iconImage(size),
             assets + QStringLiteral("/icons/hicolor/%1x%1/apps/moviecat.png").arg(size));
    return 0;
}
