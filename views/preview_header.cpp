#include "views/preview_header.h"

#include <QGridLayout>
#include <QLabel>

namespace vireo::views {
namespace {

constexpr const char* kFieldNames[] = {"From", "To", "Cc", "Newsgroups", "Followup-To", "Subject", "Date"};
// Past this many characters a value (a To line of hundreds of addresses) is cut; the whole of it
// is in the tooltip.
constexpr qsizetype kLongestShown = 400;

}  // namespace

PreviewHeader::PreviewHeader(QWidget* parent) : QFrame(parent) {
  setAccessibleName(QStringLiteral("Message header"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setHorizontalSpacing(8);
  layout->setVerticalSpacing(2);
  layout->setColumnStretch(1, 1);
  for (size_t i = 0; i < rows_.size(); ++i) {
    const QString name = QString::fromLatin1(kFieldNames[i]);
    Row& row = rows_[i];
    row.caption = new QLabel(name + QLatin1Char(':'), this);
    row.caption->setTextFormat(Qt::PlainText);
    QFont bold = row.caption->font();
    bold.setBold(true);
    row.caption->setFont(bold);
    row.caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row.value = new QLabel(this);
    row.value->setObjectName(name);
    row.value->setTextFormat(Qt::PlainText);
    row.value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    row.value->setWordWrap(true);
    // A long word (an address without spaces) may not widen the pane.
    row.value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row.value->setMinimumWidth(1);
    row.value->setAccessibleName(name);
    row.caption->setBuddy(row.value);
    if (name == QLatin1String("Subject")) {
      QFont subject = row.value->font();
      subject.setBold(true);
      row.value->setFont(subject);
    }
    const int line = static_cast<int>(i);
    layout->addWidget(row.caption, line, 0);
    layout->addWidget(row.value, line, 1);
  }
  clear();
}

void PreviewHeader::setField(Row& row, const QString& text) {
  const QString shown = text.size() > kLongestShown ? text.left(kLongestShown) + QChar(0x2026) : text;
  row.value->setText(shown);
  row.value->setToolTip(shown.size() == text.size() ? QString() : text);
  row.value->setAccessibleDescription(text);
  row.caption->setVisible(!text.isEmpty());
  row.value->setVisible(!text.isEmpty());
}

void PreviewHeader::setHeaders(const content::DisplayedHeaders& headers) {
  const std::string* values[] = {&headers.from,       &headers.to,      &headers.cc,  &headers.newsgroups,
                                 &headers.followupTo, &headers.subject, &headers.date};
  bool any = false;
  for (size_t i = 0; i < rows_.size(); ++i) {
    // Control characters (a folded header's tab, a stray escape) would only garble the line,
    // and bidirectional overrides could show an address in an order it is not.
    QString text = QString::fromStdString(*values[i]);
    for (QChar& c : text) {
      const char16_t u = c.unicode();
      if (c.category() == QChar::Other_Control || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
        c = QLatin1Char(' ');
    }
    text = text.simplified();
    setField(rows_[i], text);
    any = any || !text.isEmpty();
  }
  setVisible(any);
}

void PreviewHeader::clear() {
  for (Row& row : rows_) setField(row, QString());
  hide();
}

QLabel* PreviewHeader::field(const QString& name) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (name == QLatin1String(kFieldNames[i])) return rows_[i].value;
  return nullptr;
}

}  // namespace vireo::views
