// midi_synth.h - the General MIDI synthesizer behind MCI's sequencer (mci.h) and
// DirectMusic's performance (dmusic.h): FluidSynth with the system's soundfont.
//
//     MidiSynth s;
//     if (!CreateMidiSynth(44100, &s)) ...;   // no soundfont, or the synth failed
//     fluid_player_t* p = new_fluid_player(s.synth);   // players run on rendered time
//     ...
//     DestroyMidiSynth(&s);
#pragma once

#include <fluidsynth.h>

#include <string>
#include <vector>

// Frames rendered between two looks at a player, so that no round of a piece slips by
// unseen however much is rendered at once.
constexpr int MidiRenderChunk = 512;

struct MidiSynth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    std::vector<float> left, right;  // one mixing call's frames
};

// The soundfont in use: the test seam's choice (mci_hooks.h) or the first of the usual
// Debian paths that can be read; empty when there is none.
std::string FindGeneralMidiSoundFont(void);
// A synthesizer at `rate` Hz with the soundfont loaded, whose MIDI players advance only
// as it renders; false (nothing kept) without a soundfont or when the synth fails.
bool CreateMidiSynth(int rate, MidiSynth* out);
void DestroyMidiSynth(MidiSynth* synth);

// Follows a player through the rounds of its piece: the tick falls back at each new
// round. The player itself runs on for a grace time after its last round, so that
// notes can fade; the piece is over once its last round passes its last tick.
struct MidiRounds {
    int lastTick = 0;
    int done = 0;
};
// True once the piece is over: `plays` rounds (-1: endless) have passed, or the player
// stopped. Look after every MidiRenderChunk frames or fewer.
bool MidiPieceOver(fluid_player_t* player, int plays, MidiRounds* rounds);
// Renders `frames` frames of the synthesizer and adds them, at 16-bit scale, into
// interleaved stereo sums (a DirectSound mix source). The player, when given, is
// looked at after every MidiRenderChunk frames until `*over` (MidiPieceOver with
// `plays`) turns true.
void MixMidiSynth(MidiSynth* synth, fluid_player_t* player, int plays, MidiRounds* rounds, bool* over, int32_t* sums,
                  int frames);
