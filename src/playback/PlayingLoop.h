#pragma once

#include "model/globali.h"
#include "playback/NoteOutput.h"

#include <array>

namespace zumbal {

// Everything a loop is while it plays, copied out of the model and back in:
// the cells, the sounds and volumes, the buttons with the 3/4 and ternary
// flags, the tempo, the groove and the bass's transposition. Fixed arrays
// only, so the audio thread copies it at a bar line without allocating.
class PlayingLoop {
public:
    void capture(const globali& g) {
        for (int c = 0; c < kCells; ++c) {
            m_pp[c] = g.pp[c];
            m_volum[c] = g.volum[c];
            m_vary[c] = g.vary[c];
        }
        for (int t = 0; t < kTracks; ++t)
            m_edfiv[t] = {g.edfiv[t][0], g.edfiv[t][1]};
        for (int b = 0; b < kButtons; ++b)
            m_pb[b] = g.pb[b];
        m_threeFour = g.ter_3_4;
        m_ternary = g.ter_ter;
        m_tempo = g.tempo;
        m_transStart = g.trans_start;
        m_swing = g.swing;
        m_humanizeMs = g.humanizeMs;
        m_humanizeVelocity = g.humanizeVelocity;
    }

    void restore(globali& g, NotePlayer& bass) const {
        for (int c = 0; c < kCells; ++c) {
            g.pp[c] = m_pp[c];
            g.volum[c] = m_volum[c];
            g.vary[c] = m_vary[c];
        }
        for (int t = 0; t < kTracks; ++t) {
            g.edfiv[t][0] = m_edfiv[t][0];
            g.edfiv[t][1] = m_edfiv[t][1];
        }
        for (int b = 0; b < kButtons; ++b)
            g.pb[b] = m_pb[b];
        g.ter_3_4 = m_threeFour;
        g.ter_ter = m_ternary;
        g.tempo = m_tempo;
        g.trans_start = m_transStart;
        g.swing = m_swing;
        g.humanizeMs = m_humanizeMs;
        g.humanizeVelocity = m_humanizeVelocity;
        bass.setInstrument(m_edfiv[kBassTrack][0]);
    }

private:
    std::array<int, kCells> m_pp{}, m_volum{}, m_vary{};
    std::array<std::array<int, 2>, kTracks> m_edfiv{};
    std::array<int, kButtons> m_pb{};
    bool m_threeFour = false, m_ternary = false;
    int m_tempo = 0, m_transStart = 0, m_swing = kStraight, m_humanizeMs = 0,
        m_humanizeVelocity = 0;
};

} // namespace zumbal
