// TDCRFrame: set-up and the picture shown in the frame.
#include "recognition/DCRFra.h"

#include <algorithm>
#include <utility>

namespace kyt {

void TDCRFrame::SetUp() {
  Parameters() = kDefaultRecognitionParams;
  ClearPicture();
}

void TDCRFrame::BlankPicture() {
  // The whole old picture is painted with the canvas brush, then the bitmap
  // takes the size of the area below the title bar; added area is white too.
  Picture.FillRect(0, 0, Picture.Width(), Picture.Height(), kWhite);
  Picture.SetWidth(std::max(ClientWidth, 0), kWhite);
  Picture.SetHeight(std::max(ClientHeight - kTitleHeight, 0), kWhite);
}

void TDCRFrame::PictureChanged() {
  if (OnPictureChanged) OnPictureChanged();
}

void TDCRFrame::ClearPicture() {
  BlankPicture();
  PictureChanged();
}

void TDCRFrame::AssignPicture(const Bitmap& picture) {
  // Copy first: if memory runs out, the old picture is still there. The copy
  // equals what blanking, resizing and drawing at (0, 0) would leave, since the
  // drawn picture covers the whole resized bitmap.
  Bitmap next = picture;
  BlankPicture();
  Picture = std::move(next);
  PictureChanged();
}

}  // namespace kyt
