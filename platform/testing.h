// testing.h - test seams of the platform layer, linked only into tests and benchmarks.
//
// The virtual clock, injected keys and events, the captured frames of the window,
// and failure injection for object creation. Each group adds its seams here.
#pragma once

#include "platform/sound/testing/acm_seams.h"
#include "platform/kernel/testing/cpu_seams.h"
#include "platform/movies/testing/dshow_seams.h"
#include "platform/sound/testing/dsound_seams.h"
#include "platform/sound/testing/dmusic_seams.h"
#include "platform/sound/testing/mci_seams.h"
#include "platform/kernel/testing/kernel_files_seams.h"
#include "platform/kernel/testing/kernel_seams.h"
#include "platform/kernel/testing/time_seams.h"
#include "platform/ddraw/testing/ddraw_seams.h"
#include "platform/d3d/testing/d3d_seams.h"
#include "platform/input/testing/dinput_seams.h"
#include "platform/window/testing/window_seams.h"
#include "platform/input/testing/keystate_seams.h"
#include "platform/gdi/testing/gdi_font_seams.h"
#include "platform/net/testing/winsock_seams.h"
