#include "content/preview_page.h"

#include "content/html_text.h"

namespace vireo {
namespace {

// System fonts only and nothing fetched; the message's own HTML brings its own look.
constexpr std::string_view kStylesheet =
    "body{margin:0;font-family:system-ui,sans-serif;font-size:10pt;color:#000;background:#fff}"
    ".vireo-header{width:100%;border-collapse:collapse;background:#f2f2f2;border-bottom:1px solid #ccc;"
    "font-family:system-ui,sans-serif;font-size:10pt}"
    ".vireo-header th{text-align:right;vertical-align:top;padding:2px 6px 2px 8px;white-space:nowrap;"
    "font-weight:normal;color:#555;width:1%}"
    ".vireo-header td{padding:2px 8px 2px 0;word-break:break-word}"
    ".vireo-header .vireo-subject td{font-weight:bold}"
    ".vireo-body{padding:8px}"
    ".vireo-text,.vireo-raw{white-space:pre-wrap;word-wrap:break-word;font-family:monospace;font-size:10pt;margin:0}"
    ".vireo-message{border:1px solid #ccc;margin:8px 0}"
    ".vireo-inline-image{display:block;max-width:100%;margin:8px 0}"
    ".vireo-note{color:#555;font-style:italic}"
    // The message's own stylesheet comes after this one; a rule of it such as "table{display:
    // none}" must not hide a forwarded message's header block.
    "table.vireo-header{display:table!important;visibility:visible!important}"
    ".vireo-header tr{display:table-row!important}.vireo-header th,.vireo-header td{display:table-cell!important}";

// Behind the view's own refusals: nothing is fetched but the pane's own scheme (the message's
// parts) and pictures carried in data: URLs, no script runs, no form goes anywhere, and no
// <base> moves the parts' relative URLs elsewhere.
constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; img-src vireo-preview: data:; style-src vireo-preview: 'unsafe-inline'; "
    "font-src vireo-preview: data:; media-src vireo-preview:; script-src 'none'; object-src 'none'; "
    "frame-src 'none'; base-uri 'none'; form-action 'none'";

void appendField(std::string& out, std::string_view label, std::string_view value, const char* rowClass = nullptr) {
  if (value.empty()) return;
  out += rowClass != nullptr ? std::string("<tr class=\"") + rowClass + "\">" : std::string("<tr>");
  out += "<th>";
  out += label;
  out += "</th><td>";
  appendEscapedHtml(out, value);
  out += "</td></tr>";
}

}  // namespace

std::string previewPageHtml(std::string_view title, std::string_view bodyHtml) {
  std::string page;
  page.reserve(bodyHtml.size() + kStylesheet.size() + title.size() + 200);
  page += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><meta http-equiv=\"Content-Security-Policy\" content=\"";
  page += kContentSecurityPolicy;
  page += "\">\n<title>";
  appendEscapedHtml(page, title);
  page += "</title>\n<style>";
  page += kStylesheet;
  page += "</style></head>\n<body>";
  page += bodyHtml;
  page += "</body></html>\n";
  return page;
}

void appendHeaderBlock(std::string& out, const DisplayedHeaders& headers) {
  out += "<table class=\"vireo-header\">";
  appendField(out, "From:", headers.from);
  appendField(out, "To:", headers.to);
  appendField(out, "Cc:", headers.cc);
  appendField(out, "Newsgroups:", headers.newsgroups);
  appendField(out, "Followup-To:", headers.followupTo);
  appendField(out, "Subject:", headers.subject, "vireo-subject");
  appendField(out, "Date:", headers.date);
  out += "</table>\n";
}

std::string formatByteSize(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  uint64_t unit = 1024;
  size_t index = 0;
  while (index + 1 < std::size(kUnits) && bytes / unit >= 1024) {
    unit *= 1024;
    ++index;
  }
  // Tenths, rounded; 1023.95 KB rounds up into the next unit's 1.0.
  uint64_t tenths = (bytes * 10 + unit / 2) / unit;
  if (tenths >= 10240 && index + 1 < std::size(kUnits)) {
    ++index;
    tenths = (tenths + 512) / 1024;
  }
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[index];
}

}  // namespace vireo
