#include "shell/about_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>
#include <utility>

#include "shell/static_link.h"
#include "views/modal.h"

namespace vireo::shell {
namespace {

// Placeholders under the reserved example.org domain until the product has its own addresses.
const QString kProductSite = QStringLiteral("https://vireo.example.org/");
const QString kSupportAddress = QStringLiteral("support@vireo.example.org");
const QString kSalesAddress = QStringLiteral("sales@vireo.example.org");
constexpr int kPictureSize = 96;

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  const QString title = QString::fromUtf8(views::kAppTitle);
  setWindowTitle(title);

  auto* frame = new QGroupBox(title, this);
  auto* picture = new QLabel(frame);
  picture->setPixmap(QIcon(QStringLiteral(":/icons/about.svg"))
                         .pixmap(QSize(kPictureSize, kPictureSize), devicePixelRatioF()));
  picture->setAlignment(Qt::AlignTop);
  picture->setAccessibleName(QStringLiteral("Vireo"));

  versionLine_ = new QLabel(frame);
  versionLine_->setObjectName(QStringLiteral("static1025"));
  // Whatever the line held, it shows this program's version.
  versionLine_->setText(QString::asprintf("%s %d.%d (%s %d)", "Version", kVersionMajor, kVersionMinor, "Build",
                                          kBuildNumber));

  productSite_ = new CStaticLink(kProductSite, frame);
  techSupport_ = new CStaticLink(kSupportAddress, frame);
  techSupport_->link = QStringLiteral("mailto:") + kSupportAddress;
  salesDepartment_ = new CStaticLink(kSalesAddress, frame);
  salesDepartment_->link = QStringLiteral("mailto:") + kSalesAddress;

  auto* links = new QGridLayout;
  int row = 0;
  for (const auto& [caption, link] : {std::pair{"Product Site: ", productSite_},
                                      std::pair{"Tech. Support:", techSupport_},
                                      std::pair{"Sales Department:", salesDepartment_}}) {
    auto* label = new QLabel(QString::fromUtf8(caption), frame);
    label->setBuddy(link);
    links->addWidget(label, row, 0);
    links->addWidget(link, row, 1);
    ++row;
  }
  links->setColumnStretch(1, 1);

  auto* text = new QVBoxLayout;
  text->addWidget(versionLine_);
  text->addSpacing(8);
  text->addLayout(links);
  text->addStretch();

  auto* inside = new QHBoxLayout(frame);
  inside->addWidget(picture);
  inside->addSpacing(8);
  inside->addLayout(text, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
}

}  // namespace vireo::shell
