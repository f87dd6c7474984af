#include "../gui/AppFixture.h"
#include "support/XServer.h"
#include "windows/drumswin.h"
#include "windows/volumewin.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

namespace zumbal {

// On a real X server with a window manager, where windows have frames: the
// volume and drums windows put their client area (what geometry() gives),
// not their frame, at the point computed from the main window's client
// corner, on the first opening and on every later one.
class WindowPlacementTest : public QObject {
    Q_OBJECT

    using Fixture = test::AppFixture;

    // Opens `window` with `open`, then hides it and opens it again; both times
    // its client area settles at `at`.
    static void opensWithItsClientAt(QWidget* (*open)(Fixture&), Fixture& f, QPoint at) {
        for (int opening = 1; opening <= 2; ++opening) {
            QWidget* window = open(f);
            QVERIFY(window);
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QTRY_COMPARE_WITH_TIMEOUT(window->geometry().topLeft(), at, 2000);
            QVERIFY2(window->frameGeometry() != window->geometry(), "the window has no frame");
            window->hide();
            QTest::qWait(100);
        }
    }

private slots:
    void volumeWindowFromAStroke() {
        Fixture f;
        // A right click on the stroke at 146, 80 of the grid canvas, which is
        // at 168, 7: 137 px left of and 30 px above the stroke.
        const QPoint at = f.w().client()->mapToGlobal(QPoint(168 + 146 - 137, 7 + 80 - 30));
        opensWithItsClientAt(
            [](Fixture& f) -> QWidget* {
                QTest::mouseClick(&f.w().grid(), Qt::RightButton, {}, QPoint(152, 85));
                return f.w().findChild<volumewin*>();
            },
            f, at);
    }

    void drumsWindowFromAnInstrumentField() {
        Fixture f;
        const QPoint at =
            f.w().client()->mapToGlobal(QPoint(210, f.w().fields().EditFI[2]->y() - 20));
        opensWithItsClientAt(
            [](Fixture& f) -> QWidget* {
                QTest::mouseClick(f.w().fields().EditFI[2], Qt::LeftButton);
                return f.w().findChild<drumswin*>();
            },
            f, at);
    }
};

} // namespace zumbal

int main(int argc, char** argv) {
    zumbal::test::XServer x;
    if (!x.missing().isEmpty()) {
        std::printf("SKIP: %s\n", qPrintable(x.missing()));
        return 77;
    }
    qputenv("DISPLAY", x.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    zumbal::WindowPlacementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_placement.moc"
