#pragma once

#include "editor/EditField_Numero.h"
#include "model/globali.h"

#include <QMenu>
#include <QObject>
#include <QPoint>

#include <array>

namespace zumbal {

// The track fields beside the grid: each track's instrument (`EditFI`) and
// volume (`EditFV`), and the bass instruments' menu. A field's value goes to
// the model as it is typed.
class TrackFields : public QObject {
    Q_OBJECT
public:
    // The fields are children of `client`; the menu opens over `window`.
    TrackFields(globali& g, QWidget* client, QWidget* window);

    // Fills the fields from the model's values, leaving the per-stroke volumes alone.
    void showLoop();
    // Fields hold the defaults of a new loop.
    void showNewLoop();
    void setEditable(bool editable);
    // As if `note` was typed into track `t`'s instrument field, which keeps it selected.
    void chooseInstrument(int t, int note);
    // As if `volume` was typed into track `t`'s volume field: every stroke takes it.
    void setTrackVolume(int t, int volume);
    // The top of track `t`'s instrument field in the client area.
    int instrumentFieldTop(int t) const { return EditFI[t]->y(); }

    void EditFI_SelChange(int t);
    void EditFV_SelChange(int t);
    void EditFI_LostFocus(int t);
    void EditFV_LostFocus(int t);
    void EditFI_MouseDown(int t);
    void EditFV_MouseDown(int t);
    void ContextualMenu1_Action(QAction* item);

    std::array<EditField_Numero*, kTracks> EditFI{};
    std::array<EditField_Numero*, kTracks> EditFV{};
    QMenu* ContextualMenu1 = nullptr;

signals:
    // Track `t`'s instrument field now holds `note`.
    void instrumentChanged(int t, int note);
    // Track `t`'s volume field set every stroke of the track to its value.
    void volumeChanged(int t);
    void spaceBar();
    // The volume window is wanted at `topLeft` (screen coordinates) for the whole track.
    void volumeWindowRequested(int track, QPoint topLeft);
    // The drums window is wanted beside the instrument field at `y` in the client area.
    void drumsWindowRequested(int y, int track);

private:
    globali& m_g;
    QWidget* m_client = nullptr;
    // Set while the fields are filled from a loop, so that a volume shown
    // does not overwrite the loop's per-stroke volumes.
    bool autoaggiorna = false;
};

} // namespace zumbal
