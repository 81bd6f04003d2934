#include "tests/gui/support/desktop_catcher.h"

#include <QDesktopServices>

namespace vireo::guitest {

DesktopCatcher::DesktopCatcher(QStringList schemes) : schemes_(std::move(schemes)) {
  for (const QString& scheme : schemes_) QDesktopServices::setUrlHandler(scheme, this, "open");
}

DesktopCatcher::~DesktopCatcher() {
  for (const QString& scheme : schemes_) QDesktopServices::unsetUrlHandler(scheme);
}

}  // namespace vireo::guitest
