#include "platform/iconv_converter.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <string>
#include <vector>

namespace vireo {
namespace {

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

class DescriptorCache {
 public:
  ~DescriptorCache() {
    for (const Entry& entry : entries_)
      if (entry.descriptor != kNoDescriptor) iconv_close(entry.descriptor);
  }

  // Failed opens are remembered too, so an unknown name costs one iconv_open per thread. A
  // thread holds a handful of pairs, asked for by every converted header value: a short list
  // whose names are compared in place, with no key built (and no allocation) per look-up.
  iconv_t get(const char* fromName, const char* toName) {
    for (const Entry& entry : entries_)
      if (entry.from == fromName && entry.to == toName) return entry.descriptor;
    const iconv_t descriptor = iconv_open(toName, fromName);
    entries_.push_back({fromName, toName, descriptor});
    return descriptor;
  }

 private:
  struct Entry {
    std::string from;
    std::string to;
    iconv_t descriptor;
  };
  std::vector<Entry> entries_;
};

DescriptorCache& threadCache() {
  thread_local DescriptorCache cache;
  return cache;
}

size_t utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// On a byte that cannot be converted, skip is how many input bytes to drop in its place.
enum class SkipUnit { Byte, Utf8Character };

std::string convertStep(iconv_t descriptor, std::string_view input, std::string_view replacement,
                        SkipUnit skipUnit) {
  iconv(descriptor, nullptr, nullptr, nullptr, nullptr);  // reset shift state
  std::string output;
  output.resize(input.size() * 2 + 16);
  size_t written = 0;
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();

  auto ensureRoom = [&](size_t room) {
    if (output.size() - written < room) output.resize(output.size() * 2 + room);
  };
  bool flushing = false;
  for (;;) {
    char* out = output.data() + written;
    size_t outLeft = output.size() - written;
    size_t result = flushing ? iconv(descriptor, nullptr, nullptr, &out, &outLeft)
                             : iconv(descriptor, &in, &inLeft, &out, &outLeft);
    written = static_cast<size_t>(out - output.data());
    if (result != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;  // emit the closing shift sequence of stateful encodings
      continue;
    }
    if (errno == E2BIG) {
      ensureRoom(output.size() + 16);
      continue;
    }
    if (flushing) break;
    // EILSEQ, or EINVAL for a sequence cut off by the end of the text.
    if (inLeft == 0) break;
    ensureRoom(replacement.size());
    output.replace(written, replacement.size(), replacement);
    written += replacement.size();
    size_t skip = skipUnit == SkipUnit::Byte
                      ? 1
                      : utf8SequenceLength(static_cast<unsigned char>(*in));
    if (skip > inLeft) skip = inLeft;
    in += skip;
    inLeft -= skip;
  }
  output.resize(written);
  return output;
}

}  // namespace

std::optional<std::string> convertWithIconv(std::string_view input, const char* fromName,
                                            const char* toName) {
  if (fromName == nullptr || toName == nullptr) return std::nullopt;
  DescriptorCache& cache = threadCache();
  iconv_t toUtf8 = cache.get(fromName, "UTF-8");
  if (toUtf8 == kNoDescriptor) return std::nullopt;
  if (strcasecmp(toName, "UTF-8") == 0)
    return convertStep(toUtf8, input, kUtf8Replacement, SkipUnit::Byte);

  // Through UTF-8, so that a character the target lacks is skipped whole, not byte by byte.
  iconv_t fromUtf8 = cache.get("UTF-8", toName);
  if (fromUtf8 == kNoDescriptor) return std::nullopt;
  std::string unicode = convertStep(toUtf8, input, "?", SkipUnit::Byte);
  return convertStep(fromUtf8, unicode, "?", SkipUnit::Utf8Character);
}

}  // namespace vireo
