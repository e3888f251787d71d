// A downloaded picture becomes two small PNG squares; what would take too much memory to decode
// is refused before it is decoded.
#include "enrichment/LinkPictures.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <QImageReader>

namespace {

// Qt refuses on its own to decode pictures over a process-wide memory limit (which the capture
// raises); with the limit far above it, only the service's own check stands in the way.
class GenerousReaderLimit final
{
public:
    GenerousReaderLimit()
        : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(2048);
    }
    ~GenerousReaderLimit() { QImageReader::setAllocationLimit(m_previous); }

private:
    int m_previous;
};

} // namespace

TEST(LinkPicturesTest, ImageBytesBecomeTwoPngSquaresAndBombsAreRefused)
{
    const GenerousReaderLimit limit;
    struct Case
    {
        const char *name;
        QByteArray bytes;
        bool accepted;
    };
    const Case cases[] = {
        { "a PNG", encodedColour(QSize(300, 200), QColor(200, 30, 90)), true },
        { "a JPEG, read at a reduced size", encodedColour(QSize(3000, 2000), QColor(200, 30, 90), "jpeg"),
            true },
        { "a small black-and-white PNG", blackPng(640, 480), true },
        // 48 megapixels in a few kilobytes: decoding it would take hundreds of megabytes.
        { "a PNG of 8000 x 6000", blackPng(8000, 6000), false },
        { "text", QByteArrayLiteral("<html>not a picture</html>"), false },
        { "a PNG cut short", encodedColour(QSize(300, 200), Qt::red).left(40), false },
        { "nothing", QByteArray(), false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LinkPictures pictures = LinkPictures::fromImageData(c.bytes);
        ASSERT_EQ(pictures.thumbnailData.has_value(), c.accepted);
        ASSERT_EQ(pictures.previewData.has_value(), c.accepted);
        if (!c.accepted)
            continue;
        EXPECT_EQ(QImage::fromData(*pictures.thumbnailData, "PNG").size(), QSize(80, 80));
        EXPECT_EQ(QImage::fromData(*pictures.previewData, "PNG").size(), QSize(400, 400));
    }
}
