#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "content/attachment_name.h"
#include "content/message_renderer.h"
#include "content/preview_page.h"
#include "content/text_decoding.h"
#include "platform/iconv_converter.h"
#include "tools/dbx_writer/message_text.h"

namespace vireo::content {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using vireo::testing::base64Encode;

std::string in(const char* charset, std::string_view utf8) { return *convertWithIconv(utf8, "UTF-8", charset); }

std::string message(std::string_view contentType, std::string_view body, std::string_view extraHeaders = "") {
  return "From: Ann <ann@example.org>\r\nTo: Bob <bob@example.org>\r\nSubject: Test\r\n"
         "Date: Tue, 05 Dec 2006 10:00:00 +0000\r\nMIME-Version: 1.0\r\nContent-Type: " +
         std::string(contentType) + "\r\n" + std::string(extraHeaders) + "\r\n" + std::string(body);
}

std::string part(std::string_view headers, std::string_view body) {
  return std::string(headers) + "\r\n\r\n" + std::string(body) + "\r\n";
}

std::string multipart(std::string_view boundary, std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) out += "--" + std::string(boundary) + "\r\n" + p;
  return out + "--" + std::string(boundary) + "--\r\n";
}

RenderedMessage render(const std::string& bytes) {
  MessageRenderer renderer;
  return renderer.render(bytes);
}

TEST(MessageRenderer, ChoosesHtmlOverPlainTextInAlternative) {
  const RenderedMessage r = render(message(
      "multipart/alternative; boundary=\"alt\"",
      multipart("alt", {part("Content-Type: text/plain; charset=us-ascii", "plain only words"),
                        part("Content-Type: text/html; charset=us-ascii", "<html><body><p>rich <b>words</b></p></body></html>")})));
  EXPECT_FALSE(r.shownRaw);
  EXPECT_THAT(r.html, HasSubstr("<p>rich <b>words</b></p>"));
  EXPECT_THAT(r.html, Not(HasSubstr("plain only words")));
  EXPECT_TRUE(r.attachments.empty());
  EXPECT_TRUE(r.parts.empty());
}

TEST(MessageRenderer, DecodesTheHeadersForTheWindow) {
  const std::string koi8Subject = "=?koi8-r?B?" + base64Encode(in("KOI8-R", "Отчёт")).substr(0, 8) + "?=";
  const RenderedMessage r = render(
      "From: =?utf-8?Q?Ren=C3=A9e?= <renee@example.fr>\r\n"
      "To: =?utf-8?B?TmV3c2xldHRlciDigJQ=?=\r\n =?utf-8?B?IERlY2VtYmVy?= <news@example.org>\r\n"
      "Cc: =?iso-8859-15?Q?=A4uro?= <carl@example.org>\r\n"
      "Subject: " + koi8Subject + " <b>now</b>\r\nDate: Tue, 05 Dec 2006 10:00:00 +0000\r\n\r\nHello.\r\n");
  EXPECT_EQ(r.headers.from, "Renée <renee@example.fr>");
  EXPECT_EQ(r.headers.to, "Newsletter — December <news@example.org>");  // one word, folded
  EXPECT_EQ(r.headers.cc, "€uro <carl@example.org>");  // a charset outside the table
  EXPECT_EQ(r.headers.subject, "Отчёт <b>now</b>");
  EXPECT_EQ(r.headers.date, "Tue, 05 Dec 2006 10:00:00 +0000");
  EXPECT_THAT(r.html, HasSubstr("<title>Отчёт &lt;b&gt;now&lt;/b&gt;</title>"));
  EXPECT_THAT(r.html, HasSubstr("Hello."));
  // The window draws them; the page holds the body alone.
  EXPECT_THAT(r.html, Not(HasSubstr("renee@example.fr")));
  EXPECT_THAT(r.html, Not(HasSubstr("<table")));
}

// A forwarded message's folded header: only the line break goes, the space after it stays.
// Between two encoded words the fold's space is not text (RFC 2047), however the line is split.
TEST(MessageRenderer, UnfoldingKeepsTheSpaceAfterTheFoldAndShowsNewsHeaders) {
  const RenderedMessage r = render(
      "From: Ann <ann@example.org>\r\nNewsgroups: comp.lang.c++,\r\n\tcomp.std.c++\r\n"
      "Followup-To: comp.lang.c++\r\n"
      "Subject: Fw: visit github.com\r\n and win $100!\r\n"
      "Cc: =?utf-8?Q?Ren=C3=A9e?=\r\n\t =?utf-8?Q?_Dupont?= <r@x>\n and Bob\r\n\r\nBody.\r\n");
  EXPECT_EQ(r.headers.subject, "Fw: visit github.com and win $100!");
  EXPECT_EQ(r.headers.newsgroups, "comp.lang.c++,\tcomp.std.c++");
  EXPECT_EQ(r.headers.followupTo, "comp.lang.c++");
  EXPECT_EQ(r.headers.cc, "Renée Dupont <r@x> and Bob");
  EXPECT_TRUE(r.headers.to.empty());

  // A news post attached to a message shows them in its own header block.
  const RenderedMessage nested = render(message(
      "multipart/mixed; boundary=\"m\"",
      multipart("m", {part("Content-Type: text/plain; charset=us-ascii", "see below"),
                      part("Content-Type: message/rfc822",
                           "From: Carl <c@x>\r\nNewsgroups: alt.test\r\nSubject: posted\r\n\r\nhello")})));
  EXPECT_THAT(nested.html, HasSubstr("Newsgroups:"));
  EXPECT_THAT(nested.html, HasSubstr("alt.test"));
}

TEST(MessageRenderer, InlinesCidPicturesUnderTheirPartKeys) {
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR fake picture bytes", 32);
  const RenderedMessage r = render(message(
      "multipart/related; boundary=\"rel\"; type=\"text/html\"",
      multipart("rel", {part("Content-Type: text/html; charset=utf-8",
                             "<p><img src=\"cid:pic%40local\"><span style=\"background:url('cid:pic@local')\">x</span>"
                             "<img src=\"cid:missing@local\"></p>"),
                        part("Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <pic@local>",
                             base64Encode(png))})));
  ASSERT_EQ(r.parts.size(), 1u);
  const auto& [key, stored] = *r.parts.begin();
  EXPECT_EQ(stored.bytes, png);
  EXPECT_EQ(stored.mimeType, "image/png");
  EXPECT_THAT(r.html, HasSubstr("<img src=\"part/" + key + "\">"));
  EXPECT_THAT(r.html, HasSubstr("background:url(&#39;part/" + key + "&#39;)"));
  EXPECT_THAT(r.html, Not(HasSubstr("cid:missing@local")));  // names no part: nothing to load
  EXPECT_TRUE(r.attachments.empty());
}

TEST(MessageRenderer, FindsTheRelatedRootAndContentLocations) {
  // The root is named by "start", not first; its picture is referred to by Content-Location.
  const RenderedMessage r = render(message(
      "multipart/related; boundary=\"rel\"; start=\"<root@local>\"",
      multipart("rel", {part("Content-Type: image/gif\r\nContent-Location: images/dot.gif", "GIF89a"),
                        part("Content-Type: text/html\r\nContent-ID: <root@local>",
                             "<table background=\"images/dot.gif\"><tr><td>root</td></tr></table>")})));
  ASSERT_EQ(r.parts.size(), 1u);
  EXPECT_THAT(r.html, HasSubstr("<table background=\"part/" + r.parts.begin()->first + "\">"));
  EXPECT_THAT(r.html, Not(HasSubstr("GIF89a")));
  EXPECT_TRUE(r.attachments.empty());
}

TEST(MessageRenderer, KeepsTheMessagesHtmlInsideItsPlace) {
  const RenderedMessage r = render(message(
      "multipart/mixed; boundary=\"mix\"",
      multipart("mix", {part("Content-Type: text/html",
                             "<html><head><title>fake</title></head><body><div style=\"display:none\"><div>"
                             "<textarea>unclosed"),
                        part("Content-Type: text/plain\r\nContent-Disposition: attachment; filename=a.txt", "a")})));
  EXPECT_THAT(r.html, HasSubstr("<div class=\"vireo-html\"><div style=\"display:none\"><div>unclosed</div></div></div>"));
  EXPECT_THAT(r.html, Not(HasSubstr("fake")));
  EXPECT_EQ(r.html.find("<body>"), r.html.rfind("<body>"));  // the page's own only
  ASSERT_EQ(r.attachments.size(), 1u);  // listed for the window, not in the page
  EXPECT_EQ(r.attachments[0].name, "a.txt");
  EXPECT_THAT(r.html, Not(HasSubstr("a.txt")));
}

TEST(MessageRenderer, ListsUnreferencedRelatedPartsAsAttachments) {
  const RenderedMessage r = render(message(
      "multipart/related; boundary=\"rel\"",
      multipart("rel", {part("Content-Type: text/html", "<p>no pictures</p>"),
                        part("Content-Type: image/gif\r\nContent-ID: <unused@local>\r\nContent-Transfer-Encoding: base64",
                             base64Encode("GIF89a"))})));
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.parts.at(r.attachments[0].key).bytes, "GIF89a");
}

TEST(MessageRenderer, DecodesBodiesFromTheirCharsets) {
  const std::string russian = "Добрый день! Высылаю отчёт за ноябрь, продажи выросли, расходы остались прежними.";
  const RenderedMessage koi8 = render(message("text/plain; charset=koi8-r", in("KOI8-R", russian)));
  EXPECT_THAT(koi8.html, HasSubstr(russian));

  std::string quoted;
  for (unsigned char c : in("CP1251", russian)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    quoted += c < 0x80 && c != '=' ? std::string(1, static_cast<char>(c)) : std::string{'=', kHex[c >> 4], kHex[c & 15]};
  }
  const RenderedMessage cp1251 = render(message("text/plain; charset=\"windows-1251\"", quoted,
                                                "Content-Transfer-Encoding: quoted-printable\r\n"));
  EXPECT_THAT(cp1251.html, HasSubstr(russian));

  const RenderedMessage undeclared = render(message("text/plain", in("CP1251", russian + " " + russian)));
  EXPECT_THAT(undeclared.html, HasSubstr(russian));

  // The declared charset wins over the HTML's own, and the page stays UTF-8.
  const RenderedMessage html = render(message(
      "text/html; charset=koi8-r", "<html><head><meta charset=\"windows-1251\"></head><body>" + in("KOI8-R", russian) + "</body></html>"));
  EXPECT_THAT(html.html, HasSubstr(russian));
  EXPECT_THAT(html.html, Not(HasSubstr("windows-1251")));
  EXPECT_THAT(html.html, HasSubstr("<meta charset=\"utf-8\">"));

  // With no declared charset the HTML's meta tag is believed.
  const RenderedMessage meta = render(message(
      "text/html", "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"></head><body>" +
                       in("KOI8-R", russian) + "</body></html>"));
  EXPECT_THAT(meta.html, HasSubstr(russian));
}

TEST(MessageRenderer, ListsAttachmentsWithNameAndSize) {
  const std::string data(12595, 'x');
  const RenderedMessage r = render(message(
      "multipart/mixed; boundary=\"mix\"",
      multipart("mix", {part("Content-Type: text/plain", "See the report."),
                        part("Content-Type: application/pdf; name=\"r.pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
                             "Content-Disposition: attachment; filename=\"=?utf-8?B?0L7RgtGH0ZHRgi5wZGY=?=\"",
                             base64Encode(data))})));
  ASSERT_EQ(r.attachments.size(), 1u);
  const RenderedAttachment& a = r.attachments[0];
  EXPECT_EQ(a.name, "отчёт.pdf");
  EXPECT_EQ(a.size, data.size());
  EXPECT_EQ(a.mimeType, "application/pdf");
  EXPECT_EQ(r.parts.at(a.key).bytes, data);
  EXPECT_THAT(r.html, HasSubstr("See the report."));
  EXPECT_THAT(r.html, Not(HasSubstr("отчёт.pdf")));
}

TEST(MessageRenderer, UndoesUuencodedTransferEncoding) {
  const RenderedMessage r = render(message(
      "multipart/mixed; boundary=\"mix\"",
      multipart("mix", {part("Content-Type: text/plain", "Old style."),
                        part("Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: x-uuencode\r\n"
                             "Content-Disposition: attachment; filename=cat.txt",
                             "begin 644 cat.txt\r\n#0V%T\r\n`\r\nend")})));
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.parts.at(r.attachments[0].key).bytes, "Cat");
}

TEST(MessageRenderer, ShowsInlinePicturesInPlaceAndOffersThem) {
  const RenderedMessage r = render(message(
      "multipart/mixed; boundary=\"mix\"",
      multipart("mix", {part("Content-Type: text/plain", "Look:"),
                        part("Content-Type: image/jpeg\r\nContent-Disposition: inline\r\nContent-Transfer-Encoding: base64",
                             base64Encode("jpeg bytes"))})));
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].name, "attachment-" + r.attachments[0].key + ".jpg");
  EXPECT_THAT(r.html, HasSubstr("src=\"part/" + r.attachments[0].key + "\""));
}

TEST(MessageRenderer, LeavesRemoteReferencesButNoScript) {
  const RenderedMessage r = render(message(
      "text/html",
      "<html><head><script>alert(1)</script><base href=\"http://evil.example/\"></head>"
      "<body onload=\"alert(2)\"><img src=\"http://example.com/track.png\" onerror=alert(3)>"
      "<a href=\" JaVaScRiPt:alert(4)\" title=\"t\">link</a><SCRIPT src=x></SCRIPT><svg><script>alert(5)</script></svg>"
      "<p ONCLICK='alert(6)'>text</p></body></html>"));
  EXPECT_THAT(r.html, HasSubstr("<img src=\"http://example.com/track.png\">"));
  EXPECT_THAT(r.html, HasSubstr("<a title=\"t\">link</a>"));
  EXPECT_THAT(r.html, HasSubstr("<p>text</p>"));
  for (const char* banned : {"<script", "<SCRIPT", "alert", "<base", "onload", "evil.example"})
    EXPECT_THAT(r.html, Not(HasSubstr(banned))) << banned;
}

TEST(MessageRenderer, ShowsNestedMessagesWithTheirHeaders) {
  const std::string inner = "From: Inner <inner@example.org>\r\nSubject: Inner subject\r\n"
                            "Content-Type: text/plain\r\n\r\nInner body.\r\n";
  const RenderedMessage r = render(message(
      "multipart/mixed; boundary=\"mix\"",
      multipart("mix", {part("Content-Type: text/plain", "Forwarding this."),
                        part("Content-Type: message/rfc822\r\nContent-Disposition: attachment", inner)})));
  EXPECT_THAT(r.html, HasSubstr("Forwarding this."));
  EXPECT_THAT(r.html, HasSubstr("Inner &lt;inner@example.org&gt;"));
  EXPECT_THAT(r.html, HasSubstr("Inner subject"));
  EXPECT_THAT(r.html, HasSubstr("Inner body."));
  ASSERT_EQ(r.attachments.size(), 1u);  // and it can be saved as a message of its own
  EXPECT_EQ(r.attachments[0].name, "Inner subject.eml");
  EXPECT_THAT(r.parts.at(r.attachments[0].key).bytes, HasSubstr("Inner body."));
}

TEST(MessageRenderer, BoundsNestingOfHostileMessages) {
  std::string nested = "Content-Type: text/plain\r\n\r\ninnermost\r\n";
  for (int level = 0; level < 2000; ++level) nested = "Subject: level\r\nContent-Type: message/rfc822\r\n\r\n" + nested;
  const RenderedMessage deep = render("From: a@b\r\n" + nested);
  EXPECT_THAT(deep.html, HasSubstr("Some parts of this message are not shown."));
  EXPECT_THAT(deep.html, Not(HasSubstr("innermost")));

  std::string multiparts = "Content-Type: text/plain\r\n\r\ninnermost\r\n";
  for (int level = 0; level < 3000; ++level) {
    const std::string b = "b" + std::to_string(level);
    multiparts = "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n" + multiparts + "--" + b + "--\r\n";
  }
  EXPECT_THAT(render("From: a@b\r\n" + multiparts).html, Not(HasSubstr("innermost")));

  std::string many;
  for (int i = 0; i < 3000; ++i) many += "--b\r\nContent-Type: text/plain\r\n\r\npart" + std::to_string(i) + "\r\n";
  const RenderedMessage wide = render(message("multipart/mixed; boundary=b", many + "--b--\r\n"));
  EXPECT_THAT(wide.html, HasSubstr("part10"));
  EXPECT_THAT(wide.html, Not(HasSubstr("part2999")));
}

TEST(MessageRenderer, ShowsUnparsableBytesAsEscapedText) {
  for (const std::string& bytes : {std::string(), std::string("<b>not bold</b> and no headers at all\r\n")}) {
    const RenderedMessage r = render(bytes);
    EXPECT_TRUE(r.shownRaw);
    EXPECT_THAT(r.html, HasSubstr("<!DOCTYPE html>"));
    EXPECT_THAT(r.html, Not(HasSubstr("<b>not")));
    if (!bytes.empty()) {
      EXPECT_THAT(r.html, HasSubstr("&lt;b&gt;not bold&lt;/b&gt;"));
    }
  }
}

// Any bytes at all give a page of valid UTF-8: the preview will be fed damaged messages.
TEST(MessageRenderer, SurvivesMangledMessages) {
  const std::string sample = message(
      "multipart/mixed; boundary=\"mix\"",
      multipart("mix", {part("Content-Type: multipart/alternative; boundary=alt",
                             multipart("alt", {part("Content-Type: text/plain; charset=koi8-r", in("KOI8-R", "Привет")),
                                               part("Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable",
                                                    "<p style=3D\"x\">=D0=9F<img src=3D\"cid:a@b\"></p>")})),
                        part("Content-Type: image/png\r\nContent-ID: <a@b>\r\nContent-Transfer-Encoding: base64", base64Encode("png")),
                        part("Content-Type: message/rfc822", "Subject: =?utf-8?B?w?=\r\n\r\n<b")}));
  std::mt19937 random(7);
  MessageRenderer renderer;
  for (int round = 0; round < 300; ++round) {
    std::string bytes = sample;
    const int edits = 1 + static_cast<int>(random() % 20);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0: bytes[at] = static_cast<char>(random()); break;
        case 1: bytes.erase(at, random() % 40); break;
        default: bytes.insert(at, std::string(1 + random() % 4, "<>\"=\r\n-\x80\xff"[random() % 9])); break;
      }
      if (bytes.empty()) bytes = "x";
    }
    const RenderedMessage r = renderer.render(bytes);
    ASSERT_TRUE(isValidUtf8(r.html)) << bytes;
    ASSERT_THAT(r.html, HasSubstr("</body></html>"));
  }
}

TEST(PreviewPage, FormatsSizesReadably) {
  EXPECT_EQ(formatByteSize(0), "0 bytes");
  EXPECT_EQ(formatByteSize(1), "1 byte");
  EXPECT_EQ(formatByteSize(1023), "1023 bytes");
  EXPECT_EQ(formatByteSize(1024), "1.0 KB");
  EXPECT_EQ(formatByteSize(12595), "12.3 KB");
  EXPECT_EQ(formatByteSize(1048575), "1.0 MB");
  EXPECT_EQ(formatByteSize(10 * 1048576 + 104858), "10.1 MB");
}

TEST(AttachmentName, KeepsOnlyASafeLastComponent) {
  EXPECT_EQ(attachmentFileName("../../.profile", "text/plain", "1"), ".profile");
  EXPECT_EQ(attachmentFileName("C:\\Windows\\evil.exe", "", "1"), "evil.exe");
  EXPECT_EQ(attachmentFileName("a\x01\nb.txt", "", "1"), "ab.txt");
  EXPECT_EQ(attachmentFileName("..", "image/png", "3"), "attachment-3.png");
  EXPECT_EQ(attachmentFileName("", "application/x-unknown", "4"), "attachment-4.bin");
}

TEST(TextDecoding, MakesAnyBytesValidUtf8) {
  EXPECT_EQ(decodeTextToUtf8("caf\xe9 \x93quoted\x94", "iso-8859-1"), "café “quoted”");
  EXPECT_EQ(decodeTextToUtf8("+BB8EQAQ4BDIENQRC-", "utf-7"), "Привет");
  EXPECT_EQ(decodeTextToUtf8("ok \xff\xfe", "utf-8"), "ok \xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_TRUE(isValidUtf8(decodeTextToUtf8("\xc0\x80\xed\xa0\x80\xf8", "no-such-charset//TRANSLIT")));
  EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));  // a surrogate
  EXPECT_TRUE(isValidUtf8("\xf4\x8f\xbf\xbf"));
  // Lead bytes past U+10FFFF, which glibc's own UTF-8 decoder lets through.
  EXPECT_EQ(validUtf8("a\xf5\xbd\x90\x99" "b"), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b");
  EXPECT_TRUE(isValidUtf8(decodeTextToUtf8("x \xf7\xbf\xbf\xbf", "utf-8")));
}

}  // namespace
}  // namespace vireo::content
