#include <gtest/gtest.h>

#include "framework/Graphics.h"

using namespace fw;

TEST(Picture, NewGivesWhitePictureOrNil) {
  auto p = Picture::New(20, 10, 32);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Width(), 20);
  EXPECT_EQ(p->Height(), 10);
  EXPECT_EQ(p->Graphics()->Pixel(5, 5), RGB(255, 255, 255));
  EXPECT_FALSE(Picture::New(0, 10, 32));
  EXPECT_FALSE(Picture::New(10, 10, 12));
  EXPECT_FALSE(Picture::New(100000, 10, 32));
}
