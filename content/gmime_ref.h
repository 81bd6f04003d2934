#pragma once
// Ownership of GMime's reference-counted objects, and its one-time set-up. Only the renderer's
// sources include this: glib's types stay out of every header the rest of the program sees.
#include <gmime/gmime.h>

#include <memory>

namespace vireo::gmime {

struct Unref {
  void operator()(gpointer object) const {
    if (object != nullptr) g_object_unref(object);
  }
};

// Holds one reference to a GObject (a stream, a parser, a message) and drops it when destroyed.
template <class T>
using Ref = std::unique_ptr<T, Unref>;

struct FreeString {
  void operator()(char* text) const { g_free(text); }
};

// A string GMime allocated for the caller.
using String = std::unique_ptr<char, FreeString>;

// g_mime_init, once per process, whichever thread comes first.
void initialise();

}  // namespace vireo::gmime
