#include "platform/charset_detector.h"

#include <uchardet/uchardet.h>

#include <memory>

namespace vireo {
namespace {

struct DetectorDeleter {
  void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

uchardet_t threadDetector() {
  thread_local std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
  return detector.get();
}

}  // namespace

std::string detectCharsetName(std::string_view text) {
  uchardet_t detector = threadDetector();
  if (detector == nullptr || text.empty()) return {};
  uchardet_reset(detector);
  if (uchardet_handle_data(detector, text.data(), text.size()) != 0) return {};
  uchardet_data_end(detector);
  const char* name = uchardet_get_charset(detector);
  return name != nullptr ? std::string(name) : std::string();
}

}  // namespace vireo
