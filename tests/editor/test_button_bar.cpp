#include "editor/ButtonBar.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

namespace zumbal {

namespace {

using enum ButtonEvent;
using Row = ButtonBar::Row;

constexpr std::array<std::string_view, 21> kSkinNames{
    "t1rl",  "t1rc",  "t1rr",  "t1gul", "t1guc", "t1gur", "t1vl",
    "t1vc",  "t1vr",  "t1gdl", "t1gdc", "t1gdr", "t1bel", "t1bec",
    "t1ber", "t1bdl", "t1bdc", "t1bdr", "t1dul", "t1duc", "t1dur"};

int skinId(std::string_view name) {
    return static_cast<int>(std::ranges::find(kSkinNames, name) - kSkinNames.begin());
}

// Every channel at 40 or more: never the colour of a caption (one channel at
// zero, or grey 153) nor of the test icon.
QRgb topColour(std::string_view name) {
    const int id = skinId(name);
    return qRgb(40 + 7 * id, 60 + 3 * id, 100);
}
QRgb bandColour(std::string_view name) {
    const int id = skinId(name);
    return qRgb(100, 40 + 5 * id, 60 + 2 * id);
}

// Solid 16 x 40 pieces, one colour above row 20 and another from it on, so
// every piece and the copied band can be told apart by a single pixel.
using RatioLog = std::vector<qreal>;
SkinSource syntheticSkins(std::shared_ptr<RatioLog> ratios = std::make_shared<RatioLog>()) {
    return [ratios](std::string_view name, qreal dpr) {
        ratios->push_back(dpr);
        if (skinId(name) == static_cast<int>(kSkinNames.size()))
            return QPixmap();
        QImage piece(qRound(16 * dpr), qRound(40 * dpr), QImage::Format_ARGB32_Premultiplied);
        piece.fill(topColour(name));
        for (int y = qRound(20 * dpr); y < piece.height(); ++y)
            for (int x = 0; x < piece.width(); ++x)
                piece.setPixel(x, y, bandColour(name));
        QPixmap pixmap = QPixmap::fromImage(piece);
        pixmap.setDevicePixelRatio(dpr);
        return pixmap;
    };
}

QRgb captionColour(HsvF c) {
    return QColor::fromHsvF(float(c.h), float(c.s), float(c.v)).rgb();
}

// The smallest rectangle holding every pixel of exactly this colour.
QRect boundsOf(const QImage& image, QRgb colour) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

QImage compose(Row row, QSize size, ButtonTable table = ButtonTable::MainWindow, qreal dpr = 1,
               const QPixmap& icon = {}) {
    const QPixmap pixmap = composeButton(row, icon, size, table, dpr, syntheticSkins());
    return pixmap.toImage();
}

QPixmap solidIcon(QSize size) {
    QPixmap icon(size);
    icon.fill(QColor(255, 0, 255));
    return icon;
}

class RecordingSounds final : public EventSounds {
public:
    using EventSounds::EventSounds;
    void play(SoundId id) override { played.push_back(id); }
    std::vector<SoundId> played;
};

// One window's bar with a single 40 x 40 button in the given state.
struct Bar {
    Bar(ButtonTable table, int state) : bar(&window, table, sounds) {
        bar.setSkinSource(syntheticSkins());
        bar.addButton({10, 10, 40, 40}, {"Arial", "12", QString::number(state), "R/C"},
                      "Turn the track on or off");
        window.resize(100, 60);
        window.show();
    }
    canv_bott* button() const { return bar.canv_bott[0]; }
    void click() { QTest::mouseClick(button(), Qt::LeftButton); }
    void enter() {
        QEnterEvent event(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QApplication::sendEvent(button(), &event);
    }
    void leave() {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(button(), &event);
    }
    QRgb cornerPixel() const { return button()->backdrop().toImage().pixel(2, 2); }

    globali g;
    RecordingSounds sounds{g, nullptr};
    QWidget window;
    ButtonBar bar;
};

} // namespace

class ButtonBarTest : public QObject {
    Q_OBJECT

private slots:
    void transitions_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to"); // 0: the state stays
        QTest::addColumn<bool>("click");

        using T = std::optional<ButtonTransition>;
        struct Case {
            ButtonEvent event;
            int from;
            T main;
            T dialog;
        };
        const T none;
        const Case cases[] = {
            {MouseDown, 1, T{{101, true}}, none},
            {MouseDown, 2, none, T{{101, true}}},
            {MouseDown, 101, T{{1, true}}, none},
            {MouseDown, 102, none, T{{1, true}}},
            {MouseDown, 11, T{{12, false}}, none},
            {MouseDown, 12, T{{11, false}}, T{{11, false}}},
            {MouseEnter, 1, none, T{{2, false}}},
            {MouseEnter, 2, none, none},
            {MouseEnter, 101, none, T{{102, false}}},
            {MouseEnter, 102, none, none},
            {MouseEnter, 11, T{{12, false}}, T{{12, false}}},
            {MouseEnter, 12, none, none},
            {MouseExit, 1, none, none},
            {MouseExit, 2, none, T{{1, false}}},
            {MouseExit, 101, none, none},
            {MouseExit, 102, none, T{{101, false}}},
            {MouseExit, 11, none, none},
            {MouseExit, 12, T{{11, false}}, T{{11, false}}},
        };
        const char* eventNames[] = {"down", "enter", "exit"};
        auto add = [&](ButtonTable table, ButtonEvent event, int from, T expected) {
            const char* tableName = table == ButtonTable::MainWindow ? "main" : "dialog";
            QTest::addRow("%s %s %d", tableName, eventNames[int(event)], from)
                << int(table) << int(event) << from << (expected ? expected->to : 0)
                << (expected && expected->click);
        };
        for (const Case& c : cases) {
            add(ButtonTable::MainWindow, c.event, c.from, c.main);
            add(ButtonTable::Dialog, c.event, c.from, c.dialog);
        }
        // Greyed and unknown codes answer nothing, in either window.
        for (ButtonTable table : {ButtonTable::MainWindow, ButtonTable::Dialog})
            for (ButtonEvent event : {MouseDown, MouseEnter, MouseExit})
                for (int from : {-1, -11, -12, 0, 3, 100})
                    add(table, event, from, none);
    }

    void transitions() {
        QFETCH(int, table);
        QFETCH(int, event);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, click);
        const auto next = nextButtonState(ButtonTable(table), ButtonEvent(event), from);
        QCOMPARE(next.has_value(), to != 0);
        if (next) {
            QCOMPARE(next->to, to);
            QCOMPARE(next->click, click);
        }
    }

    void looks_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("skins");
        QTest::addColumn<QRgb>("caption");
        const auto hsv = [](double h, double s, double v) { return captionColour({h, s, v}); };
        QTest::newRow("off") << 1 << "t1rl t1rc t1rr" << hsv(0, 1, 0.7);
        QTest::newRow("off hover") << 2 << "t1gul t1guc t1gur" << hsv(0.12, 1, 0.8);
        QTest::newRow("on") << 101 << "t1vl t1vc t1vr" << hsv(0.3, 1, 0.8);
        QTest::newRow("on hover") << 102 << "t1gdl t1gdc t1gdr" << hsv(0.12, 1, 0.8);
        QTest::newRow("push") << 11 << "t1bel t1bec t1ber" << hsv(0.6, 1, 0.5);
        QTest::newRow("push lit") << 12 << "t1bel t1bec t1ber" << hsv(0, 1, 0.7);
        QTest::newRow("push greyed") << -11 << "t1bdl t1bdc t1bdr" << hsv(0, 0, 0.6);
        QTest::newRow("push lit greyed") << -12 << "t1bdl t1bdc t1bdr" << hsv(0, 0, 0.6);
        QTest::newRow("switch greyed") << -1 << "t1dul t1duc t1dur" << hsv(0, 0, 0.6);
        QTest::newRow("unknown") << 55 << "t1dul t1duc t1dur" << hsv(0, 0, 0.6);
    }

    // Each state's pieces in their places, and a caption in the state's colour.
    void looks() {
        QFETCH(int, state);
        QFETCH(QString, skins);
        QFETCH(QRgb, caption);
        const QStringList names = skins.split(' ');
        const QImage image = compose({"Arial", "14", QString::number(state), "HH"}, {95, 40});
        QCOMPARE(image.pixel(2, 2), topColour(names[0].toStdString()));
        QCOMPARE(image.pixel(40, 2), topColour(names[1].toStdString()));
        QCOMPARE(image.pixel(92, 37), bandColour(names[2].toStdString()));
        QVERIFY(!boundsOf(image, caption).isEmpty());
    }

    void geometry_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("dpr");
        QTest::newRow("40x40") << QSize(40, 40) << 1.0;
        QTest::newRow("95x40") << QSize(95, 40) << 1.0;
        QTest::newRow("141x40") << QSize(141, 40) << 1.0;
        QTest::newRow("40x56 stretched") << QSize(40, 56) << 1.0;
        QTest::newRow("95x40 at 2x") << QSize(95, 40) << 2.0;
        QTest::newRow("40x56 at 2x") << QSize(40, 56) << 2.0;
    }

    // Every pixel: the left piece in the first 16 columns, the right piece in
    // the last 16, centre pieces between; the pieces' tops above row 16 and
    // their lower halves from there to the bottom edge.
    void geometry() {
        QFETCH(QSize, size);
        QFETCH(qreal, dpr);
        auto ratios = std::make_shared<RatioLog>();
        const QPixmap pixmap = composeButton({"Arial", "12", "1", ""}, {}, size,
                                             ButtonTable::MainWindow, dpr, syntheticSkins(ratios));
        QCOMPARE(pixmap.size(), size * dpr);
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        QVERIFY(std::ranges::all_of(*ratios, [&](qreal r) { return r == dpr; }));
        const QImage image = pixmap.toImage();
        for (int py = 0; py < image.height(); ++py) {
            for (int px = 0; px < image.width(); ++px) {
                const int x = int(px / dpr);
                const int y = int(py / dpr);
                const char* piece = x < 16 ? "t1rl" : x >= size.width() - 16 ? "t1rr" : "t1rc";
                const QRgb expected = y < 16 ? topColour(piece) : bandColour(piece);
                if (image.pixel(px, py) != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, not %4 of %5")
                                         .arg(px)
                                         .arg(py)
                                         .arg(image.pixel(px, py), 8, 16)
                                         .arg(expected, 8, 16)
                                         .arg(piece)));
            }
        }
    }

    void caption_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("40x40") << QSize(40, 40) << "H" << 12;
        QTest::newRow("95x40") << QSize(95, 40) << "HH" << 14;
        QTest::newRow("141x56") << QSize(141, 56) << "HIH" << 18;
    }

    // Capitals without descenders: their ink sits right on the baseline and
    // is as tall as the font's cap height, which follows the pixel size.
    void caption() {
        QFETCH(QSize, size);
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        const QImage image = compose({"Arial", QString::number(pixelSize), "11", text}, size);
        const QRect ink = boundsOf(image, captionColour(buttonLook(11).caption));
        QVERIFY(!ink.isEmpty());
        const qreal centre = (ink.left() + ink.right() + 1) / 2.0;
        QVERIFY2(qAbs(centre - (size.width() / 2 + 2)) <= 1.0, qPrintable(QString::number(centre)));
        const int baseline = size.height() / 2 + 2;
        QVERIFY2(ink.bottom() == baseline - 1, qPrintable(QString::number(ink.bottom())));
        QVERIFY2(ink.height() >= 0.6 * pixelSize && ink.height() <= 0.8 * pixelSize,
                 qPrintable(QString::number(ink.height())));
    }

    void icon_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("iconSize");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<QPoint>("at");
        const int main = int(ButtonTable::MainWindow);
        const int dialog = int(ButtonTable::Dialog);
        QTest::newRow("main") << main << QSize(40, 40) << QSize(24, 24) << 1.0 << QPoint(10, 5);
        QTest::newRow("dialog") << dialog << QSize(40, 40) << QSize(24, 24) << 1.0 << QPoint(8, 8);
        QTest::newRow("main odd width")
            << main << QSize(95, 40) << QSize(24, 24) << 1.0 << QPoint(37, 5);
        QTest::newRow("dialog odd icon")
            << dialog << QSize(40, 40) << QSize(23, 23) << 1.0 << QPoint(9, 9);
        QTest::newRow("main at 2x")
            << main << QSize(40, 40) << QSize(24, 24) << 2.0 << QPoint(10, 5);
    }

    // The icon lands whole on the pixel grid, and no caption is drawn.
    void icon() {
        QFETCH(int, table);
        QFETCH(QSize, size);
        QFETCH(QSize, iconSize);
        QFETCH(qreal, dpr);
        QFETCH(QPoint, at);
        const Row row{"Arial", "14", "11", "HH"};
        const QImage image = compose(row, size, ButtonTable(table), dpr, solidIcon(iconSize));
        QCOMPARE(boundsOf(image, qRgb(255, 0, 255)), QRect(at * dpr, iconSize * dpr));
        QVERIFY(boundsOf(image, captionColour(buttonLook(11).caption)).isEmpty());
    }

    void mainWindowSwitchTogglesOnEveryClick() {
        Bar b(ButtonTable::MainWindow, 1);
        QSignalSpy fired(&b.bar, &ButtonBar::gestisci_evento_bottone);
        QCOMPARE(b.button()->toolTip(), QStringLiteral("Turn the track on or off"));
        b.enter();
        QCOMPARE(b.bar.state(0), 1);
        for (int expected : {101, 1}) {
            b.click();
            QCOMPARE(b.bar.can_bot[0][2], QString::number(expected));
            QCOMPARE(b.cornerPixel(), topColour(expected == 101 ? "t1vl" : "t1rl"));
            QCOMPARE(fired.takeFirst(), QVariantList({0, expected}));
        }
        QTest::mouseClick(b.button(), Qt::RightButton);
        QCOMPARE(b.bar.state(0), 1);
        QVERIFY(fired.isEmpty());
        QCOMPARE(b.sounds.played, std::vector(2, SoundId::ambientclick));
    }

    void mainWindowPushButtonFiresOnEveryClick() {
        Bar b(ButtonTable::MainWindow, 11);
        QSignalSpy fired(&b.bar, &ButtonBar::gestisci_evento_bottone);
        for (int expected : {12, 11, 12}) {
            b.click();
            QCOMPARE(fired.takeFirst(), QVariantList({0, expected}));
        }
        b.leave();
        QCOMPARE(b.bar.state(0), 11);
        b.enter();
        QCOMPARE(b.bar.state(0), 12);
        QVERIFY(fired.isEmpty());
        QVERIFY(b.sounds.played.empty());
    }

    void dialogPushButtonFiresOnlyWhenLit() {
        Bar b(ButtonTable::Dialog, 11);
        QSignalSpy fired(&b.bar, &ButtonBar::gestisci_evento_bottone);
        const qint64 before = b.button()->backdrop().cacheKey();
        b.click();
        QCOMPARE(b.bar.state(0), 11);
        QCOMPARE(b.button()->backdrop().cacheKey(), before);
        QVERIFY(fired.isEmpty());
        b.enter();
        QCOMPARE(b.bar.state(0), 12);
        QVERIFY(fired.isEmpty());
        b.click();
        QCOMPARE(fired.takeFirst(), QVariantList({0, 11}));
        b.click();
        QVERIFY(fired.isEmpty());
        QVERIFY(b.sounds.played.empty());
    }

    void dialogSwitchTogglesFromItsHoverStates() {
        Bar b(ButtonTable::Dialog, 1);
        QSignalSpy fired(&b.bar, &ButtonBar::gestisci_evento_bottone);
        b.click();
        QVERIFY(fired.isEmpty());
        b.enter();
        QCOMPARE(b.cornerPixel(), topColour("t1gul"));
        b.click();
        QCOMPARE(fired.takeFirst(), QVariantList({0, 101}));
        b.leave();
        b.enter();
        QCOMPARE(b.bar.state(0), 102);
        b.click();
        QCOMPARE(fired.takeFirst(), QVariantList({0, 1}));
        QCOMPARE(b.sounds.played, std::vector(2, SoundId::ambientclick));
    }

    // A backdrop made for another screen's ratio is rebuilt before it is shown.
    // The build runs this once more at a scale factor of 2, where a backdrop
    // composed at ratio 1 would be blurred.
    void staleRatioIsRecomposedOnPaint() {
        Bar b(ButtonTable::MainWindow, 1);
        const qreal otherRatio = b.button()->devicePixelRatioF() + 1;
        QPixmap stale((QSizeF(40, 40) * otherRatio).toSize());
        stale.setDevicePixelRatio(otherRatio);
        b.button()->setBackdrop(stale);
        b.button()->grab();
        QCOMPARE(b.button()->backdrop().devicePixelRatio(), b.button()->devicePixelRatioF());
        QCOMPARE(b.cornerPixel(), topColour("t1rl"));
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::ButtonBarTest)
#include "test_button_bar.moc"
