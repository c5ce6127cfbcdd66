#pragma once
// The persisted look of our hosted picture buttons, captions and pictures, and
// where a button puts its picture and caption.
#include <cstdint>
#include <optional>
#include <string>

namespace zeph {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

enum class PicturePlace { kAbove, kRight };

struct FormsLook {
  std::string caption;
  std::string name;  // what a screen reader says; the caption when not given
  std::optional<Rgb> fore;
  std::optional<Rgb> back;
  std::string fontFace;
  int fontPoints = 0;  // 0: the parent's font
  int fontWeight = 400;
  int fontCharset = 0;
  int picture = 0;   // icon resource id
  int metafile = 0;  // placeable metafile resource id
  PicturePlace place = PicturePlace::kAbove;
  bool border = false;
};

// "caption|key=value|..."; unknown keys and malformed values are ignored.
FormsLook ParseFormsLook(const std::string& text);

struct Box {
  int left, top, right, bottom;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Box& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

struct ButtonLayout {
  Box picture;
  Box caption;
};

// Picture above the caption, both centred; or the caption with the picture to
// its right, bottom edges aligned, the pair centred. An empty size means that
// part is absent.
ButtonLayout LayoutButton(const Box& client, int picW, int picH, int textW, int textH, PicturePlace place);

// The largest box of the content's aspect ratio that fits the area, centred.
Box ZoomToFit(const Box& area, int contentW, int contentH);

}  // namespace zeph
