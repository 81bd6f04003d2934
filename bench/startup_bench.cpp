// The time from the start of the window to its being shown, with a Wine prefix whose user.reg
// is about 200 MiB, in the order the window starts now (store discovery on a thread of its own
// after the window is shown) and in the earlier order (discovery first, on the interface thread,
// as the document's construction ran it), the second the baseline of the first.
// startup_bench [USER_REG_MIB]
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "reader/store_discovery.h"
#include "shell/vireo_app.h"
#include "tools/dbx_writer/dbx_writer.h"
#include "tools/dbx_writer/message_text.h"
#include "tools/dbx_writer/scratch_dir.h"
#include "views/vireo_doc.h"

namespace {

using namespace vireo;
namespace fs = std::filesystem;

// A prefix whose user.reg holds filler keys of about userRegBytes before the one key that names
// the store, so the whole file is read and walked.
bool writePrefix(const std::string& prefix, uint64_t userRegBytes) {
  const std::string store =
      prefix + "/drive_c/users/ann/Local Settings/Application Data/Identities/{4F1C}/Microsoft/Outlook Express";
  fs::create_directories(store);
  fs::create_directories(prefix + "/dosdevices");
  std::error_code ignored;
  fs::create_symlink("../drive_c", prefix + "/dosdevices/c:", ignored);
  for (const char* name : {"Inbox.dbx", "Sent Items.dbx"}) {
    testing::DbxWriter writer;
    writer.add(testing::simpleMessage(name));
    writer.build().save(store + "/" + name);
  }
  std::ofstream(prefix + "/system.reg")
      << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
         "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList\\\\S-1-5-21-0-0-0-1000]\n"
         "\"ProfileImagePath\"=str(2):\"C:\\\\users\\\\ann\"\n";
  std::ofstream user(prefix + "/user.reg", std::ios::binary);
  user << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n";
  char key[512];
  for (uint64_t i = 0; static_cast<uint64_t>(user.tellp()) < userRegBytes && user; ++i) {
    const int length = std::snprintf(key, sizeof key,
                                     "[Software\\\\Bench Vendor\\\\Application %llu\\\\Settings\\\\Window %llu] 1700000000\n"
                                     "\"Placement\"=hex:2c,00,00,00,02,00,00,00,03,00,00,00\n"
                                     "\"Title\"=\"A window of application %llu, as a program would leave it\"\n\n",
                                     static_cast<unsigned long long>(i / 64), static_cast<unsigned long long>(i),
                                     static_cast<unsigned long long>(i));
    user.write(key, length);
  }
  user << "[Identities\\\\{4F1C}\\\\Software\\\\Microsoft\\\\Outlook Express\\\\5.0] 1700000000\n"
          "\"Store Root\"=str(2):\"%UserProfile%\\\\Local Settings\\\\Application Data\\\\Identities\\\\"
          "{4F1C}\\\\Microsoft\\\\Outlook Express\"\n";
  return static_cast<bool>(user);
}

struct Start {
  double shownMs = 0;   // InitInstance and the first round of events (the window painted)
  double filledMs = 0;  // until the store's bases are in the table
  int bases = 0;
};

Start startWindow(const std::string& scratch, bool discoveryFirst) {
  DocumentSetup setup;
  setup.settingsFile = scratch + "/Vireo.conf";
  setup.fallbackTempFolder = scratch + "/temp_vir";
  setup.exportFolder = scratch + "/export";
  if (discoveryFirst) setup.addStoreBases = listStoreBasesForUser;
  else setup.storeFolders = findStoreFoldersForUser;
  Start start;
  QElapsedTimer clock;
  clock.start();
  shell::CVireoApp app;
  app.frameSize = QSize(1100, 700);
  if (!app.InitInstance(setup)) return start;
  QApplication::processEvents();
  start.shownMs = clock.nsecsElapsed() / 1e6;
  app.waitForStartBases(std::chrono::minutes(5));
  start.filledMs = clock.nsecsElapsed() / 1e6;
  start.bases = app.document()->readerCount;
  return start;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const uint64_t userRegBytes = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200) << 20;
  testing::ScratchDir folder;
  const std::string prefix = folder.file("prefix");
  if (!writePrefix(prefix, userRegBytes)) {
    std::fprintf(stderr, "startup_bench: cannot write the prefix\n");
    return 1;
  }
  qputenv("WINEPREFIX", QByteArray::fromStdString(prefix));
  std::printf("user.reg: %.1f MiB\n", static_cast<double>(fs::file_size(prefix + "/user.reg")) / (1 << 20));
  startWindow(folder.path(), false);  // warms the page cache and Qt's first-use costs

  constexpr int kRuns = 3;
  bool allListed = true;
  std::vector<double> shownBefore, filledBefore, shownNow, filledNow;
  for (int run = 0; run < kRuns; ++run) {
    const Start before = startWindow(folder.path(), true);
    const Start now = startWindow(folder.path(), false);
    shownBefore.push_back(before.shownMs);
    filledBefore.push_back(before.filledMs);
    shownNow.push_back(now.shownMs);
    filledNow.push_back(now.filledMs);
    allListed = allListed && before.bases == 2 && now.bases == 2;
  }
  std::printf("discovery first (the earlier order): window shown after %.0f ms, bases listed after %.0f ms\n",
              median(shownBefore), median(filledBefore));
  std::printf("window first (discovery after it):   window shown after %.0f ms (%.3fx), bases listed after %.0f ms\n",
              median(shownNow), median(shownNow) / median(shownBefore), median(filledNow));
  if (!allListed) std::printf("NOT every start listed the store's 2 bases\n");
  return allListed ? 0 : 1;
}
