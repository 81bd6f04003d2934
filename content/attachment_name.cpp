#include "content/attachment_name.h"

#include <array>
#include <utility>

#include "platform/ascii_case.h"

namespace vireo {
namespace {

constexpr size_t kMaxNameBytes = 255;

constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kExtensions = {{
    {"text/plain", ".txt"},
    {"text/html", ".html"},
    {"text/csv", ".csv"},
    {"text/calendar", ".ics"},
    {"text/x-vcard", ".vcf"},
    {"text/vcard", ".vcf"},
    {"message/rfc822", ".eml"},
    {"image/png", ".png"},
    {"image/jpeg", ".jpg"},
    {"image/gif", ".gif"},
    {"image/bmp", ".bmp"},
    {"application/pdf", ".pdf"},
    {"application/zip", ".zip"},
    {"application/msword", ".doc"},
}};

std::string_view extensionFor(std::string_view mimeType) {
  for (const auto& [type, extension] : kExtensions)
    if (equalsIgnoringAsciiCase(type, mimeType)) return extension;
  return ".bin";
}

}  // namespace

std::string attachmentFileName(std::string_view decodedName, std::string_view mimeType, std::string_view key) {
  // A name like "../../.profile" or "C:\evil.exe" must not lead a save anywhere else.
  const size_t separator = decodedName.find_last_of("/\\");
  if (separator != std::string_view::npos) decodedName.remove_prefix(separator + 1);
  std::string name;
  for (char c : decodedName)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) name += c;
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  if (name.size() > kMaxNameBytes) {
    size_t cut = kMaxNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    name.resize(cut);
  }
  if (name.empty() || name == "." || name == "..")
    return "attachment-" + std::string(key) + std::string(extensionFor(mimeType));
  return name;
}

}  // namespace vireo
