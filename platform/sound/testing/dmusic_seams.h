// dmusic_seams.h - test seams of DirectMusic (dmusic.h): a class reported as not
// registered, and the objects alive. The soundfont it plays with is chosen through
// MciSeamSetSoundFont (mci_seams.h), and its music is heard when the DirectSound output
// mixes (DsoundSeamMix, dsound_seams.h).
#pragma once

#include "platform/sound/dmusic.h"

// Creating this class answers REGDB_E_CLASSNOTREG from now on (null: every class is
// made again).
void DmusicSeamFailClass(const GUID* clsid);
// Music objects, loaders, performances and segments alive.
int DmusicSeamLiveObjectCount(void);
void DmusicSeamReset(void);
