#include "shell/tree_images.h"

#include <array>

#include "dbx/layout.h"

// The pictures live in a static library, whose resource object the linker would otherwise drop.
static void initTreeResources() { Q_INIT_RESOURCE(tree); }

namespace vireo::shell {
namespace {

struct Picture {
  const char* file;
  const char* description;
};

// Pictures in image-list order: picture k is images 2k and 2k + 1.
constexpr std::array<Picture, image::kCount / 2> kPictures{{
    {"document.svg", "Message bases"},
    {"folder.svg", "Folder"},
    {"mail.svg", "Mail message base, not read"},
    {"mail_browsed.svg", "Mail message base, browsed"},
    {"mail_recovered.svg", "Mail message base, recovered"},
    {"system.svg", "System message base"},
    {"document.svg", "Message base"},
    {"news.svg", "News message base, not read"},
    {"news_browsed.svg", "News message base, browsed"},
    {"news_recovered.svg", "News message base, recovered"},
    {"document.svg", "Other message base, not read"},
    {"other_browsed.svg", "Other message base, browsed"},
    {"other_recovered.svg", "Other message base, recovered"},
    {"mail_bad_format.svg", "Mail message base, bad format: use message base recovery"},
    {"news_bad_format.svg", "News message base, bad format: use message base recovery"},
    {"other_bad_format.svg", "Other message base, bad format: use message base recovery"},
}};

}  // namespace

int baseImage(int baseKind, int state, bool browseFailed) {
  const bool mail = baseKind == dbx::kBaseKindMail;
  const bool news = baseKind == dbx::kBaseKindNews;
  if (state == 1) return mail ? image::kMailBrowsed : news ? image::kNewsBrowsed : image::kOtherBrowsed;
  if (state == 2) return mail ? image::kMailRecovered : news ? image::kNewsRecovered : image::kOtherRecovered;
  if (mail) return browseFailed ? image::kMailBadFormat : image::kMailNotRead;
  if (news) return browseFailed ? image::kNewsBadFormat : image::kNewsNotRead;
  if (baseKind < dbx::kBaseKindFolders) return browseFailed ? image::kOtherBadFormat : image::kOtherNotRead;
  return image::kSystemBase;
}

std::vector<QIcon> buildTreeImageList() {
  initTreeResources();
  std::vector<QIcon> images;
  images.reserve(image::kCount);
  for (const Picture& picture : kPictures) {
    const QIcon icon(QStringLiteral(":/tree/") + QLatin1String(picture.file));
    images.push_back(icon);
    images.push_back(icon);
  }
  return images;
}

QString imageDescription(int image) {
  if (image < 0 || image >= image::kCount) return {};
  return QString::fromUtf8(kPictures[static_cast<size_t>(image / 2)].description);
}

}  // namespace vireo::shell
