// The preview renderer on any message bytes: MIME structure, transfer encodings, charsets, the
// message's own HTML. The page must always be valid UTF-8, every attachment must be served, and
// the tree a browser builds from the page must hold nothing that runs, loads or redirects: no
// script, base or meta element but the page's own two metas, no on... attribute, no script URL.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "content/message_renderer.h"
#include "content/text_decoding.h"
#include "tools/html_hazards/html_hazards.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vireo::content::MessageRenderer renderer;
  const vireo::content::RenderedMessage page =
      renderer.render(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!vireo::isValidUtf8(page.html)) std::abort();
  for (const auto& attachment : page.attachments)
    if (!page.parts.contains(attachment.key)) std::abort();
  const auto hazards = vireo::testing::htmlHazards(page.html, true);
  if (!hazards.empty()) {
    for (const auto& hazard : hazards) std::fprintf(stderr, "hazard in the page: %s\n", hazard.c_str());
    std::abort();
  }
  return 0;
}
