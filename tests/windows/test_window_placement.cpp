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

private slots:
    // Each window is opened, hidden and opened again; both times its client
    // area settles at its point. A right click on the stroke at 146, 80 of
    // the grid canvas, which is at 168, 7, puts the volume window 137 px left
    // of and 30 px above the stroke.
    void windowsOpenWithTheirClientAreaAtTheirPoint() {
        Fixture f;
        const std::pair<QPoint, QWidget* (*)(Fixture&)> windows[] = {
            {QPoint(168 + 146 - 137, 7 + 80 - 30),
             [](Fixture& opened) -> QWidget* {
                 QTest::mouseClick(&opened.w().grid(), Qt::RightButton, {}, QPoint(152, 85));
                 return opened.w().findChild<volumewin*>();
             }},
            {QPoint(210, f.w().fields().EditFI[2]->y() - 20),
             [](Fixture& opened) -> QWidget* {
                 QTest::mouseClick(opened.w().fields().EditFI[2], Qt::LeftButton);
                 return opened.w().findChild<drumswin*>();
             }},
        };
        for (const auto& [corner, open] : windows) {
            const QPoint at = f.w().client()->mapToGlobal(corner);
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
