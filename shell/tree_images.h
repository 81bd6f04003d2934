#pragma once
// The tree's image list: sixteen pictures, each added twice in a row, so picture k sits at image
// 2k and 2k + 1 and only even indices are used. Images 0, 12 and 20 are the same document
// picture. Which image a base node shows follows from its kind, state and browseFailed alone.
#include <QIcon>
#include <QString>
#include <vector>

namespace vireo::shell {

namespace image {
inline constexpr int kRoot = 0;
inline constexpr int kFolderGroup = 2;
inline constexpr int kMailNotRead = 4;
inline constexpr int kMailBrowsed = 6;
inline constexpr int kMailRecovered = 8;
inline constexpr int kSystemBase = 10;
inline constexpr int kNewsNotRead = 14;
inline constexpr int kNewsBrowsed = 16;
inline constexpr int kNewsRecovered = 18;
inline constexpr int kOtherNotRead = 20;
inline constexpr int kOtherBrowsed = 22;
inline constexpr int kOtherRecovered = 24;
inline constexpr int kMailBadFormat = 26;
inline constexpr int kNewsBadFormat = 28;
inline constexpr int kOtherBadFormat = 30;
inline constexpr int kCount = 32;
}  // namespace image

// The image of a base node: state 1 browsed, 2 recovered, 0 not read (the bad-format picture when
// browseFailed is set; system bases, kinds 11 and above, have one picture while not read).
int baseImage(int baseKind, int state, bool browseFailed);

// The 32 icons of the image list, in image order.
std::vector<QIcon> buildTreeImageList();

// What an image shows, in words: the accessible description of a node with that image.
QString imageDescription(int image);

}  // namespace vireo::shell
