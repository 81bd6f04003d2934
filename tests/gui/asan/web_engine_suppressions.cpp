// Linked into the window tests under AddressSanitizer only. The web engine (Chromium, inside
// libQt6WebEngineCore) is not built for the sanitizer: it frees some objects with a sized delete
// of another size than they were made with, and keeps allocations for the life of the process,
// which LeakSanitizer reports at exit. Both are its own; the sized-delete check is off for these
// tests, and leaks are suppressed only when allocated from the engine's and fontconfig's
// libraries, so leaks in Vireo's code stay reported.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt6WebEngineCore.so\n"
         "leak:libfontconfig.so\n";
}
