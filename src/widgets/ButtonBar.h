#pragma once

#include "assets/EventSounds.h"
#include "assets/Resources.h"
#include "model/globali.h"
#include "widgets/ButtonStates.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>
#include <span>
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

// One row of a bar's `can_bot` table: the caption and the font family it is
// drawn in, bold, at a pixel size. The button's state is kept by the bar.
struct ButtonFace {
    QString font;
    int pixelSize = 12;
    QString caption;
};

// The backdrop of a button of the given logical size showing `face` in the
// look of state code `code`: the code's skins stretched to the size, then
// the icon if there is one, otherwise the caption. Drawn at
// `devicePixelRatio`; every position is in logical pixels.
QPixmap composeButton(const ButtonFace& face, int code, const QPixmap& icon, QSize size,
                      ButtonTable table, qreal devicePixelRatio, const SkinSource& skins = picture);

// The drawn buttons of one window: their faces, icons and canvases, their
// states, and the state changes the mouse makes on them. `state` and
// `setState` are the one place a state is read and written. The pointer's
// light is kept beside the state and only changes the look.
class ButtonBar : public QObject {
    Q_OBJECT
public:
    // The canvases are children of `parent`, which also owns the bar. Button
    // i keeps its state in `states[i]` when `states` is given, so that others
    // read the very same value; otherwise the bar keeps the states itself.
    ButtonBar(QWidget* parent, ButtonTable table, EventSounds& sounds,
              std::span<AtomicInt> states = {});

    // Adds button number can_bot_quanti + 1 in `state` and draws it; returns its number.
    int addButton(QRect geometry, ButtonFace face, int state, QString helpTag = {},
                  QPixmap icon = {});

    void aggiorna_bottone(int i);
    void canv_bott_MouseDown(int i);
    void canv_bott_MouseEnter(int i);
    void canv_bott_MouseExit(int i);

    int state(int i) const;
    // Stores a state set by the program (not the mouse), unlit, and redraws.
    void setState(int i, int state);
    // Draws every button's state, unlit, after the states were written
    // elsewhere (a loop loaded into the model).
    void showStates();
    // The code button i is drawn in: its state, or the state lit while the
    // pointer is over it.
    int look(int i) const;
    void setCaption(int i, QString caption);
    void setSkinSource(SkinSource skins);

    int can_bot_quanti = -1;
    std::vector<ButtonFace> can_bot;
    std::vector<QPixmap> can_bot_icon;
    std::vector<zumbal::canv_bott*> canv_bott;

signals:
    // Button i was pressed and is now in `state`.
    void gestisci_evento_bottone(int i, int state);

private:
    bool exists(int i) const { return i >= 0 && i <= can_bot_quanti; }
    void handle(int i, ButtonEvent event);
    void setShown(int i, ShownButton shown);

    QWidget* m_parent = nullptr;
    ButtonTable m_table = ButtonTable::MainWindow;
    EventSounds& m_sounds;
    SkinSource m_skins = picture;
    std::span<AtomicInt> m_sharedStates;
    std::vector<int> m_states; // when no shared ones were given
    std::vector<bool> m_lit;
};

} // namespace zumbal
