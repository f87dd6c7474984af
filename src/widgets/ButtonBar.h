#pragma once

#include "assets/EventSounds.h"
#include "assets/Resources.h"
#include "widgets/ButtonStates.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <string_view>
#include <vector>

namespace zumbal {

// Where the skin pieces come from; tests hand in plain coloured pieces.
using SkinSource = std::function<QPixmap(std::string_view name, qreal devicePixelRatio)>;

// One drawn button: a plain canvas showing the backdrop composed for it. It
// only reports the mouse, with its index; the bar decides what a press means.
class canv_bott : public QWidget {
    Q_OBJECT
public:
    canv_bott(int index, QWidget* parent);

    int index() const { return m_index; }
    const QPixmap& backdrop() const { return m_backdrop; }
    void setBackdrop(QPixmap backdrop);

signals:
    void pressed(int index);
    void entered(int index);
    void left(int index);
    // The backdrop was composed for another device pixel ratio than the one
    // the canvas is now shown at, e.g. after the window moved to another screen.
    void ratioChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int m_index = 0;
    QPixmap m_backdrop;
};

// The backdrop of a button of the given logical size for one `can_bot` row
// (font name, pixel size, state code, caption): the state's skins stretched
// to the size, then the icon if there is one, otherwise the caption. Drawn at
// `devicePixelRatio`; every position is in logical pixels.
QPixmap composeButton(const std::array<QString, 4>& row, const QPixmap& icon, QSize size,
                      ButtonTable table, qreal devicePixelRatio, const SkinSource& skins = picture);

// The drawn buttons of one window: their rows, icons and canvases, and the
// state changes the mouse makes on them.
class ButtonBar : public QObject {
    Q_OBJECT
public:
    using Row = std::array<QString, 4>;

    // The canvases are children of `parent`, which also owns the bar.
    ButtonBar(QWidget* parent, ButtonTable table, EventSounds& sounds);

    // Adds button number can_bot_quanti + 1 and draws it; returns its number.
    int addButton(QRect geometry, Row row, QString helpTag = {}, QPixmap icon = {});

    void aggiorna_bottone(int i);
    void canv_bott_MouseDown(int i);
    void canv_bott_MouseEnter(int i);
    void canv_bott_MouseExit(int i);

    int state(int i) const;
    // Stores a state set by the program (not the mouse) and redraws.
    void setState(int i, int state);
    void setSkinSource(SkinSource skins);

    int can_bot_quanti = -1;
    std::vector<Row> can_bot;
    std::vector<QPixmap> can_bot_icon;
    std::vector<zumbal::canv_bott*> canv_bott;

signals:
    void gestisci_evento_bottone(int i, int state);

private:
    bool exists(int i) const { return i >= 0 && i <= can_bot_quanti; }
    void handle(int i, ButtonEvent event);

    QWidget* m_parent = nullptr;
    ButtonTable m_table = ButtonTable::MainWindow;
    EventSounds& m_sounds;
    SkinSource m_skins = picture;
};

} // namespace zumbal
