#include "screens/ui/Icons.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <cmath>
#include <functional>

namespace sendora {

namespace {

// Everything is drawn on a 48 x 48 grid and scaled.
using Draw = std::function<void(QPainter&)>;

const QColor kOutline(60, 70, 90);

void sheet(QPainter& p, QRectF r, const QColor& lines = QColor(150, 160, 180)) {
    QPainterPath page;
    const qreal fold = r.width() * 0.28;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(220, 225, 235));
    p.drawPolygon(QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                             QPointF(r.right(), r.top() + fold)}));
    p.setPen(QPen(lines, 2));
    for (qreal y = r.top() + fold + 4; y < r.bottom() - 3; y += 5)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
}

void listSheet(QPainter& p, QRectF r) {
    sheet(p, r, QColor(255, 255, 255, 0));
    const qreal top = r.top() + r.width() * 0.28 + 3;
    for (int i = 0; i < 4; ++i) {
        const qreal y = top + i * 6;
        if (y > r.bottom() - 4) break;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 120, 200));
        p.drawEllipse(QPointF(r.left() + 6, y), 2, 2);
        p.setPen(QPen(QColor(120, 130, 150), 2));
        p.drawLine(QPointF(r.left() + 11, y), QPointF(r.right() - 4, y));
    }
}

void envelope(QPainter& p, QRectF r) {
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(QColor(255, 236, 170));
    p.drawRoundedRect(r, 2, 2);
    p.setBrush(QColor(250, 222, 140));
    p.drawPolygon(QPolygonF({r.topLeft(), QPointF(r.center().x(), r.center().y() + 2), r.topRight()}));
    p.drawLine(r.bottomLeft(), QPointF(r.center().x() - 4, r.center().y()));
    p.drawLine(r.bottomRight(), QPointF(r.center().x() + 4, r.center().y()));
}

void person(QPainter& p, QPointF head, qreal size, const QColor& color) {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(color);
    QPainterPath body;
    body.addRoundedRect(QRectF(head.x() - size * 0.9, head.y() + size * 0.9, size * 1.8, size * 1.6),
                        size * 0.8, size * 0.8);
    p.drawPath(body);
    p.setBrush(QColor(255, 220, 185));
    p.drawEllipse(head, size * 0.65, size * 0.65);
}

void people(QPainter& p) {
    person(p, QPointF(30, 14), 9, QColor(90, 170, 90));
    person(p, QPointF(18, 20), 10, QColor(60, 120, 210));
}

void gear(QPainter& p, QPointF c, qreal radius, const QColor& color) {
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal angle = i * M_PI / teeth;
        const qreal rr = (i % 2 == 0) ? radius : radius * 0.78;
        const qreal a1 = angle - M_PI / (teeth * 2.2);
        const qreal a2 = angle + M_PI / (teeth * 2.2);
        const QPointF p1(c.x() + rr * std::cos(a1), c.y() + rr * std::sin(a1));
        const QPointF p2(c.x() + rr * std::cos(a2), c.y() + rr * std::sin(a2));
        if (i == 0)
            path.moveTo(p1);
        else
            path.lineTo(p1);
        path.lineTo(p2);
    }
    path.closeSubpath();
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(color);
    p.drawPath(path);
    p.setBrush(Qt::white);
    p.drawEllipse(c, radius * 0.32, radius * 0.32);
}

void folder(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(150, 110, 20), 1.5));
    p.setBrush(QColor(240, 190, 60));
    QPainterPath back;
    back.moveTo(r.left(), r.top() + 4);
    back.lineTo(r.left() + r.width() * 0.35, r.top() + 4);
    back.lineTo(r.left() + r.width() * 0.45, r.top() + 9);
    back.lineTo(r.right(), r.top() + 9);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(252, 214, 100));
    p.drawPolygon(QPolygonF({QPointF(r.left() + 4, r.top() + 15), QPointF(r.right() + 3, r.top() + 15),
                             QPointF(r.right(), r.bottom()), QPointF(r.left(), r.bottom())}));
}

void badge(QPainter& p, const QColor& color, const std::function<void(QPainter&)>& mark) {
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(color);
    p.drawEllipse(QPointF(36, 36), 11, 11);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    mark(p);
}

void plusBadge(QPainter& p) {
    badge(p, QColor(40, 160, 60), [](QPainter& q) {
        q.drawLine(QPointF(36, 30), QPointF(36, 42));
        q.drawLine(QPointF(30, 36), QPointF(42, 36));
    });
}

void crossBadge(QPainter& p) {
    badge(p, QColor(210, 45, 45), [](QPainter& q) {
        q.drawLine(QPointF(32, 32), QPointF(40, 40));
        q.drawLine(QPointF(40, 32), QPointF(32, 40));
    });
}

void arrowBadge(QPainter& p, const QColor& color) {
    badge(p, color, [](QPainter& q) {
        q.drawLine(QPointF(31, 36), QPointF(41, 36));
        q.drawPolyline(QPolygonF({QPointF(37, 32), QPointF(41, 36), QPointF(37, 40)}));
    });
}

void roundSign(QPainter& p, const QColor& color, const QString& text) {
    p.setPen(QPen(color.darker(130), 1.5));
    QRadialGradient g(QPointF(20, 18), 26);
    g.setColorAt(0, color.lighter(140));
    g.setColorAt(1, color);
    p.setBrush(g);
    p.drawEllipse(QPointF(24, 24), 20, 20);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(28);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(4, 4, 40, 40), Qt::AlignCenter, text);
}

void magnifier(QPainter& p, QPointF c, qreal r) {
    p.setPen(QPen(QColor(90, 60, 30), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() + r * 0.7, c.y() + r * 0.7), QPointF(c.x() + r * 1.6, c.y() + r * 1.6));
    p.setPen(QPen(kOutline, 2.5));
    p.setBrush(QColor(200, 230, 255, 200));
    p.drawEllipse(c, r, r);
}

void plane(QPainter& p) {
    p.setPen(QPen(QColor(20, 80, 150), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(70, 150, 230));
    p.drawPolygon(QPolygonF({QPointF(4, 22), QPointF(44, 6), QPointF(34, 42), QPointF(22, 30)}));
    p.setBrush(QColor(40, 110, 190));
    p.drawPolygon(QPolygonF({QPointF(22, 30), QPointF(44, 6), QPointF(20, 40)}));
}

void outline(QPainter& p) {
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(QColor(235, 240, 250));
    p.drawRoundedRect(QRectF(3, 6, 42, 36), 3, 3);
    p.setBrush(QColor(60, 110, 190));
    p.drawRect(QRectF(3, 6, 42, 7));
    const QColor rows[] = {QColor(204, 0, 51), QColor(40, 120, 200), QColor(40, 150, 80),
                           QColor(40, 150, 80)};
    const qreal indent[] = {7, 13, 19, 19};
    for (int i = 0; i < 4; ++i) {
        const qreal y = 18 + i * 6;
        p.setPen(Qt::NoPen);
        p.setBrush(rows[i]);
        p.drawRect(QRectF(indent[i], y - 2, 4, 4));
        p.setPen(QPen(QColor(120, 130, 150), 2));
        p.drawLine(QPointF(indent[i] + 7, y), QPointF(40, y));
    }
}

void wand(QPainter& p) {
    p.setPen(QPen(QColor(40, 40, 40), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 42), QPointF(28, 20));
    QPainterPath star;
    const QPointF c(33, 14);
    for (int i = 0; i < 10; ++i) {
        const qreal r = i % 2 ? 4.5 : 11;
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        i ? star.lineTo(pt) : star.moveTo(pt);
    }
    star.closeSubpath();
    p.setPen(QPen(QColor(190, 130, 0), 1.2));
    p.setBrush(QColor(255, 210, 40));
    p.drawPath(star);
}

void floppy(QPainter& p) {
    p.setPen(QPen(QColor(20, 50, 110), 1.5));
    p.setBrush(QColor(50, 100, 190));
    p.drawRoundedRect(QRectF(6, 6, 36, 36), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(12, 24, 24, 16));
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(14, 6, 18, 11));
    p.setBrush(QColor(50, 100, 190));
    p.drawRect(QRectF(26, 8, 4, 7));
}

void scissors(QPainter& p) {
    p.setPen(QPen(QColor(120, 125, 135), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 6), QPointF(30, 32));
    p.drawLine(QPointF(34, 6), QPointF(18, 32));
    p.setPen(QPen(QColor(200, 40, 40), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(14, 37), 6, 6);
    p.drawEllipse(QPointF(34, 37), 6, 6);
}

void clipboard(QPainter& p) {
    p.setPen(QPen(QColor(110, 70, 30), 1.5));
    p.setBrush(QColor(190, 140, 80));
    p.drawRoundedRect(QRectF(8, 8, 28, 36), 3, 3);
    p.setBrush(QColor(150, 155, 165));
    p.drawRoundedRect(QRectF(15, 4, 14, 8), 2, 2);
    sheet(p, QRectF(20, 18, 22, 26));
}

void funnel(QPainter& p) {
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(QColor(90, 160, 220));
    p.drawPolygon(QPolygonF({QPointF(16, 14), QPointF(46, 14), QPointF(34, 28), QPointF(34, 40),
                             QPointF(28, 44), QPointF(28, 28)}));
}

QHash<QString, Draw> drawings() {
    return {
        {"new",
         [](QPainter& p) {
             sheet(p, QRectF(8, 3, 28, 38));
             plusBadge(p);
         }},
        {"newlist",
         [](QPainter& p) {
             listSheet(p, QRectF(8, 3, 28, 38));
             plusBadge(p);
         }},
        {"newmessage",
         [](QPainter& p) {
             envelope(p, QRectF(3, 8, 38, 26));
             plusBadge(p);
         }},
        {"open", [](QPainter& p) { folder(p, QRectF(3, 8, 40, 32)); }},
        {"openlist",
         [](QPainter& p) {
             folder(p, QRectF(3, 14, 40, 30));
             listSheet(p, QRectF(16, 2, 22, 28));
         }},
        {"openmessage",
         [](QPainter& p) {
             folder(p, QRectF(3, 14, 40, 30));
             envelope(p, QRectF(12, 4, 28, 19));
         }},
        {"delete",
         [](QPainter& p) {
             sheet(p, QRectF(8, 3, 28, 38));
             crossBadge(p);
         }},
        {"deletelist",
         [](QPainter& p) {
             listSheet(p, QRectF(8, 3, 28, 38));
             crossBadge(p);
         }},
        {"deletemessage",
         [](QPainter& p) {
             envelope(p, QRectF(3, 8, 38, 26));
             crossBadge(p);
         }},
        {"managelists",
         [](QPainter& p) {
             listSheet(p, QRectF(6, 3, 28, 38));
             gear(p, QPointF(35, 35), 11, QColor(150, 160, 180));
         }},
        {"group", [](QPainter& p) { people(p); }},
        {"options",
         [](QPainter& p) {
             envelope(p, QRectF(2, 6, 34, 24));
             gear(p, QPointF(34, 33), 12, QColor(120, 140, 170));
         }},
        {"settings", [](QPainter& p) { gear(p, QPointF(24, 24), 19, QColor(120, 140, 170)); }},
        {"central", [](QPainter& p) { outline(p); }},
        {"wizard", [](QPainter& p) { wand(p); }},
        {"send", [](QPainter& p) { plane(p); }},
        {"save", [](QPainter& p) { floppy(p); }},
        {"saveas",
         [](QPainter& p) {
             floppy(p);
             arrowBadge(p, QColor(40, 160, 60));
         }},
        {"exit",
         [](QPainter& p) {
             p.setPen(QPen(kOutline, 1.5));
             p.setBrush(QColor(160, 110, 70));
             p.drawRect(QRectF(6, 4, 22, 40));
             arrowBadge(p, QColor(210, 45, 45));
         }},
        {"cut", [](QPainter& p) { scissors(p); }},
        {"copy",
         [](QPainter& p) {
             sheet(p, QRectF(4, 3, 24, 32));
             sheet(p, QRectF(18, 13, 24, 32));
         }},
        {"paste", [](QPainter& p) { clipboard(p); }},
        {"find", [](QPainter& p) { magnifier(p, QPointF(20, 20), 12); }},
        {"merge",
         [](QPainter& p) {
             listSheet(p, QRectF(3, 3, 20, 28));
             listSheet(p, QRectF(16, 10, 20, 28));
             arrowBadge(p, QColor(40, 120, 200));
         }},
        {"clean",
         [](QPainter& p) {
             listSheet(p, QRectF(8, 3, 28, 38));
             crossBadge(p);
         }},
        {"duplicates",
         [](QPainter& p) {
             listSheet(p, QRectF(3, 3, 22, 30));
             listSheet(p, QRectF(14, 12, 22, 30));
             magnifier(p, QPointF(34, 32), 7);
         }},
        {"filter",
         [](QPainter& p) {
             listSheet(p, QRectF(3, 3, 26, 36));
             funnel(p);
         }},
        {"export",
         [](QPainter& p) {
             listSheet(p, QRectF(8, 3, 28, 38));
             arrowBadge(p, QColor(40, 120, 200));
         }},
        {"help", [](QPainter& p) { roundSign(p, QColor(40, 110, 200), QStringLiteral("?")); }},
        {"about", [](QPainter& p) { roundSign(p, QColor(40, 110, 200), QStringLiteral("i")); }},
        {"app",
         [](QPainter& p) {
             envelope(p, QRectF(2, 10, 40, 28));
             plane(p);
         }},
    };
}

// Paints on demand at whatever size is asked for, so start-up draws only what is shown.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(Draw draw) : m_draw(std::move(draw)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 48.0, rect.height() / 48.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.35);
        m_draw(*painter);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const QString key = QStringLiteral("sendora-icon-%1-%2-%3")
                                .arg(quintptr(this))
                                .arg(size.width() * 10000 + size.height())
                                .arg(int(mode));
        QPixmap pm;
        if (QPixmapCache::find(key, &pm)) return pm;
        pm = QPixmap(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        p.end();
        QPixmapCache::insert(key, pm);
        return pm;
    }
    QIconEngine* clone() const override { return new DrawnIconEngine(m_draw); }

private:
    Draw m_draw;
};

QIcon render(const Draw& draw) {
    return QIcon(new DrawnIconEngine(draw));
}

} // namespace

QIcon sendoraIcon(const QString& key) {
    static QHash<QString, QIcon> cache;
    const auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    static const QHash<QString, Draw> all = drawings();
    const QIcon icon = all.contains(key) ? render(all.value(key)) : QIcon();
    cache.insert(key, icon);
    return icon;
}

QIcon applicationIcon() {
    return sendoraIcon(QStringLiteral("app"));
}

} // namespace sendora
