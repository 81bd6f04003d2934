// vireo-make-samples FOLDER: writes the bundled sample bases (Inbox.dbx, Damaged.dbx,
// News.dbx) into FOLDER. The texts are written here in UTF-8 and converted with iconv, so the
// stored bytes are in each message's own character set; output is the same on every run.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"

namespace {

using vireo::testing::BlockPlacement;
using vireo::testing::DbxImage;
using vireo::testing::DbxWriter;
using vireo::testing::MessageSpec;
using vireo::testing::base64Encode;

std::string convert(const char* charset, std::string_view utf8) {
  iconv_t cd = iconv_open(charset, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("no iconv for ") + charset);
  std::string in(utf8);
  std::string out(in.size() * 4 + 16, '\0');
  char* from = in.data();
  size_t fromLeft = in.size();
  char* to = out.data();
  size_t toLeft = out.size();
  const size_t done = iconv(cd, &from, &fromLeft, &to, &toLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) throw std::runtime_error(std::string("cannot convert to ") + charset);
  out.resize(out.size() - toLeft);
  return out;
}

const char kHex[] = "0123456789ABCDEF";

void appendHex(std::string& out, uint8_t byte) {
  out += '=';
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

// Splits UTF-8 text into pieces of at most `chars` code points: encoded words must stay short
// and must not cut a character in two.
std::vector<std::string> pieces(std::string_view utf8, size_t chars) {
  std::vector<std::string> out(1);
  size_t count = 0;
  for (char c : utf8) {
    const bool starts = (static_cast<uint8_t>(c) & 0xC0) != 0x80;
    if (starts && count == chars) {
      out.emplace_back();
      count = 0;
    }
    if (starts) ++count;
    out.back() += c;
  }
  return out;
}

// "=?charset?B?...?=" words, folded onto continuation lines.
std::string wordB(const char* charset, std::string_view utf8, size_t chars = 12) {
  std::string out;
  for (const std::string& piece : pieces(utf8, chars)) {
    if (!out.empty()) out += "\n ";
    out += std::string("=?") + charset + "?B?" + base64Encode(convert(charset, piece), "") + "?=";
  }
  return out;
}

std::string wordQ(const char* charset, std::string_view utf8, size_t chars = 20) {
  std::string out;
  for (const std::string& piece : pieces(utf8, chars)) {
    if (!out.empty()) out += "\n ";
    out += std::string("=?") + charset + "?Q?";
    for (char c : convert(charset, piece)) {
      const uint8_t byte = static_cast<uint8_t>(c);
      if (c == ' ') {
        out += '_';
      } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 std::string_view("!*+-/").find(c) != std::string_view::npos) {
        out += c;
      } else {
        appendHex(out, byte);
      }
    }
    out += "?=";
  }
  return out;
}

// Quoted-printable body: line breaks kept, soft breaks before 76 columns.
std::string quotedPrintable(std::string_view bytes) {
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t byte = static_cast<uint8_t>(bytes[i]);
    if (byte == '\n') {
      out += '\n';
      column = 0;
      continue;
    }
    const bool lineEnd = i + 1 == bytes.size() || bytes[i + 1] == '\n';
    const bool literal = (byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !lineEnd);
    const size_t width = literal ? 1 : 3;
    if (column + width > 75) {
      out += "=\n";
      column = 0;
    }
    if (literal) {
      out += static_cast<char>(byte);
    } else {
      appendHex(out, byte);
    }
    column += width;
  }
  return out;
}

// Messages are composed with "\n" and stored with CRLF, as Outlook Express stores them. No
// charset used here puts a 0x0A byte anywhere but at a line end.
std::string crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string headers(std::string_view from, std::string_view to, std::string_view subject, std::string_view date,
                    std::string_view id) {
  return "From: " + std::string(from) + "\nTo: " + std::string(to) + "\nSubject: " + std::string(subject) +
         "\nDate: " + std::string(date) + "\nMessage-ID: <" + std::string(id) + ">\nMIME-Version: 1.0\n";
}

// A 1 x 1 PNG, the smallest picture worth attaching.
const std::string_view kPixelPngBase64 =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==\n";

std::string plainAscii() {
  return headers("Vireo Team <team@example.org>", "You <you@example.org>", "Welcome to Vireo",
                 "Mon, 04 Dec 2006 09:15:00 +0000", "welcome.1@example.org") +
         "Content-Type: text/plain; charset=\"us-ascii\"\nContent-Transfer-Encoding: 7bit\n\n"
         "Hello,\n\nThis base holds a dozen sample messages in several character sets.\n"
         "Browse it, recover it, and export the messages as .eml files.\n\n-- \nThe Vireo team\n";
}

std::string koi8rPlain() {
  return headers(wordB("koi8-r", "Иван Петров") + " <ivan@example.ru>", "team@example.org",
                 wordB("koi8-r", "Отчёт за ноябрь"), "Tue, 05 Dec 2006 10:00:00 +0300", "report.2@example.ru") +
         "Content-Type: text/plain; charset=\"koi8-r\"\nContent-Transfer-Encoding: 8bit\n\n" +
         convert("KOI8-R",
                 "Добрый день!\n\nВысылаю отчёт за ноябрь. Продажи выросли на 12%,\n"
                 "расходы остались прежними. Подробности - в пятницу.\n\nС уважением,\nИван\n");
}

std::string cp1251QuotedPrintable() {
  return headers("=?windows-1251?Q?=CE=EB=FC=E3=E0?= <olga@example.ru>", "Ivan <ivan@example.ru>",
                 wordQ("windows-1251", "Встреча в пятницу"), "Wed, 06 Dec 2006 14:30:00 +0300",
                 "meeting.3@example.ru") +
         "Content-Type: text/plain; charset=\"windows-1251\"\nContent-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(convert("CP1251",
                                 "Иван, привет!\n\nВстречаемся в пятницу в 15:00 в переговорной на третьем этаже. "
                                 "Возьми, пожалуйста, распечатку отчёта и ноутбук с презентацией.\n\nОльга\n"));
}

std::string utf8Base64() {
  return headers("Mika <mika@example.jp>", "team@example.org", wordB("utf-8", "Grüße, Привет, こんにちは", 8),
                 "Thu, 07 Dec 2006 08:05:00 +0900", "hello.4@example.jp") +
         "Content-Type: text/plain; charset=\"utf-8\"\nContent-Transfer-Encoding: base64\n\n" +
         base64Encode(crlf("Grüße aus Tokio!\nПривет из Токио!\nこんにちは、東京から。\n\n— Mika\n"), "\n");
}

std::string latin1QuotedPrintable() {
  return headers(wordQ("iso-8859-1", "Renée Dupont") + " <renee@example.fr>", "team@example.org",
                 wordQ("iso-8859-1", "Café au lait à midi"), "Fri, 08 Dec 2006 11:45:00 +0100",
                 "cafe.5@example.fr") +
         "Content-Type: text/plain; charset=\"iso-8859-1\"\nContent-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(convert("ISO-8859-1",
                                 "Bonjour à tous,\n\nOn se retrouve au café de la gare à midi ? "
                                 "Ça sera l'occasion de fêter la fin de l'année.\n\nÀ bientôt,\nRenée\n"));
}

std::string alternativeUtf8() {
  const std::string plain = "December news\n\n* The new release is out.\n* Thanks to everyone who tested it — "
                            "especially the Zürich and Kraków groups.\n";
  const std::string html = "<html><body><h1>December news</h1><ul><li>The new release is out.</li>"
                           "<li>Thanks to everyone who tested it &mdash; especially the Z&uuml;rich and "
                           "Krak&oacute;w groups.</li></ul></body></html>\n";
  return headers("News Desk <news@example.org>", "team@example.org", wordB("utf-8", "Newsletter — December"),
                 "Sat, 09 Dec 2006 07:00:00 +0000", "letter.6@example.org") +
         "Content-Type: multipart/alternative;\n\tboundary=\"----=_NextPart_000_0006\"\n\n"
         "This is a multi-part message in MIME format.\n\n"
         "------=_NextPart_000_0006\nContent-Type: text/plain; charset=\"utf-8\"\n"
         "Content-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(plain) +
         "\n------=_NextPart_000_0006\nContent-Type: text/html; charset=\"utf-8\"\n"
         "Content-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(html) + "\n------=_NextPart_000_0006--\n";
}

std::string htmlCp1251() {
  return headers("Shop <shop@example.ru>", "ivan@example.ru", wordB("windows-1251", "Скидки недели"),
                 "Sun, 10 Dec 2006 12:00:00 +0300", "sale.7@example.ru") +
         "Content-Type: text/html; charset=\"windows-1251\"\nContent-Transfer-Encoding: 8bit\n\n" +
         convert("CP1251",
                 "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
                 "</head>\n<body><h2>Скидки недели</h2>\n<p>Только до воскресенья: <b>чайники</b> и "
                 "<b>кофеварки</b> со скидкой 20%.</p>\n</body></html>\n");
}

std::string attachments() {
  const std::string notes = "Day 1: Lisbon\nDay 2: Sintra\nDay 3: Porto\n";
  return headers("Paul <paul@example.org>", "team@example.org", "Photos from the trip",
                 "Mon, 11 Dec 2006 19:20:00 +0000", "trip.8@example.org") +
         "Content-Type: multipart/mixed;\n\tboundary=\"----=_NextPart_000_0008\"\n\n"
         "This is a multi-part message in MIME format.\n\n"
         "------=_NextPart_000_0008\nContent-Type: text/plain; charset=\"iso-8859-1\"\n"
         "Content-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(convert("ISO-8859-1", "Here are the notes and the only picture that survived. Olá!\n")) +
         "\n------=_NextPart_000_0008\nContent-Type: image/png; name=\"pixel.png\"\n"
         "Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"pixel.png\"\n\n" +
         std::string(kPixelPngBase64) +
         "\n------=_NextPart_000_0008\nContent-Type: text/plain; name=\"notes.txt\"\n"
         "Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"notes.txt\"\n\n" +
         base64Encode(crlf(notes), "\n") + "\n------=_NextPart_000_0008--\n";
}

std::string nestedKoi8r() {
  std::string csv = "month;sales;costs\n";
  for (int m = 1; m <= 12; ++m) csv += std::to_string(m) + ";" + std::to_string(1000 + 37 * m) + ";" + std::to_string(800 + 11 * m) + "\n";
  const std::string plain = convert("KOI8-R", "Таблица за год во вложении.\nЦифры предварительные.\n");
  const std::string html = convert("KOI8-R", "<html><body><p>Таблица за год во вложении.<br>"
                                             "<i>Цифры предварительные.</i></p></body></html>\n");
  return headers(wordB("koi8-r", "Бухгалтерия") + " <buh@example.ru>", "ivan@example.ru",
                 wordB("koi8-r", "Годовая таблица"), "Tue, 12 Dec 2006 16:10:00 +0300", "table.9@example.ru") +
         "Content-Type: multipart/mixed;\n\tboundary=\"----=_NextPart_000_0009_01\"\n\n"
         "This is a multi-part message in MIME format.\n\n"
         "------=_NextPart_000_0009_01\nContent-Type: multipart/alternative;\n"
         "\tboundary=\"----=_NextPart_001_0009_02\"\n\n\n"
         "------=_NextPart_001_0009_02\nContent-Type: text/plain; charset=\"koi8-r\"\n"
         "Content-Transfer-Encoding: 8bit\n\n" +
         plain +
         "\n------=_NextPart_001_0009_02\nContent-Type: text/html; charset=\"koi8-r\"\n"
         "Content-Transfer-Encoding: 8bit\n\n" +
         html +
         "\n------=_NextPart_001_0009_02--\n\n"
         "------=_NextPart_000_0009_01\nContent-Type: text/csv; name=\"year.csv\"\n"
         "Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"year.csv\"\n\n" +
         base64Encode(crlf(csv), "\n") + "\n------=_NextPart_000_0009_01--\n";
}

// A small PNG drawn here (a sun over a hill against the sky), stored uncompressed: PNG only
// asks for a zlib stream, and stored deflate blocks need no compressor.
std::string drawnPng(uint32_t width, uint32_t height) {
  std::string pixels;
  for (uint32_t y = 0; y < height; ++y) {
    pixels += '\0';  // filter: none
    for (uint32_t x = 0; x < width; ++x) {
      const int dx = static_cast<int>(x) - static_cast<int>(width) * 2 / 3, dy = static_cast<int>(y) - static_cast<int>(height) / 3;
      const bool sun = dx * dx + dy * dy < static_cast<int>(height * height / 25);
      const int hillTop = static_cast<int>(height) * 3 / 4 - static_cast<int>((x * (width - x)) / (width * 3 / 2 + 1));
      const bool hill = static_cast<int>(y) > hillTop;
      const uint8_t r = sun ? 250 : hill ? 70 : static_cast<uint8_t>(120 + y * 100 / height);
      const uint8_t g = sun ? 200 : hill ? static_cast<uint8_t>(150 - y * 40 / height) : static_cast<uint8_t>(170 + y * 60 / height);
      const uint8_t b = sun ? 40 : hill ? 60 : 240;
      pixels += static_cast<char>(r);
      pixels += static_cast<char>(g);
      pixels += static_cast<char>(b);
    }
  }
  auto be32 = [](uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  auto crc32 = [](std::string_view bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (char c : bytes) {
      crc ^= static_cast<uint8_t>(c);
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
  };
  auto chunk = [&](std::string_view type, const std::string& data) {
    const std::string body = std::string(type) + data;
    return be32(static_cast<uint32_t>(data.size())) + body + be32(crc32(body));
  };
  std::string zlib = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (char c : pixels) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < pixels.size(); at += 65535) {
    const auto length = static_cast<uint16_t>(std::min<size_t>(65535, pixels.size() - at));
    zlib += at + length == pixels.size() ? '\x01' : '\x00';
    zlib += {static_cast<char>(length & 0xFF), static_cast<char>(length >> 8), static_cast<char>(~length & 0xFF),
             static_cast<char>((~length >> 8) & 0xFF)};
    zlib += pixels.substr(at, length);
  }
  zlib += be32(b << 16 | a);
  const std::string header = be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib) + chunk("IEND", "");
}

// What the preview shows best: HTML with a picture of its own (by Content-ID) and an attachment.
std::string htmlWithPicture() {
  const std::string plain = "Spring trip\n\nThe picture is in the HTML version. The packing list is attached.\n";
  const std::string html =
      "<html><head><style>h1{color:#2a5d8f;font-family:sans-serif} .note{color:#555}</style></head><body>\n"
      "<h1>Spring trip</h1>\n<p>Here is the view from the top of the hill, just before sunset:</p>\n"
      "<p><img src=\"cid:hill.png@vireo.example\" width=\"192\" height=\"128\" alt=\"Sun over a hill\"></p>\n"
      "<p>The packing list is attached &mdash; <b>bring warm socks</b>.</p>\n"
      "<p class=\"note\">Grüße, Ольга</p>\n</body></html>\n";
  const std::string list = "Packing list\n- boots\n- warm socks\n- map\n- thermos\n";
  return headers("Olga <olga@example.org>", "team@example.org", wordQ("utf-8", "Spring trip — pictures"),
                 "Sat, 16 Dec 2006 18:30:00 +0100", "spring.13@example.org") +
         "Content-Type: multipart/mixed;\n\tboundary=\"----=_NextPart_000_0013\"\n\n"
         "This is a multi-part message in MIME format.\n\n"
         "------=_NextPart_000_0013\nContent-Type: multipart/related;\n\ttype=\"multipart/alternative\";\n"
         "\tboundary=\"----=_NextPart_001_0013\"\n\n\n"
         "------=_NextPart_001_0013\nContent-Type: multipart/alternative;\n\tboundary=\"----=_NextPart_002_0013\"\n\n\n"
         "------=_NextPart_002_0013\nContent-Type: text/plain; charset=\"utf-8\"\n"
         "Content-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(plain) +
         "\n------=_NextPart_002_0013\nContent-Type: text/html; charset=\"utf-8\"\n"
         "Content-Transfer-Encoding: quoted-printable\n\n" +
         quotedPrintable(html) +
         "\n------=_NextPart_002_0013--\n\n"
         "------=_NextPart_001_0013\nContent-Type: image/png; name=\"hill.png\"\n"
         "Content-Transfer-Encoding: base64\nContent-ID: <hill.png@vireo.example>\n\n" +
         base64Encode(drawnPng(96, 64), "\n") +
         "\n------=_NextPart_001_0013--\n\n"
         "------=_NextPart_000_0013\nContent-Type: text/plain; name=\"packing-list.txt\"\n"
         "Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"packing-list.txt\"\n\n" +
         base64Encode(crlf(list), "\n") + "\n------=_NextPart_000_0013--\n";
}

std::string deletedDraft(int n) {
  return headers("You <you@example.org>", convert("ISO-8859-1", "Renée <renee@example.fr>"),
                 wordQ("iso-8859-1", "Brouillon effacé n°" + std::to_string(n)), "Wed, 13 Dec 2006 22:00:00 +0100",
                 "draft." + std::to_string(n) + "@example.org") +
         "Content-Type: text/plain; charset=\"iso-8859-1\"\nContent-Transfer-Encoding: 8bit\n\n" +
         convert("ISO-8859-1", "Ce brouillon a été supprimé, mais ses blocs sont toujours là.\n");
}

std::string looseUtf8() {
  return headers("Archive <archive@example.org>", "you@example.org", wordB("utf-8", "Ещё одно письмо ✉"),
                 "Thu, 14 Dec 2006 06:30:00 +0000", "loose.11@example.org") +
         "Content-Type: text/plain; charset=\"utf-8\"\nContent-Transfer-Encoding: 8bit\n\n"
         "This message is reached only through the chain table, not the index.\nЕщё одно письмо.\n";
}

std::string longMixedSubject() {
  std::string body = "A long message, so that its text spans many data blocks.\n\n";
  for (int line = 1; line <= 90; ++line) {
    body += "Line " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog.\n";
  }
  return headers("Tester <tester@example.org>", "team@example.org",
                 wordB("utf-8", "Long message: ") + " " + wordQ("iso-8859-1", "très long"),
                 "Fri, 15 Dec 2006 17:45:00 -0500", "long.12@example.org") +
         "Content-Type: text/plain; charset=\"us-ascii\"\nContent-Transfer-Encoding: 7bit\n\n" + body;
}

std::string newsPost(std::string_view group, std::string_view from, std::string_view subject, std::string_view date,
                     std::string_view id, std::string_view references, std::string_view contentType,
                     std::string_view body) {
  std::string text = "Path: news.example.org!not-for-mail\nFrom: " + std::string(from) + "\nNewsgroups: " +
                     std::string(group) + "\nSubject: " + std::string(subject) + "\nDate: " + std::string(date) +
                     "\nMessage-ID: <" + std::string(id) + ">\n";
  if (!references.empty()) text += "References: <" + std::string(references) + ">\n";
  return text + "MIME-Version: 1.0\nContent-Type: " + std::string(contentType) +
         "\nContent-Transfer-Encoding: 8bit\n\n" + std::string(body);
}

void save(DbxImage& image, const std::filesystem::path& folder, const char* name) {
  image.save((folder / name).string());
  std::printf("%s: %u bytes\n", name, image.size());
}

MessageSpec item(std::string text) {
  MessageSpec s;
  s.text = crlf(text);
  return s;
}

void writeInbox(const std::filesystem::path& folder) {
  DbxWriter writer;
  writer.setEntriesPerNode(4);  // a few nodes, so the sample exercises the tree walk
  writer.add(item(plainAscii()));
  writer.add(item(koi8rPlain()));
  writer.add(item(cp1251QuotedPrintable()));
  writer.add(item(utf8Base64()));
  writer.add(item(latin1QuotedPrintable()));
  writer.add(item(alternativeUtf8()));
  writer.add(item(htmlCp1251()));
  writer.add(item(attachments()));
  writer.add(item(nestedKoi8r()));
  MessageSpec deleted = item(deletedDraft(10));
  deleted.deleted = true;
  writer.add(deleted);
  MessageSpec loose = item(looseUtf8());
  loose.listing = MessageSpec::Listing::loose;
  loose.chainSlot = 3;
  writer.add(loose);
  MessageSpec indirect = item(longMixedSubject());
  indirect.indirectAttribute = true;
  writer.add(indirect);
  writer.add(item(htmlWithPicture()));
  DbxImage image = writer.build();
  save(image, folder, "Inbox.dbx");
}

void writeDamaged(const std::filesystem::path& folder) {
  DbxWriter writer;
  writer.setEntriesPerNode(2);
  writer.setPlacement(BlockPlacement::interleaved);
  writer.add(item(koi8rPlain()));
  writer.add(item(latin1QuotedPrintable()));
  writer.add(item(attachments()));
  writer.add(item(cp1251QuotedPrintable()));
  writer.add(item(alternativeUtf8()));
  writer.add(item(utf8Base64()));
  writer.add(item(longMixedSubject()));
  // Deleted long ago: no record points at these any more, only their blocks remain.
  for (int n : {20, 21}) {
    MessageSpec gone = item(deletedDraft(n));
    gone.deleted = true;
    gone.listing = MessageSpec::Listing::none;
    writer.add(gone);
  }
  DbxImage image = writer.build();
  // A node below the root no longer carries its own offset: the index walk must give up.
  const uint32_t broken = writer.nodes().at(1).offset;
  image.put32(broken, 0x0BADF00D);
  save(image, folder, "Damaged.dbx");
}

void writeNews(const std::filesystem::path& folder) {
  DbxWriter writer;
  writer.setNewsMarker(0);
  writer.setPlacement(BlockPlacement::reversed);
  writer.add(item(newsPost("comp.lang.c++", "Alice <alice@example.org>", "Ranges in C++20",
                           "Mon, 04 Dec 2006 12:00:00 +0000", "ranges.1@example.org", "",
                           "text/plain; charset=\"us-ascii\"",
                           "Has anyone tried the ranges proposal on a real code base?\n")));
  writer.add(item(newsPost("comp.lang.c++", "Bob <bob@example.org>", "Re: Ranges in C++20",
                           "Mon, 04 Dec 2006 13:30:00 +0000", "ranges.2@example.org", "ranges.1@example.org",
                           "text/plain; charset=\"us-ascii\"",
                           "Alice wrote:\n> Has anyone tried the ranges proposal on a real code base?\n\n"
                           "Yes, on a parser. Compile times went up, bugs went down.\n")));
  writer.add(item(newsPost("fido7.ru.linux", wordB("koi8-r", "Сергей") + " <sergey@example.ru>",
                           wordB("koi8-r", "Ядро собрал, не грузится"), "Tue, 05 Dec 2006 01:15:00 +0300",
                           "kernel.3@example.ru", "", "text/plain; charset=\"koi8-r\"",
                           convert("KOI8-R", "Собрал новое ядро, после перезагрузки паника.\nЧто я забыл?\n"))));
  writer.add(item(newsPost("de.comp.os.unix.linux.misc", wordQ("iso-8859-1", "Jürgen Maß") + " <juergen@example.de>",
                           wordQ("iso-8859-1", "Grüße aus Köln"), "Wed, 06 Dec 2006 09:00:00 +0100",
                           "koeln.4@example.de", "", "text/plain; charset=\"iso-8859-1\"",
                           convert("ISO-8859-1", "Schöne Grüße an alle Leser dieser Gruppe!\n"))));
  DbxImage image = writer.build();
  save(image, folder, "News.dbx");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    writeInbox(folder);
    writeDamaged(folder);
    writeNews(folder);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
