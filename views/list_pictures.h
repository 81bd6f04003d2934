#pragma once
// The message list's pictures, drawn as SVG so they stay sharp at any scale: the red cross of a
// deleted message, the paper clip of an attachment, and the header's two sort arrows.
#include <QIcon>

namespace vireo::views {

enum class ListPicture { redCross, paperClip, sortUp, sortDown };

QIcon listPicture(ListPicture picture);

}  // namespace vireo::views
