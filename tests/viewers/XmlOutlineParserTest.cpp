#include "tests/QvTest.h"

#include "viewers/XmlOutlineParser.h"

TEST(XmlOutlineParser, StartsWithTagModeOff)
{
    CXmlOutlineParser parser;
    EXPECT_FALSE(parser.GetXmlMode());
    EXPECT_EQ(512, parser.blockTypeLimit);
}
