#include "app/icon.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

namespace {

class IconSizeTest : public ::testing::TestWithParam<int> {};

TEST(IconTest, HasEveryImageSize) {
  const QIcon icon = ZentrovaIcon();
  ASSERT_FALSE(icon.isNull());
  const QList<QSize> sizes = icon.availableSizes();
  for (int s : {16, 24, 32, 48, 256}) EXPECT_TRUE(sizes.contains(QSize(s, s))) << s;
}

TEST_P(IconSizeTest, IsDrawnInsideATransparentSquare) {
  const int size = GetParam();
  const QImage image =
      ZentrovaIcon().pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(image.size(), QSize(size, size));

  // Transparent corners: the artwork is a battery on its side, not a filled square.
  for (QPoint corner :
       {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)}) {
    EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << size;
  }
  // Opaque in the middle, and a fair share of the square is drawn.
  EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
  int drawn = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
  }
  EXPECT_GT(drawn, size * size / 3) << size;
  EXPECT_LT(drawn, size * size * 3 / 4) << size;
}

TEST(IconTest, IsTheSameEveryTime) {
  const QImage a = ZentrovaIcon().pixmap(QSize(48, 48)).toImage();
  const QImage b = ZentrovaIcon().pixmap(QSize(48, 48)).toImage();
  EXPECT_EQ(a, b);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconSizeTest, ::testing::Values(16, 24, 32, 48, 256));

}  // namespace
