#pragma once
// Answers the save and copy commands' folder dialog from a script of folders, and records what
// each showing of it said.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "tests/gui/support/window_fixture.h"

namespace vireo::guitest {

struct ShownDialog {
  QString title;
  QString description;
  QString folder;  // the folder offered in its field
};

// Each folder dialog takes the next folder and "Save"; a null QString, or no folder left,
// cancels. Message boxes and other dialogs get the default answer.
struct DialogScript {
  QStringList folders;
  std::vector<ShownDialog> shown;
  std::function<void()> whileOpen;  // runs while each showing is open

  ModalAnswers::Answer answer();
};

}  // namespace vireo::guitest
