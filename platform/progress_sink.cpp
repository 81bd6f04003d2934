#include "platform/progress_sink.h"

namespace vireo {

NullProgress& NullProgress::instance() {
  static NullProgress progress;
  return progress;
}

}  // namespace vireo
