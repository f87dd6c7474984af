#include "editor/TrackFields.h"

#include "model/NumberText.h"
#include "playback/NoteOutput.h"

#include <QCursor>

#include <algorithm>

namespace zumbal {

namespace {

const QStringList& bassInstruments() {
    static const QStringList names{"33 Acoustic Bass",        "34 Electric Bass (finger)",
                                   "35 Electric Bass (pick)", "36 Fretless Bass",
                                   "37 Slap Bass 1",          "38 Slap Bass 2",
                                   "39 Synth Bass 1",         "40 Synth Bass 2"};
    return names;
}

int fieldNumber(const EditField_Numero* field) {
    return leadingNumber(field->text().toStdString());
}

// Clamps the field's number to 0..127, rewriting the text when it was out of range.
int clampField(EditField_Numero* field) {
    const int value = fieldNumber(field);
    const int v = std::clamp(value, 0, 127);
    if (value != v) {
        const QString text = QString::number(v);
        field->setText(text);
        field->setSelection(0, static_cast<int>(text.size()));
    }
    return v;
}

} // namespace

TrackFields::TrackFields(globali& g, QWidget* client, QWidget* window)
    : QObject(client), m_g(g), m_client(client) {
    const QColor instrumentBackground(255, 244, 204);
    const QColor volumeBackground(211, 207, 190);
    for (int t = 0; t < kTracks; ++t) {
        const bool bass = t == kBassTrack;
        const QColor instrumentText = bass ? QColor(0, 128, 0) : QColor(128, 0, 0);
        EditFI[t] = new EditField_Numero(QString::number(kDefaultSounds[t]), instrumentBackground,
                                         instrumentText, client);
        EditFV[t] = new EditField_Numero(QString::number(kDefaultVolume), volumeBackground,
                                         QColor(0, 0, 128), client);
        EditFI[t]->setGeometry(764, bass ? 256 : 7 + 40 * t, 24, 16);
        EditFV[t]->setGeometry(764, bass ? 273 : 24 + 40 * t, 24, 16);
        EditFI[t]->setToolTip(
            bass ? QStringLiteral("Bass Instrument (1-127); bass as usually stored from 33 to 40")
                 : QStringLiteral("Drum Instrument (1-127)"));
        EditFV[t]->setToolTip(bass ? QStringLiteral("Bass Instrument Volume (1-127)")
                                   : QStringLiteral("Drum Instrument Volume (1-127)"));
        for (EditField_Numero* field : {EditFI[t], EditFV[t]})
            connect(field, &EditField_Numero::spaceBar, this, &TrackFields::spaceBar);
        // A field's value is applied whenever its text changes; a caret moved
        // by a click leaves the per-stroke volumes alone.
        connect(EditFI[t], &QLineEdit::textChanged, this, [this, t] { EditFI_SelChange(t); });
        connect(EditFV[t], &QLineEdit::textChanged, this, [this, t] { EditFV_SelChange(t); });
        connect(EditFI[t], &EditField_Numero::lostFocus, this, [this, t] { EditFI_LostFocus(t); });
        connect(EditFV[t], &EditField_Numero::lostFocus, this, [this, t] { EditFV_LostFocus(t); });
        connect(EditFI[t], &EditField_Numero::mouseDown, this, [this, t] { EditFI_MouseDown(t); });
        connect(EditFV[t], &EditField_Numero::mouseDown, this, [this, t] { EditFV_MouseDown(t); });
    }

    ContextualMenu1 = new QMenu(window);
    for (const QString& name : bassInstruments())
        ContextualMenu1->addAction(name);
    connect(ContextualMenu1, &QMenu::triggered, this, &TrackFields::ContextualMenu1_Action);
}

void TrackFields::EditFI_SelChange(int t) {
    const int v = clampField(EditFI[t]);
    m_g.edfiv[t][0] = v;
    emit instrumentChanged(t, v);
}

void TrackFields::EditFV_SelChange(int t) {
    const int v = clampField(EditFV[t]);
    m_g.edfiv[t][1] = v;
    if (autoaggiorna)
        return;
    for (int s = 1; s <= kStrokes; ++s)
        m_g.volum[cellIndex(t, s)] = v;
    emit volumeChanged(t);
}

namespace {
void repairRange(EditField_Numero* field) {
    const int value = fieldNumber(field);
    if (value < 0)
        field->setText(QStringLiteral("0"));
    else if (value > 127)
        field->setText(QStringLiteral("127"));
}
} // namespace

void TrackFields::EditFI_LostFocus(int t) {
    repairRange(EditFI[t]);
}

void TrackFields::EditFV_LostFocus(int t) {
    repairRange(EditFV[t]);
}

void TrackFields::EditFI_MouseDown(int t) {
    if (t == kBassTrack)
        ContextualMenu1->popup(QCursor::pos());
    else
        emit drumsWindowRequested(EditFI[t]->y(), t);
}

void TrackFields::EditFV_MouseDown(int t) {
    // The volume window opens 137 px left of and 30 px above the field.
    const QPoint client = m_client->mapToGlobal(QPoint(0, 0));
    emit volumeWindowRequested(t, client + EditFV[t]->geometry().topLeft() - QPoint(137, 30));
}

void TrackFields::ContextualMenu1_Action(QAction* item) {
    EditFI[kBassTrack]->setText(item->text().left(2));
    EditFI[kBassTrack]->setSelection(0, 2);
}

void TrackFields::showLoop() {
    autoaggiorna = true;
    // A field holds three digits: a number from the file is clamped first,
    // or the field would cut 1000 to 100 and -5 to 5, and the loop would
    // play otherwise than it exports.
    for (int t = 0; t < kTracks; ++t) {
        EditFI[t]->setText(QString::number(clampMidi(m_g.edfiv[t][0])));
        EditFV[t]->setText(QString::number(clampMidi(m_g.edfiv[t][1])));
    }
    autoaggiorna = false;
}

void TrackFields::showNewLoop() {
    for (int t = 0; t < kTracks; ++t) {
        EditFI[t]->setText(QString::number(m_g.edfiv[t][0]));
        EditFV[t]->setText(QString::number(kDefaultVolume));
    }
}

void TrackFields::setEditable(bool editable) {
    for (int t = 0; t < kTracks; ++t) {
        EditFI[t]->setEnabled(editable);
        EditFV[t]->setEnabled(editable);
    }
}

void TrackFields::chooseInstrument(int t, int note) {
    EditField_Numero* field = EditFI[t];
    const QString text = QString::number(note);
    if (field->text() != text) {
        field->setText(text);
        field->setSelection(0, 2);
    }
}

void TrackFields::setTrackVolume(int t, int volume) {
    EditFV[t]->setText(QString::number(volume));
}

} // namespace zumbal
