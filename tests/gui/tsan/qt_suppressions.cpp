// Linked into the window tests under ThreadSanitizer. Qt itself is not built with it, so the
// memory Qt's own threads (font and image work, the test watchdog) allocate and free is reported
// as racing; those reports are about Qt's code, not ours. The web engine (Chromium's threads) is
// no different, and neither is GLib (GMime's base, and Qt's event dispatcher's): its slice
// allocator hands memory between threads under its own futex locks. Races in our code stay
// reported.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libQt6Test.so.6\n"
         "called_from_lib:libQt6WebEngineCore.so.6\n"
         "called_from_lib:libQt6WebEngineWidgets.so.6\n"
         "called_from_lib:libevent-2.1.so.7\n"
         "race:libglib-2.0.so.0\n"
         "race:libgmime-3.0.so.0\n"
         "race:libQt6WebEngineCore.so.6\n"
         "mutex:libQt6WebEngineCore.so.6\n"
         "deadlock:libQt6WebEngineCore.so.6\n"
         "thread:libQt6WebEngineCore.so.6\n";
}
