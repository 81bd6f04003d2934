#include "views/list_pictures.h"

#include <QString>

// The pictures live in a static library: their resource must be registered by hand.
static void registerListPictures() { Q_INIT_RESOURCE(list_pictures); }

namespace vireo::views {

QIcon listPicture(ListPicture picture) {
  static const bool registered = (registerListPictures(), true);
  (void)registered;
  switch (picture) {
    case ListPicture::redCross: return QIcon(QStringLiteral(":/list/red_cross.svg"));
    case ListPicture::paperClip: return QIcon(QStringLiteral(":/list/paper_clip.svg"));
    case ListPicture::sortUp: return QIcon(QStringLiteral(":/list/sort_up.svg"));
    case ListPicture::sortDown: return QIcon(QStringLiteral(":/list/sort_down.svg"));
    case ListPicture::fragment: return QIcon(QStringLiteral(":/list/fragment.svg"));
    case ListPicture::notInIndex: return QIcon(QStringLiteral(":/list/not_in_index.svg"));
  }
  return {};
}

}  // namespace vireo::views
