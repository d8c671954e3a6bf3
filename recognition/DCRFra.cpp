// TDCRFrame: set-up and the picture shown in the frame.
#include "recognition/DCRFra.h"

#include <algorithm>

namespace kyt {

void TDCRFrame::SetUp() {
  BWThreshold = 196;
  NoiseThreshold = 10;
  SpaceWidth = 22;
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
  if (&picture == &Picture) {  // blanking would wipe the source first
    const Bitmap copy = picture;
    AssignPicture(copy);
    return;
  }
  BlankPicture();
  Picture.SetWidth(picture.Width(), kWhite);
  Picture.SetHeight(picture.Height(), kWhite);
  Picture.Draw(picture, 0, 0);
  PictureChanged();
}

}  // namespace kyt
