// The preview renderer on any message bytes: MIME structure, transfer encodings, charsets, the
// message's own HTML. The page must always be valid UTF-8 and every attachment must be served.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "content/message_renderer.h"
#include "content/text_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vireo::content::MessageRenderer renderer;
  const vireo::content::RenderedMessage page =
      renderer.render(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!vireo::isValidUtf8(page.html)) std::abort();
  for (const auto& attachment : page.attachments)
    if (!page.parts.contains(attachment.key)) std::abort();
  return 0;
}
