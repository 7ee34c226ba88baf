// ThreadSanitizer's suppressions for the test programs, built into each of them (the
// runtime asks the program for them at start-up).
//
// Only runtimes that are not instrumented are named: their own synchronisation is
// invisible to the sanitizer, so memory they hand between their threads looks
// unordered. Races in the library or the tests are never suppressed here.
// - libavutil: FFmpeg's decoders' frame threads hand frames over through atomics, so
//   the buffers they allocate look freed by our decoding thread without any order.
// - libgomp: the OpenMP runtime under FluidSynth's synthesizer starts worker threads
//   and passes its blocks among them through its own futex-based barriers.
// Memory calls made from these libraries are not tracked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libavutil.so\n"
           "called_from_lib:libgomp.so\n";
}
#endif
