#include "dialogs/forms_look.h"

#include <gtest/gtest.h>

namespace zeph {
namespace {

TEST(FormsLookTest, ButtonLayoutPlacesPictureAndCaption) {
  struct Case { Box client; int picW, picH, textW, textH; PicturePlace place; Box picture, caption; } cases[] = {
      // Caption with the picture to its right, bottom edges aligned, the pair centred.
      {{0, 0, 61, 40}, 32, 32, 24, 22, PicturePlace::kRight, {26, 4, 58, 36}, {2, 14, 26, 36}},
      // No caption: the picture alone, centred.
      {{10, 10, 73, 44}, 32, 32, 0, 0, PicturePlace::kAbove, {25, 11, 57, 43}, {41, 43, 41, 43}},
      // Picture above a caption, both centred.
      {{0, 0, 100, 60}, 32, 32, 40, 16, PicturePlace::kAbove, {34, 6, 66, 38}, {30, 38, 70, 54}},
  };
  for (const Case& c : cases) {
    const ButtonLayout l = LayoutButton(c.client, c.picW, c.picH, c.textW, c.textH, c.place);
    EXPECT_EQ(l.picture, c.picture) << &c - cases;
    EXPECT_EQ(l.caption, c.caption) << &c - cases;
  }
}

TEST(FormsLookTest, ZoomKeepsTheAspectRatioAndCentres) {
  EXPECT_EQ(ZoomToFit({0, 0, 255, 292}, 7152, 5155), (Box{0, 54, 255, 237}));  // limited by the width
  EXPECT_EQ(ZoomToFit({10, 20, 410, 120}, 200, 100), (Box{110, 20, 310, 120}));  // by the height
  EXPECT_EQ(ZoomToFit({0, 0, 100, 100}, 0, 5), (Box{0, 0, 0, 0}));
}

}  // namespace
}  // namespace zeph
