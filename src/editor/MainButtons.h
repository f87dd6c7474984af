#pragma once

#include "assets/EventSounds.h"
#include "model/globali.h"
#include "widgets/ButtonBar.h"

#include <QObject>

namespace zumbal {

// The main window's drawn buttons: a switch per track (DRUM 1 to 6, BASS),
// the drum tracks' R/C switches, PLAY / STOP, the web page, 3/4 and ter.
// Their states are the model's `pb`, which the engine reads for the mutes
// and a load writes: the bar keeps them there and nowhere else. What a
// press means is the window's business.
class MainButtons : public QObject {
    Q_OBJECT
public:
    // The buttons are children of `client`.
    MainButtons(globali& g, QWidget* client, EventSounds& sounds);

    // Adds the buttons on the first call; every call sets each one to the
    // state it starts in.
    void dati_dei_bottoni();
    void aggiorna_bottone(int i);
    void setButtonState(int i, int state);
    int state(int i) const { return m_bar->state(i); }
    // The switches of a new loop: the tracks on, R/C, 3/4 and ter off.
    void showNewLoop();
    // Draws the states a load put into the model.
    void showLoop();

    ButtonBar& bar() { return *m_bar; }

private:
    QWidget* m_client = nullptr;
    ButtonBar* m_bar = nullptr;
};

} // namespace zumbal
