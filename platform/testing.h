// testing.h - test seams of the platform layer, linked only into tests and benchmarks.
//
// The virtual clock, injected keys and events, the captured frames of the window,
// and failure injection for object creation. Each group adds its seams here.
#pragma once

#include "platform/testing/acm_seams.h"
#include "platform/testing/cpu_seams.h"
#include "platform/testing/dshow_seams.h"
#include "platform/testing/dsound_seams.h"
#include "platform/testing/dmusic_seams.h"
#include "platform/testing/mci_seams.h"
#include "platform/testing/kernel_files_seams.h"
#include "platform/testing/kernel_seams.h"
#include "platform/testing/time_seams.h"
#include "platform/testing/ddraw_seams.h"
#include "platform/testing/d3d_seams.h"
#include "platform/testing/dinput_seams.h"
#include "platform/testing/window_seams.h"
#include "platform/testing/keystate_seams.h"
#include "platform/testing/gdi_font_seams.h"
#include "platform/testing/winsock_seams.h"
