#pragma once

#include "enrichment/SquareImage.h"
#include "model/ClipboardItemType.h"
#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// Turns what the clipboard offers as an image, and media files, into the blobs an item
// stores: the image as PNG, square PNG thumbnails, the media kind of a file and the cover
// art of an audio file. Stateless and free of GUI objects, so every function runs on any
// thread; the decoding ones are slow for large pictures and belong off the main thread.
namespace ImageExtraction {

// No decoded image may take more memory than this: a small file that claims a huge
// picture (a decompression bomb) is not decoded. Applies to every QImageReader of the
// process once this namespace is first used.
inline constexpr int allocationLimitMegabytes = 256;

// Thumbnail sizes in points; a thumbnail has two pixels per point.
inline constexpr double itemThumbnailSize = 40;
inline constexpr double previewSize = 200;

// An image as the clipboard offered it: bytes of an image type, or an image object put on
// the clipboard by this process.
struct ImageSource
{
    QString type;
    QByteArray data;
    QImage image;

    bool isEmpty() const { return data.isEmpty() && image.isNull(); }
};

// The clipboard image request, best first: PNG (stored as it comes), TIFF, JPEG, WebP,
// HEIC, GIF, then any other image type.
QStringList pasteboardImageRequest();

// The image of one clipboard reading: its encoded bytes, else its image object.
ImageSource imageSource(const PasteboardContents &contents);

struct PreparedImage
{
    QByteArray imageData; // PNG
    std::optional<QByteArray> thumbnail;
};

// The image as an item stores it, with its thumbnail of `thumbnailSize` points. PNG bytes
// are kept as they came (so the same copy twice gives the same bytes); other types are
// decoded and encoded as PNG. Nothing when there is no image, one that does not decode (it
// would be a blank picture), one that decoded cannot be encoded, or one of more than
// ImageLimits::maxPixels.
std::optional<PreparedImage> prepareImage(const ImageSource &source, double thumbnailSize);

// The pixel size of the source's image, from the header of its data (ImageLimits).
std::optional<QSize> imageSize(const ImageSource &source);

// The image decoded, within the allocation limit; a null image when it does not decode or
// its header claims more than ImageLimits::maxPixels (ImageLimits::sizeOf).
QImage decodeImage(const QByteArray &data, QByteArray *format = nullptr);

using ::pngData;

// A square image of 2 × size pixels: the image scaled to cover the square, centred, the
// overhang cut off.
QImage thumbnailImage(const QImage &image, double size);
// The same from encoded image data, as PNG; nothing when the data does not decode.
std::optional<QByteArray> makeThumbnail(const QByteArray &imageData, double size);

// The media kind by the file name's extension (the file is not opened): image, video or
// audio, or nothing.
std::optional<MediaSubtype> mediaKindForFile(const QUrl &fileUrl);

struct MediaArtwork
{
    QByteArray thumbnail; // 40 points
    QByteArray preview; // 200 points
};

// The cover art embedded in an audio (or video) file as thumbnail and preview: ID3v2
// pictures first, then MP4 cover art, then the pictures of FLAC, Ogg and ASF files; the
// first picture that decodes wins. Nothing when the file has none. Reads the file.
std::optional<MediaArtwork> loadMediaMetadata(const QUrl &fileUrl);

} // namespace ImageExtraction
