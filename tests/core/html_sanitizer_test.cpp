// The message's HTML against what old inboxes hold: every case is judged on the tree a browser's
// parser builds from the sanitized output, never on its text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/html_sanitizer.h"
#include "content/html_tree.h"
#include "content/message_renderer.h"
#include "tools/html_hazards/html_hazards.h"

namespace vireo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using vireo::testing::htmlHazards;

const ReferenceResolver kParts = [](std::string_view reference) -> std::string {
  if (reference == "cid:logo@example") return "part/1";
  if (reference == "styles/mail.css") return "part/2";
  return {};
};

std::string sanitized(std::string_view html) { return embedMessageHtml(html, kParts); }

// Each value of an attribute on elements of a name, in document order, as a browser reads them.
std::vector<std::string> valuesOf(std::string_view html, std::string_view element, const char* attribute) {
  std::vector<std::string> values;
  const HtmlTree tree(html);
  forEachNode(tree.document(), [&](const GumboNode& node) {
    if (node.type != GUMBO_NODE_ELEMENT || elementName(node.v.element) != element) return;
    if (const GumboAttribute* found = gumbo_get_attribute(&node.v.element.attributes, attribute))
      values.emplace_back(found->value);
  });
  return values;
}

size_t countOf(std::string_view html, std::string_view element) {
  size_t count = 0;
  const HtmlTree tree(html);
  forEachNode(tree.document(), [&](const GumboNode& node) {
    count += node.type == GUMBO_NODE_ELEMENT && elementName(node.v.element) == element;
  });
  return count;
}

std::string message(std::string_view html, std::string_view from = "Ann <ann@example.org>") {
  return "From: " + std::string(from) + "\r\nTo: bob@example.org\r\nSubject: Offer\r\nMIME-Version: 1.0\r\n"
         "Content-Type: text/html; charset=utf-8\r\n\r\n" + std::string(html);
}

// What was found in mail and in the write-ups of sanitizer bypasses.
const char* const kHostileCorpus[] = {
    // SVG and MathML parse their <style> as markup, and fostering moves elements between namespaces.
    "<svg><style><p></p><base href=\"https://evil.example/\"><textarea></style></svg>",
    "<math><mtext><table><mglyph><style><img src=x onerror=alert(1)>",
    "<form><math><mtext></form><form><mglyph><style></math><img src onerror=alert(1)>",
    "<math><mtext><table><mglyph><style><!--</style><img title=\"--&gt;&lt;img src=1 onerror=alert(1)&gt;\">",
    "<svg></p><style><a id=\"</style><img src=1 onerror=alert(1)>\">",
    "<svg><foreignObject><iframe src=\"javascript:alert(1)\"></iframe><textarea>x</textarea></foreignObject>"
    "<animate attributeName=\"href\" to=\"javascript:alert(1)\"/><set attributeName=\"onmouseover\" to=\"alert(1)\"/>"
    "<a xlink:href=\"javascript:alert(1)\"><text>x</text></a><script>alert(1)</script></svg>",
    "<svg><desc><meta http-equiv=refresh content=\"0;url=https://evil.example/\"><img src=x onerror=alert(1)></desc>"
    "<title><base href=\"https://evil.example/\"></title></svg>",
    "<math><annotation-xml encoding=\"text/html\"><textarea>swallowed</textarea><base href=//evil.example></annotation-xml>"
    "<maction actiontype=statusline xlink:href=\"javascript:alert(1)\">x</maction></math>",
    "<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\"></noscript>",
    "<select><style></select><img src=x onerror=alert(1)></style><template><script>alert(1)</script></template>",
    "<xmp><img src=x onerror=alert(1)></xmp><plaintext><script>alert(1)</script>",
    "<style>a{background:url(\"</style><img src=x onerror=alert(1)>\")}</style>",
    // Script URLs hidden by character references, spaces and control characters.
    "<a href=\"&#106;avascript&colon;alert(1)\">a</a><a href=\"java&#x09;script:alert(1)\">b</a>"
    "<a href=\"  \x01javascript:alert(1)\">c</a><a href=\"JaVa&#10;ScRiPt&#58;alert(1)\">d</a>"
    "<img src=\"vbscript:msgbox(1)\"><a href=\"data:text/html;base64,PHNjcmlwdD4=\">e</a>"
    "<img srcset=\"x.png 1x, javascript:alert(1) 2x\"><svg><a href=\"&#x6A;avascript:alert(1)\"><circle r=1/></a></svg>",
    "<form action=\"javascript:alert(1)\"><button formaction=\"https://evil.example/\">go</button><input type=image "
    "src=\"javascript:alert(1)\"></form><iframe srcdoc=\"<script>alert(1)</script>\"></iframe><object data=x.swf></object>"
    "<embed src=x.swf><applet code=x></applet><frameset><frame src=x></frameset>",
    // What moves the page elsewhere or fetches before it shows.
    "<html><head><meta http-equiv=\"refresh\" content=\"0;url=https://evil.example/\"><meta charset=koi8-r>"
    "<base href=\"https://evil.example/\" target=\"_blank\"><link rel=preconnect href=\"https://evil.example/\">"
    "<link rel=prefetch href=\"https://evil.example/a\"><link rel=dns-prefetch href=\"//evil.example\">"
    "<link rel=\"stylesheet preload\" href=\"https://evil.example/s.css\"><link rel=icon href=x.ico></head>"
    "<body onload=\"alert(1)\"><a href=\"https://example.org/\" target=\"_blank\" ping=\"https://evil.example/\">x</a>"
    "<div onclick=alert(1) ONMOUSEOVER=alert(2) style=\"color:red\">y</div></body></html>",
};

TEST(HostileHtml, NothingThatRunsOrLeavesSurvivesTheParse) {
  for (const char* html : kHostileCorpus) {
    const std::string out = sanitized(html);
    EXPECT_THAT(htmlHazards(out), IsEmpty()) << html << "\n-> " << out;
    // And as a message's body, on the whole page, where only the page's own metas stand.
    const std::string page = content::MessageRenderer().render(message(html)).html;
    EXPECT_THAT(htmlHazards(page, true), IsEmpty()) << html << "\n-> " << page;
  }
  // What harmless content those carried stays.
  EXPECT_EQ(countOf(sanitized(kHostileCorpus[0]), "p"), 1u);
  EXPECT_THAT(valuesOf(sanitized(kHostileCorpus[14]), "a", "href"), ElementsAre("https://example.org/"));
  EXPECT_THAT(valuesOf(sanitized(kHostileCorpus[14]), "div", "style"), ElementsAre("color:red"));
}

// The judge itself finds what the corpus carries when nothing removes it.
TEST(HostileHtml, TheUnsanitizedCorpusIsCaught) {
  EXPECT_THAT(htmlHazards(kHostileCorpus[0]), ElementsAre("element base", "element textarea"));
  EXPECT_THAT(htmlHazards(kHostileCorpus[12]), ::testing::Contains("a href=javascript:alert(1)"));
  EXPECT_THAT(htmlHazards(kHostileCorpus[12]), ::testing::Contains("img src=vbscript:msgbox(1)"));
  EXPECT_THAT(htmlHazards(kHostileCorpus[14]), ::testing::Contains("element meta"));
  EXPECT_THAT(htmlHazards(kHostileCorpus[14]), ::testing::Contains("a target"));
  EXPECT_THAT(htmlHazards(kHostileCorpus[14]), ::testing::Contains("body onload"));
  EXPECT_THAT(htmlHazards(kHostileCorpus[14]), ::testing::Contains("link that is not a stylesheet"));
}

TEST(HostileHtml, OnlyAStylesheetLinkWithAnAllowedUrlStays) {
  const std::string out = sanitized(
      "<link rel=preconnect href=https://a.example/><link rel=stylesheet href=\"styles/mail.css\">"
      "<link rel=stylesheet href=\"javascript:alert(1)\"><link rel=\" StyleSheet \" href=\"https://b.example/s.css\">");
  EXPECT_THAT(valuesOf(out, "link", "href"), ElementsAre("part/2", "https://b.example/s.css"));
  EXPECT_THAT(valuesOf(out, "link", "rel"), ElementsAre("stylesheet", " StyleSheet "));
}

TEST(HostileHtml, PicturesAndLinksKeepTheirAllowedUrls) {
  const std::string out = sanitized(
      "<img src=\"cid:logo@example\"><img src=\" data:image/png;base64,iVBORw0KGgo= \"><img src=\"data:text/html,x\">"
      "<img src=\"file:///etc/passwd\"><img src=\"cid:unknown@example\"><img srcset=\"cid:logo@example 1x, x.png 2x\">"
      "<a href=\"mailto:ann@example.org\">m</a><a href=\"#top\">t</a><a href=\"HTTPS://example.org/a b\">h</a>"
      "<table background=\"cid:logo@example\"><tr><td style=\"background:url('cid:logo@example')\">c</td></tr></table>");
  EXPECT_THAT(valuesOf(out, "img", "src"), ElementsAre("part/1", "data:image/png;base64,iVBORw0KGgo="));
  EXPECT_THAT(valuesOf(out, "img", "srcset"), ElementsAre("part/1 1x"));
  EXPECT_THAT(valuesOf(out, "a", "href"), ElementsAre("mailto:ann@example.org", "#top", "HTTPS://example.org/a b"));
  EXPECT_THAT(valuesOf(out, "table", "background"), ElementsAre("part/1"));
  EXPECT_THAT(valuesOf(out, "td", "style"), ElementsAre("background:url('part/1')"));
  EXPECT_EQ(countOf(out, "img"), 6u);  // the pictures stay, without what they may not load
}

TEST(HostileHtml, TenThousandLevelsEndInAValidBoundedTree) {
  for (const char* open : {"<div>", "<span><b>", "<table><tr><td>", "<svg><g>", "<math><mrow>", "<i><b>x"}) {
    std::string html;
    for (int i = 0; i < 10000; ++i) html += open;
    html += "<p onclick=alert(1)>bottom</p>";
    const std::string out = sanitized(html);
    EXPECT_THAT(htmlHazards(out), IsEmpty()) << open;
    size_t deepest = 0;
    const HtmlTree tree(out);
    forEachNode(tree.document(), [&](const GumboNode& node) {
      size_t depth = 0;
      for (const GumboNode* up = node.parent; up != nullptr; up = up->parent) ++depth;
      deepest = std::max(deepest, depth);
    });
    EXPECT_LT(deepest, 512u) << open;  // where browsers stop nesting
  }
}

TEST(HtmlSanitizer, WritesTheTreeBackSoItParsesTheSame) {
  EXPECT_EQ(sanitized("<div style=\"display:none\"><table><tr><td>x"),
            "<div style=\"display:none\"><table><tbody><tr><td>x</td></tr></tbody></table></div>");
  EXPECT_EQ(sanitized("a<textarea>b<div>"), "ab&lt;div&gt;");
  EXPECT_EQ(sanitized("a<!-- hidden <b>"), "a");
  EXPECT_EQ(sanitized("<!--[if !mso]><!-->shown<!--<![endif]--><!-->too"), "showntoo");
  EXPECT_EQ(sanitized("<style><!-- p{} a<b{} </STYLE >after"), "<style> p{} a\\3c b{} </style>after");
  EXPECT_EQ(sanitized("<b>1 < 2</b></i><plaintext>x"), "<b>1 &lt; 2</b>x");
  EXPECT_EQ(sanitized("<p title='say \"hi\"'>x"), "<p title=\"say &quot;hi&quot;\">x</p>");
  EXPECT_EQ(sanitized("<pre>\n\nkept</pre>"), "<pre>\n\nkept</pre>");
  EXPECT_EQ(sanitized("<svg viewbox=\"0 0 2 2\"><lineargradient id=g></lineargradient><use xlink:href=\"#g\"/></svg>"),
            "<svg viewBox=\"0 0 2 2\"><linearGradient id=\"g\"></linearGradient><use xlink:href=\"#g\"></use></svg>");
  EXPECT_EQ(sanitized("<math><mi>x</mi><mtext><b>t</b></mtext></math>"),
            "<math><mi>x</mi><mtext><b>t</b></mtext></math>");
}

TEST(HtmlSanitizer, AParseGivenUpShowsTheSourceAsText) {
  const std::string out = embedMessageHtml("<b onclick=x>bold</b>", kParts, std::chrono::seconds(0));
  EXPECT_THAT(htmlHazards(out), IsEmpty());
  EXPECT_EQ(countOf(out, "b"), 0u);
  EXPECT_THAT(out, ::testing::HasSubstr("&lt;b onclick=x&gt;bold&lt;/b&gt;"));
  EXPECT_FALSE(HtmlTree("<p>x</p>", std::chrono::seconds(0)).complete());
}

TEST(HtmlSanitizer, FindsTheDeclaredMetaCharset) {
  EXPECT_EQ(metaCharset("<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">"),
            "windows-1251");
  EXPECT_EQ(metaCharset("<meta charset='koi8-r'>"), "koi8-r");
  EXPECT_EQ(metaCharset("<meta content='text/html; charset=\"iso-8859-5\"' http-equiv=content-type>"), "iso-8859-5");
  EXPECT_EQ(metaCharset("<p>charset=utf-8</p>"), "");
}

TEST(MessagePage, HoldsTheBodyAloneBehindAContentSecurityPolicy) {
  // A fixed box painted over the pane once stood in for the header block.
  const content::RenderedMessage r = content::MessageRenderer().render(message(
      "<div style=\"position:fixed;top:0;left:0;width:100%;height:100%;background:#f2f2f2\">"
      "From: Your Bank &lt;security@yourbank.example&gt;</div>",
      "Real <real@example.org>"));
  EXPECT_EQ(r.headers.from, "Real <real@example.org>");
  EXPECT_EQ(r.headers.subject, "Offer");
  EXPECT_EQ(r.html.find("real@example.org"), std::string::npos);
  EXPECT_THAT(valuesOf(r.html, "table", "class"), IsEmpty());  // no header block
  EXPECT_THAT(valuesOf(r.html, "div", "style"), ElementsAre(::testing::HasSubstr("position:fixed")));

  const HtmlTree tree(r.html);
  const GumboNode* head = nullptr;
  forEachNode(tree.document(), [&](const GumboNode& node) {
    if (node.type == GUMBO_NODE_ELEMENT && node.v.element.tag == GUMBO_TAG_HEAD) head = &node;
  });
  ASSERT_NE(head, nullptr);
  ASSERT_GE(head->v.element.children.length, 2u);
  const auto* policy = static_cast<const GumboNode*>(head->v.element.children.data[1]);
  ASSERT_EQ(policy->type, GUMBO_NODE_ELEMENT);
  const GumboAttribute* content = gumbo_get_attribute(&policy->v.element.attributes, "content");
  ASSERT_NE(content, nullptr);
  for (const char* directive : {"default-src 'none'", "script-src 'none'", "base-uri 'none'", "form-action 'none'",
                                "img-src vireo-preview: data:"})
    EXPECT_THAT(content->value, ::testing::HasSubstr(directive));
}

}  // namespace
}  // namespace vireo
