// ThreadSanitizer's suppressions for the test programs and the programs the Xvfb tests
// start, built into each of them (the runtime asks the program for them at start-up).
//
// Only runtimes that are not instrumented are named: their own synchronisation is
// invisible to the sanitizer, so memory they hand between their threads looks
// unordered. Races in the library or the tests are never suppressed here.
// - libavutil: FFmpeg's decoders' frame threads hand frames over through atomics, so
//   the buffers they allocate look freed by our decoding thread without any order.
// - libgomp: the OpenMP runtime under FluidSynth's synthesizer starts worker threads
//   and passes its blocks among them through its own futex-based barriers.
//   Memory calls made from these two libraries are not tracked.
// - Mesa's software renderer (llvmpipe), which presents the window under a real X
//   server: its rasterizer threads take their work through the driver's own fences,
//   so a fence's mutex destroyed after the last frame looks raced. The driver is
//   loaded and unloaded with the GL context, so only its races are left out (a
//   called_from_lib entry ends the program when its library is unloaded). Newer Mesa
//   builds the same driver as libgallium.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libavutil.so\n"
           "called_from_lib:libgomp.so\n"
           "race:swrast_dri.so\n"
           "race:libgallium\n";
}
#endif
