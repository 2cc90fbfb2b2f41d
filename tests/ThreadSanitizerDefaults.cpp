// Start-up options of the thread sanitizer. The OpenMP runtime and the OpenCL
// loader and driver are not instrumented; accesses made inside them are not
// checked, as the sanitizer advises for such libraries. The OpenMP runtime's
// own synchronisation reaches the sanitizer through its Archer tool, which
// the runtime loads by itself when it finds the sanitizer.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1:second_deadlock_stack=1"; }
