#pragma once
// The previewed message's header fields, drawn by the window above the page: the message's own
// markup and CSS cannot reach or cover them. Each value is a selectable plain-text label whose
// accessible name is its field ("From", "To", ..., a news post's "Newsgroups") and whose
// accessible description is the value, so a screen reader reads both; an empty field is hidden.
#include <QFrame>
#include <QString>
#include <array>

#include "content/message_renderer.h"

class QLabel;

namespace vireo::views {

class PreviewHeader : public QFrame {
  Q_OBJECT

 public:
  explicit PreviewHeader(QWidget* parent = nullptr);

  // Shows these fields (the frame hides when all are empty).
  void setHeaders(const content::DisplayedHeaders& headers);
  // Empties every field and hides the frame.
  void clear();

  // The value label of a field ("From", "To", "Cc", "Newsgroups", "Followup-To", "Subject", "Date").
  QLabel* field(const QString& name) const;

 private:
  struct Row {
    QLabel* caption = nullptr;
    QLabel* value = nullptr;
  };
  void setField(Row& row, const QString& text);

  std::array<Row, 7> rows_;
};

}  // namespace vireo::views
