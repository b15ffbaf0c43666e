#include "tests/QvTest.h"

#include "viewers/CustomEditCtrl.h"

TEST(CustomEditCtrl, StartsWithTagColouringAndMarginBookmarksOff)
{
    CCustomEditCtrl control;
    EXPECT_FALSE(control.GetXmlColoring());
    EXPECT_FALSE(control.GetMarginBookmarks());
}
