#pragma once
// The message list's pictures, drawn as SVG so they stay sharp at any scale: the red cross of a
// deleted message, the paper clip of an attachment, the torn page of a recovered fragment, the
// mark of a recovered message the index does not list, and the header's two sort arrows.
#include <QIcon>

namespace vireo::views {

enum class ListPicture { redCross, paperClip, sortUp, sortDown, fragment, notInIndex };

QIcon listPicture(ListPicture picture);

}  // namespace vireo::views
