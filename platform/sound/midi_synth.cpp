// midi_synth.cpp - the FluidSynth synthesizer shared by MCI and DirectMusic (see
// midi_synth.h).
#include "platform/sound/midi_synth.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "platform/sound/mci_hooks.h"

namespace {

const char* const soundFontPaths[] = {
    "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",   "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf3/MuseScore_General.sf3",
};

}  // namespace

std::string FindGeneralMidiSoundFont(void) {
    const MciHooks& hooks = MciHooksRecord();
    if (hooks.soundFont != nullptr) return access(hooks.soundFont, R_OK) == 0 ? hooks.soundFont : "";
    for (const char* path : soundFontPaths)
        if (access(path, R_OK) == 0) return path;
    return "";
}

bool CreateMidiSynth(int rate, MidiSynth* out) {
    *out = MidiSynth{};
    const std::string font = FindGeneralMidiSoundFont();
    if (font.empty()) return false;
    // FluidSynth reports to stderr unless told otherwise.
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
    out->settings = new_fluid_settings();
    if (out->settings != nullptr) {
        fluid_settings_setnum(out->settings, "synth.sample-rate", rate);
        // Players follow the rendered samples, so rendering on request moves them too.
        fluid_settings_setstr(out->settings, "player.timing-source", "sample");
        out->synth = new_fluid_synth(out->settings);
    }
    if (out->synth == nullptr || fluid_synth_sfload(out->synth, font.c_str(), 1) == FLUID_FAILED) {
        DestroyMidiSynth(out);
        return false;
    }
    return true;
}

void DestroyMidiSynth(MidiSynth* s) {
    if (s->synth != nullptr) delete_fluid_synth(s->synth);
    if (s->settings != nullptr) delete_fluid_settings(s->settings);
    *s = MidiSynth{};
}

bool MidiPieceOver(fluid_player_t* player, int plays, MidiRounds* rounds) {
    if (fluid_player_get_status(player) != FLUID_PLAYER_PLAYING) return true;
    const int tick = fluid_player_get_current_tick(player);
    if (tick < rounds->lastTick) ++rounds->done;
    rounds->lastTick = tick;
    const int total = fluid_player_get_total_ticks(player);
    return plays > 0 && rounds->done >= plays - 1 && total > 0 && tick >= total;
}

void MixMidiSynth(MidiSynth* s, fluid_player_t* player, int plays, MidiRounds* rounds, bool* over, int32_t* sums,
                  int frames) {
    s->left.resize(static_cast<size_t>(frames));
    s->right.resize(static_cast<size_t>(frames));
    for (int done = 0; done < frames; done += MidiRenderChunk) {
        const int n = std::min(MidiRenderChunk, frames - done);
        fluid_synth_write_float(s->synth, n, s->left.data() + done, 0, 1, s->right.data() + done, 0, 1);
        if (player != nullptr && !*over) *over = MidiPieceOver(player, plays, rounds);
    }
    auto sample = [](float v) { return static_cast<int32_t>(std::lrint(std::clamp(v, -1.0f, 1.0f) * 32767.0f)); };
    for (size_t i = 0; i < static_cast<size_t>(frames); ++i) {
        sums[2 * i] += sample(s->left[i]);
        sums[2 * i + 1] += sample(s->right[i]);
    }
}
