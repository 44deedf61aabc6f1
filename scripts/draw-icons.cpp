// Draws the host's document and message icons (new, open, save, information,
// help, warning, error) in the light and dark variants at the sizes
// BaseIcon loads, into host/resources/icons/. Our own icons, so that the
// window never pays an icon-theme lookup at start-up and looks the same on
// every desktop.
//   g++ -fPIC scripts/draw-icons.cpp -o /tmp/draw-icons $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen /tmp/draw-icons host/resources/icons
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

struct Ink {
    QColor line, fill, accent, paper;
};

using Drawer = std::function<void(QPainter&, const Ink&)>;

// Every drawing is on a 48 x 48 canvas, scaled to the target size.
void page(QPainter& p, const Ink& ink) {
    QPainterPath path;
    path.moveTo(12, 5);
    path.lineTo(29, 5);
    path.lineTo(38, 14);
    path.lineTo(38, 43);
    path.lineTo(12, 43);
    path.closeSubpath();
    p.setPen(QPen(ink.line, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink.paper);
    p.drawPath(path);
    p.drawPolyline(QPolygonF({QPointF(29, 5), QPointF(29, 14), QPointF(38, 14)}));
}

void drawNew(QPainter& p, const Ink& ink) {
    page(p, ink);
    p.setPen(QPen(ink.accent, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(25, 24), QPointF(25, 36));
    p.drawLine(QPointF(19, 30), QPointF(31, 30));
}

void drawOpen(QPainter& p, const Ink& ink) {
    p.setPen(QPen(ink.line, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink.fill);
    QPainterPath back;
    back.moveTo(5, 39);
    back.lineTo(5, 10);
    back.lineTo(17, 10);
    back.lineTo(21, 15);
    back.lineTo(37, 15);
    back.lineTo(37, 20);
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(5, 39);
    front.lineTo(12, 21);
    front.lineTo(44, 21);
    front.lineTo(37, 39);
    front.closeSubpath();
    p.setBrush(ink.accent);
    p.drawPath(front);
}

void drawSave(QPainter& p, const Ink& ink) {
    p.setPen(QPen(ink.line, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath body;
    body.moveTo(7, 7);
    body.lineTo(35, 7);
    body.lineTo(41, 13);
    body.lineTo(41, 41);
    body.lineTo(7, 41);
    body.closeSubpath();
    p.setBrush(ink.accent);
    p.drawPath(body);
    p.setBrush(ink.paper);
    p.drawRect(QRectF(14, 7, 18, 11));
    p.drawRect(QRectF(13, 26, 22, 15));
    p.setPen(QPen(ink.line, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(27, 10), QPointF(27, 15));
}

void roundSign(QPainter& p, const Ink& ink, const QColor& disc, const QString& mark) {
    p.setPen(QPen(ink.line, 2.5));
    p.setBrush(disc);
    p.drawEllipse(QRectF(5, 5, 38, 38));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(26);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(5, 5, 38, 38), Qt::AlignCenter, mark);
}

void drawWarning(QPainter& p, const Ink& ink) {
    QPainterPath tri;
    tri.moveTo(24, 5);
    tri.lineTo(44, 41);
    tri.lineTo(4, 41);
    tri.closeSubpath();
    p.setPen(QPen(ink.line, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xF2, 0xB1, 0x1E));
    p.drawPath(tri);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(24);
    p.setFont(font);
    p.setPen(QColor(0x20, 0x20, 0x20));
    p.drawText(QRectF(4, 14, 40, 28), Qt::AlignCenter, QStringLiteral("!"));
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("host/resources/icons");
    const Ink light{QColor(0x3C, 0x3C, 0x3C), QColor(0xE4, 0xE4, 0xE4), QColor(0x3A, 0x8E, 0xDE), Qt::white};
    const Ink dark{QColor(0xD8, 0xD8, 0xD8), QColor(0x5A, 0x5A, 0x5A), QColor(0x5A, 0xA8, 0xF0),
                   QColor(0x40, 0x40, 0x40)};
    const QList<QPair<QString, Drawer>> icons{
        {QStringLiteral("document_new"), drawNew},
        {QStringLiteral("document_open"), drawOpen},
        {QStringLiteral("document_save"), drawSave},
        {QStringLiteral("information"),
         [](QPainter& p, const Ink& ink) { roundSign(p, ink, QColor(0x3A, 0x8E, 0xDE), QStringLiteral("i")); }},
        {QStringLiteral("help"),
         [](QPainter& p, const Ink& ink) { roundSign(p, ink, QColor(0x3A, 0x8E, 0xDE), QStringLiteral("?")); }},
        {QStringLiteral("warning"), drawWarning},
        {QStringLiteral("error"),
         [](QPainter& p, const Ink& ink) { roundSign(p, ink, QColor(0xD9, 0x3A, 0x2E), QStringLiteral("\u00D7")); }},
    };
    for (const auto& [variant, ink] :
         {qMakePair(QStringLiteral("light"), light), qMakePair(QStringLiteral("dark"), dark)})
        for (const auto& [name, draw] : icons)
            for (int size : {16, 24, 32, 48}) {
                QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
                image.fill(Qt::transparent);
                QPainter p(&image);
                p.setRenderHint(QPainter::Antialiasing);
                p.setRenderHint(QPainter::TextAntialiasing);
                p.scale(size / 48.0, size / 48.0);
                draw(p, ink);
                p.end();
                if (!image.save(QStringLiteral("%1/%2/%3_%4.png").arg(dir, variant, name, QString::number(size))))
                    return 1;
            }
    return 0;
}
