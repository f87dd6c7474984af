#include "widgets/ButtonBar.h"

#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace zumbal {

namespace {

using enum ButtonEvent;
constexpr auto kMain = ButtonTable::MainWindow;
constexpr auto kDialog = ButtonTable::Dialog;
constexpr char kEventLetters[] = "dex"; // down, enter, exit

// A colour per piece and half, told apart by name: never a channel at 0 nor
// grey, so never a caption's colour, nor the magenta test icon.
QRgb skinColour(std::string_view name, bool band) {
    int s = 0;
    for (char c : name)
        s = (s * 31 + c) % 151;
    return band ? qRgb(100, 50 + s, 60) : qRgb(50 + s, 60, 100);
}

// Solid 16 x 40 pieces, one colour above row 20 and another from it on.
QPixmap syntheticSkin(std::string_view name, qreal dpr) {
    QImage piece(qRound(16 * dpr), qRound(40 * dpr), QImage::Format_ARGB32_Premultiplied);
    piece.fill(skinColour(name, false));
    QPainter(&piece).fillRect(0, qRound(20 * dpr), piece.width(), piece.height(),
                              QColor(skinColour(name, true)));
    piece.setDevicePixelRatio(dpr);
    return QPixmap::fromImage(piece);
}

struct RecordingSounds final : EventSounds {
    using EventSounds::EventSounds;
    void play(SoundId id) override { played.push_back(id); }
    std::vector<SoundId> played;
};

// One window's bar with a single 40 x 40 button in the given state; the main
// window's bar keeps it in a store of its owner's, as in the model.
struct Bar {
    Bar(ButtonTable table, int state)
        : bar(&window, table, sounds, table == kMain ? std::span(store) : std::span<AtomicInt>()) {
        bar.setSkinSource(syntheticSkin);
        bar.addButton({10, 10, 40, 40}, {"Arial", 12, "R/C"}, state);
        window.show();
    }
    canv_bott* button() const { return bar.canv_bott[0]; }
    QRgb cornerPixel() const { return button()->backdrop().toImage().pixel(2, 2); }

    globali g;
    RecordingSounds sounds{g, nullptr};
    std::array<AtomicInt, 1> store{};
    QWidget window;
    ButtonBar bar;
};

} // namespace

class ButtonBarTest : public QObject {
    Q_OBJECT

private slots:
    // Every change a window makes, as <event><from>><to>, "!" when it clicks;
    // greyed and unknown codes make none.
    void transitions() {
        const auto changes = [](ButtonTable table) {
            QStringList list;
            for (ButtonEvent event : {MouseDown, MouseEnter, MouseExit})
                for (int from : {-12, -11, -1, 0, 1, 2, 3, 11, 12, 100, 101, 102})
                    if (const auto next = nextButtonState(table, event, from))
                        list << QString::asprintf("%c%d>%d%s", kEventLetters[int(event)], from,
                                                  next->to, next->click ? "!" : "");
            return list.join(' ');
        };
        QCOMPARE(changes(kMain), QString("d1>101! d11>12 d12>11 d101>1! e11>12 x12>11"));
        QCOMPARE(changes(kDialog),
                 QString("d2>101! d12>11 d102>1! e1>2 e11>12 e101>102 x2>1 x12>11 x102>101"));
    }

    // Steps: c(lick), r(ight click), e(nter) or l(eave), then the code the
    // button shows, "=" the state under it when the pointer lights it, and "!"
    // when the bar signals it. After each, the backdrop shows the code, and the
    // state, never lit, is what the bar, its store and the signal give.
    void mouse() {
        for (auto [table, start, steps, clicks] :
             {std::tuple{kMain, 1, "e1 c101! c1! r1", 2},
              std::tuple{kMain, 11, "c12=11! c11! e12=11 l11", 0},
              std::tuple{kDialog, 11, "c11 e12=11 c11! c11", 0},
              std::tuple{kDialog, 1, "c1 e2=1 c101! l101 e102=101 c1!", 2}}) {
            Bar b(table, start);
            QSignalSpy fired(&b.bar, &ButtonBar::gestisci_evento_bottone);
            for (const QString& step : QString(steps).split(' ')) {
                QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
                QEvent leave(QEvent::Leave);
                if (step[0] == 'c' || step[0] == 'r')
                    QTest::mouseClick(b.button(),
                                      step[0] == 'r' ? Qt::RightButton : Qt::LeftButton);
                else
                    QApplication::sendEvent(b.button(), step[0] == 'e' ? &enter : &leave);
                const QStringList codes = step.mid(1).remove('!').split('=');
                const int look = codes.first().toInt(), state = codes.last().toInt();
                QCOMPARE((QList{b.bar.look(0), b.bar.state(0)}), (QList{look, state}));
                if (table == kMain)
                    QCOMPARE(b.store[0].load(), state);
                QCOMPARE(b.cornerPixel(), skinColour(buttonLook(look).skins[0], false));
                QCOMPARE(fired.size(), step.endsWith('!') ? 1 : 0);
                if (step.endsWith('!'))
                    QCOMPARE(fired.takeFirst(), QVariantList({0, state}));
            }
            QCOMPARE(b.sounds.played, std::vector<SoundId>(clicks, SoundId::ambientclick));

            // A backdrop made for another screen's ratio is rebuilt before it is shown.
            QPixmap stale(8, 8);
            stale.setDevicePixelRatio(b.button()->devicePixelRatioF() + 1);
            b.button()->setBackdrop(stale);
            b.button()->grab();
            QCOMPARE(b.button()->backdrop().devicePixelRatio(), b.button()->devicePixelRatioF());
            QCOMPARE(b.cornerPixel(), skinColour(buttonLook(b.bar.look(0)).skins[0], false));
        }
    }
};

} // namespace zumbal

QTEST_MAIN(zumbal::ButtonBarTest)
#include "test_button_bar.moc"
