// vireo-fuzz-seeds FOLDER: writes a seed corpus for every fuzz target into FOLDER/<target>/:
// small bases from the test writer in each layout it knows, and message texts from plain to
// multipart with encoded words. Seeds start the fuzzer inside the formats instead of outside.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbx/layout.h"
#include "platform/registry_tree.h"
#include "tests/core/hive_maker.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/message_text.h"

namespace {

using namespace vireo::testing;
namespace fs = std::filesystem;

void save(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::string asBytes(const DbxImage& image) { return std::string(image.bytes.begin(), image.bytes.end()); }

std::vector<std::string> messageTexts() {
  return {
      simpleMessage("plain"),
      simpleMessage("=?koi8-r?B?8NLJ18XU?= and =?windows-1251?Q?=CF=F0=E8?=", "Body\r\n",
                    "=?utf-8?Q?Ren=C3=A9e?= <renee@example.fr>"),
      "From: a@b\r\nSubject: multi\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
      "--b1\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\n\xf0\xd2\xc9\xd7\xc5\xd4\r\n"
      "--b1\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "<p>Hi =C3=A9<img src=3D\"cid:pic@x\"></p>\r\n--b1--\r\n",
      "From: a@b\r\nSubject: attached\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\nContent-Type: text/plain\r\n\r\nsee\r\n"
      "--m\r\nContent-Type: image/png; name=\"a.png\"\r\nContent-ID: <pic@x>\r\n"
      "Content-Disposition: attachment; filename=\"a.png\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "iVBORw0KGgo=\r\n--m\r\nContent-Type: message/rfc822\r\n\r\n" +
          simpleMessage("inner") + "\r\n--m--\r\n",
      "Subject: folded\r\n continued =?iso-8859-1?q?caf=E9?=\r\nDate: Mon, 1 Jan 2001 00:00:00 -1200\r\n\r\n",
  };
}

// HTML bodies of the kinds sanitizers get wrong: foreign content, raw text, hidden script URLs.
std::vector<std::string> hostileHtmlMessages() {
  const std::string head = "From: a@b\r\nSubject: html\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";
  return {
      head + "<svg><style><p></p><base href=\"https://e.example/\"><textarea></style></svg><a href=\"part/1\">x</a>",
      head + "<math><mtext><table><mglyph><style><img src=x onerror=alert(1)><svg><desc><b>y</b></desc></svg>",
      head + "<html><head><meta http-equiv=refresh content=0><link rel=preconnect href=//e.example><style><!--p{}--></style>"
             "</head><body><a href=\"&#106;ava&#x09;script&colon;x\" target=_blank>x</a><img srcset=\"cid:a 1x\">"
             "<form action=x><button formaction=y>b</button></form><xmp><b></xmp><noscript><i></noscript></body></html>",
  };
}

std::vector<std::string> bases() {
  std::vector<std::string> out;
  const std::vector<std::string> texts = messageTexts();
  for (int layout = 0; layout < 6; ++layout) {
    DbxWriter writer;
    writer.setEntriesPerNode(layout % 2 ? 2 : 51);
    writer.setPlacement(static_cast<BlockPlacement>(layout % 3));
    for (size_t i = 0; i < texts.size(); ++i) {
      MessageSpec item;
      item.text = texts[i];
      item.listing = i == 3 ? MessageSpec::Listing::loose : (i == 4 && layout > 2 ? MessageSpec::Listing::none
                                                                                : MessageSpec::Listing::index);
      item.deleted = layout == 4 && i == 1;
      item.indirectAttribute = layout == 5 && item.listing == MessageSpec::Listing::index;
      item.dataPerBlock = 40 + 90 * layout;
      writer.add(item);
    }
    out.push_back(asBytes(writer.build()));
  }
  return out;
}

const char* const kUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
    "#arch=win32\n\n"
    "[Identities\\\\{1A2B}\\\\Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1700000000\n"
    "#time=1d9a0b2c3d4e5f6\n"
    "\"Store Root\"=str(2):\"%UserProfile%\\\\Local Settings\\\\Application Data\\\\Identities\\\\{1A2B}\"\n"
    "@=\"default \\\"quoted\\\" \\x20ac \\101\"\n"
    "\"Flags\"=dword:00000001\n"
    "\"Data\"=hex:01,02,03,\\\n  04,05\n"
    "\"Path\"=hex(2):25,00,41,00,70,00,70,00,\\\n  44,00,61,00,74,00,61,00,25,00,00,00\n"
    "\"Gone\"=-\n\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1700000000\n"
    "\"AppData\"=\"C:\\\\users\\\\ann\\\\Application Data\"\n";

}  // namespace

// Small disk images (512-byte clusters): a base whole, and in two pieces stored the wrong way round.
std::vector<std::string> diskImages() {
  DbxWriter writer;
  for (int i = 0; i < 4; ++i) writer.add(simpleMessage("carved " + std::to_string(i), std::string(300 + 200 * i, 'x')));
  const DbxImage base = writer.build();
  std::vector<std::string> images;
  DiskImage whole(64, 512, 1);
  whole.place(0, base, 0, whole.clustersOf(base), 4);
  images.emplace_back(whole.bytes.begin(), whole.bytes.end());
  DiskImage split(64, 512, 2);
  const size_t half = split.clustersOf(base) / 2;
  split.place(0, base, half, split.clustersOf(base) - half, 2);
  split.place(0, base, 0, half, 40);
  images.emplace_back(split.bytes.begin(), split.bytes.end());
  return images;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vireo-fuzz-seeds FOLDER\n");
    return 2;
  }
  try {
    const fs::path root = argv[1];
    const std::vector<std::string> baseSeeds = bases();
    for (size_t i = 0; i < baseSeeds.size(); ++i) {
      save(root / "browse_fuzz", "base" + std::to_string(i), baseSeeds[i]);
      save(root / "recover_fuzz", "base" + std::to_string(i), baseSeeds[i]);
    }
    const std::vector<std::string> images = diskImages();
    for (size_t i = 0; i < images.size(); ++i) save(root / "carve_fuzz", "image" + std::to_string(i), images[i]);
    const std::vector<std::string> texts = messageTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
      save(root / "headers_fuzz", "message" + std::to_string(i), texts[i]);
      save(root / "render_fuzz", "message" + std::to_string(i), texts[i]);
    }
    const std::vector<std::string> hostile = hostileHtmlMessages();
    for (size_t i = 0; i < hostile.size(); ++i) save(root / "render_fuzz", "html" + std::to_string(i), hostile[i]);
    save(root / "user_reg_fuzz", "user.reg", kUserReg);
    fs::create_directories(root / "hive_fuzz");
    const fs::path hive = root / "hive_fuzz" / "NTUSER.DAT";
    const std::vector<vireo::testing::HiveKeySpec> keys = {
        {"Identities\\{1A2B}\\Software\\Microsoft\\Outlook Express\\5.0",
         {{"Store Root", vireo::stringValue("%UserProfile%\\Mail", vireo::RegistryType::expandableString)}}},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
         {{"AppData", vireo::stringValue("D:\\Documents and Settings\\ann\\Application Data")}}},
    };
    if (!vireo::testing::writeHive(hive.string(), keys)) throw std::runtime_error("hivex refused the seed hive");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vireo-fuzz-seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
