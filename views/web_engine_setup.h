#pragma once
// What the web engine needs settled before it first starts: the preview's URL scheme, and the
// Chromium switches this machine needs. Called by the program's main before the QApplication is
// made; the preview calls it too (it does nothing the second time), which is still in time for
// the tests, because the engine starts only with the first page.
#include <QByteArray>

namespace vireo::views {

// The scheme the preview serves its pages and their parts from.
inline constexpr char kPreviewScheme[] = "vireo-preview";

void prepareWebEngine();

}  // namespace vireo::views
