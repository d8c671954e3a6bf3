#pragma once
// NeoBookButton: a glyph speed button without a window or focus of its own,
// flat until the mouse is over it, painted by its parent and fed the parent's
// mouse messages. Its glyph images are built lazily, once per state, and
// shared between all buttons of one glyph size through the glyph cache.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/Control.h"

namespace kyt::controls {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// In the order of the cells of a glyph strip.
enum class TButtonState { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3 };

// Where glyph and caption go in a client area of `client` size: the glyph's
// top-left corner and the caption's box, both relative to the client area's
// top-left corner (before any content offset).
struct ButtonLayoutResult {
  Point GlyphPos;
  Rect TextBounds;
};
ButtonLayoutResult CalcButtonLayout(Size client, Size glyph, Size text, TButtonLayout layout, int32_t margin,
                                    int32_t spacing, bool rightToLeft);

// An image list for one glyph size whose slots are reused.
class TNeoGlyphList : public ImageList {
 public:
  TNeoGlyphList(int32_t width, int32_t height) : ImageList(width, height) {}
  // Stores into the first free slot (or a new one); returns its index.
  int32_t AddMasked(const Bitmap& image, Color transparent);
  // Frees the slot.
  void Delete(int32_t index);
  // Occupied slots.
  int32_t Count() const { return count_; }
  // Slots, occupied or free.
  int32_t Capacity() const { return ImageList::Count(); }
  bool Occupied(int32_t index) const { return index >= 0 && size_t(index) < used_.size() && used_[size_t(index)]; }

 private:
  std::vector<bool> used_;
  int32_t count_ = 0;
};

// The process-wide glyph lists, one per glyph size.
class TNeoGlyphCache {
 public:
  ~TNeoGlyphCache();
  // The list for glyphs of this size, made when there is none.
  TNeoGlyphList* GetList(int32_t width, int32_t height);
  // A glyph no longer uses `list`; a list with no occupied slot is destroyed.
  void ReturnList(TNeoGlyphList* list);
  bool Empty() const { return lists_.empty(); }
  size_t ListCount() const { return lists_.size(); }

 private:
  std::vector<std::unique_ptr<TNeoGlyphList>> lists_;
};

// The cache; null before the first glyph and after the last one went.
TNeoGlyphCache* GlyphCache();

class TNeoButtonGlyph {
 public:
  TNeoButtonGlyph();
  ~TNeoButtonGlyph();
  TNeoButtonGlyph(const TNeoButtonGlyph&) = delete;
  TNeoButtonGlyph& operator=(const TNeoButtonGlyph&) = delete;

  const Bitmap& Glyph() const { return original_; }
  // Copies the bitmap, takes its transparent colour (bottom-left pixel) and,
  // when the width is a whole multiple of the height, sets NumGlyphs to the
  // quotient when it is below 5, else 1.
  void SetGlyph(const Bitmap& glyph);
  int32_t NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int32_t count);
  Color TransparentColor() const { return transparentColor_; }

  // Index in GlyphList() of the image for `state`, built on first use; -1 without a bitmap.
  int32_t CreateButtonGlyph(TButtonState state);
  // Releases the built images.
  void Invalidate();
  TNeoGlyphList* GlyphList() const { return glyphList_; }
  // The index held for a state (-1: not built).
  int32_t ImageIndex(TButtonState state) const { return indexes_[size_t(state)]; }
  Size GlyphSize() const;

  // Lays out and draws glyph and caption in `client`, shifted by `offset`;
  // returns the caption's box.
  Rect Draw(ICanvas& canvas, const Rect& client, Point offset, const std::string& caption, TButtonLayout layout,
            int32_t margin, int32_t spacing, TButtonState state, bool transparent, bool rightToLeft);

  std::function<void()> OnChange;

 private:
  void Changed();

  Bitmap original_;
  TNeoGlyphList* glyphList_ = nullptr;
  std::array<int32_t, 4> indexes_{-1, -1, -1, -1};
  Color transparentColor_ = MakeColor(128, 128, 0);
  int32_t numGlyphs_ = 1;
};

class TNeoBookButton : public TControl {
 public:
  explicit TNeoBookButton(TWinControl* parent = nullptr);
  ~TNeoBookButton() override;

  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t value);
  bool Down() const { return down_; }
  // Only with a nonzero GroupIndex; a down button goes up only with AllowAllUp.
  void SetDown(bool value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  const Bitmap& Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(const Bitmap& glyph);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int32_t Margin() const { return margin_; }
  void SetMargin(int32_t value);  // -1 centres
  int32_t NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int32_t value);  // above 4 is 4; 0 is ignored
  int32_t Spacing() const { return spacing_; }
  void SetSpacing(int32_t value);  // -1 spreads evenly
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // Takes the glyph from an image list (an assigned action's) when the
  // button has none of its own: the image drawn onto a magenta bitmap of the list's size.
  void SetActionImage(const ImageList& images, int32_t index);

  TButtonState State() const { return state_; }
  bool MouseInControl() const { return mouseInControl_; }
  bool Dragging() const { return dragging_; }
  TNeoButtonGlyph& ButtonGlyph() { return glyph_; }

  void Paint(ICanvas& canvas) override;
  void MouseDown(MouseButton button, uint32_t shift, int32_t x, int32_t y) override;
  void MouseMove(uint32_t shift, int32_t x, int32_t y) override;
  void MouseUp(MouseButton button, uint32_t shift, int32_t x, int32_t y) override;
  void DoubleClicked() override;
  void MouseLeave() override;
  bool DialogChar(char key, uint32_t shift) override;
  void SysColorChange() override;

 protected:
  void EnabledChanged() override;

 private:
  void UpdateStateFromEnabled();
  void UpdateExclusive();
  void ButtonPressed(TNeoBookButton& sender);
  // Enters or leaves the hover state from where the pointer is now.
  void UpdateTracking();
  void Track(bool underPointer);
  void EnterHover();
  void LeaveHover();
  bool PointerOver(int32_t x, int32_t y);

  TNeoButtonGlyph glyph_;
  bool allowAllUp_ = false;
  int32_t groupIndex_ = 0;
  bool down_ = false;
  bool flat_ = false;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int32_t margin_ = -1;
  int32_t spacing_ = 4;
  bool transparent_ = true;
  TButtonState state_ = TButtonState::bsUp;
  bool mouseInControl_ = false;
  bool dragging_ = false;
};

}  // namespace kyt::controls
