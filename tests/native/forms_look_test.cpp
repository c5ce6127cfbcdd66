#include "dialogs/forms_look.h"

#include <gtest/gtest.h>

namespace zeph {
namespace {

TEST(FormsLookTest, ParsesTheTemplateText) {
  const FormsLook row = ParseFormsLook("S1|fore=255,0,255|back=64,0,0|font=PMingLiU,18,700,136|place=right|pic=301");
  EXPECT_EQ(row.caption, "S1");
  EXPECT_EQ(row.fore, (Rgb{255, 0, 255}));
  EXPECT_EQ(row.back, (Rgb{64, 0, 0}));
  EXPECT_EQ(row.fontFace, "PMingLiU");
  EXPECT_EQ(row.fontPoints, 18);
  EXPECT_EQ(row.fontWeight, 700);
  EXPECT_EQ(row.fontCharset, 136);
  EXPECT_EQ(row.place, PicturePlace::kRight);
  EXPECT_EQ(row.picture, 301);

  const FormsLook image = ParseFormsLook("|back=128,128,64|wmf=310|border");
  EXPECT_EQ(image.caption, "");
  EXPECT_FALSE(image.fore.has_value());
  EXPECT_EQ(image.metafile, 310);
  EXPECT_TRUE(image.border);
  EXPECT_EQ(image.place, PicturePlace::kAbove);

  // A plain caption, and a caption with no look at all.
  EXPECT_EQ(ParseFormsLook("CANCEL").caption, "CANCEL");
  EXPECT_EQ(ParseFormsLook("").caption, "");
}

TEST(FormsLookTest, MalformedValuesKeepTheDefaults) {
  const FormsLook look = ParseFormsLook("x|fore=256,0,0|back=1,2|font=Arial,big,700,0|pic=-3|wmf=|place=left|bogus=1");
  EXPECT_EQ(look.caption, "x");
  EXPECT_FALSE(look.fore.has_value());
  EXPECT_FALSE(look.back.has_value());
  EXPECT_EQ(look.fontPoints, 0);
  EXPECT_EQ(look.fontFace, "");
  EXPECT_EQ(look.picture, 0);
  EXPECT_EQ(look.metafile, 0);
  EXPECT_EQ(look.place, PicturePlace::kAbove);
}

TEST(FormsLookTest, ButtonLayoutPlacesPictureAndCaption) {
  const Box button{0, 0, 61, 40};
  // Caption with the picture to its right, bottom edges aligned, pair centred.
  ButtonLayout right = LayoutButton(button, 32, 32, 24, 22, PicturePlace::kRight);
  EXPECT_EQ(right.caption.bottom, right.picture.bottom);
  EXPECT_EQ(right.caption.right, right.picture.left);
  EXPECT_EQ(right.caption.left, (61 - 56) / 2);
  EXPECT_EQ(right.picture.top, 4);
  // No caption: the picture alone, centred.
  ButtonLayout above = LayoutButton({10, 10, 73, 44}, 32, 32, 0, 0, PicturePlace::kAbove);
  EXPECT_EQ(above.picture, (Box{25, 11, 57, 43}));
  // Picture above a caption, both centred.
  above = LayoutButton({0, 0, 100, 60}, 32, 32, 40, 16, PicturePlace::kAbove);
  EXPECT_EQ(above.picture, (Box{34, 6, 66, 38}));
  EXPECT_EQ(above.caption, (Box{30, 38, 70, 54}));
}

TEST(FormsLookTest, ZoomKeepsTheAspectRatioAndCentres) {
  // The notebook drawing: 7152 x 5155 into a tall box is limited by its width.
  const Box tall = ZoomToFit({0, 0, 255, 292}, 7152, 5155);
  EXPECT_EQ(tall.Width(), 255);
  EXPECT_EQ(tall.Height(), 183);
  EXPECT_EQ(tall.top, (292 - 183) / 2);
  // A wide box is limited by its height.
  const Box wide = ZoomToFit({10, 20, 410, 120}, 200, 100);
  EXPECT_EQ(wide, (Box{110, 20, 310, 120}));
  EXPECT_EQ(ZoomToFit({0, 0, 100, 100}, 0, 5), (Box{0, 0, 0, 0}));
}

}  // namespace
}  // namespace zeph
