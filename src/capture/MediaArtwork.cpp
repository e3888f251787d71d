// Cover art of media files through TagLib, for ImageExtraction::loadMediaMetadata.
#include "capture/ImageExtraction.h"
#include "platform/FilePaths.h"
#include "platform/UserFiles.h"

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tfilestream.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <unistd.h>

namespace {

QByteArray toByteArray(const TagLib::ByteVector &bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

void appendId3v2Pictures(TagLib::ID3v2::Tag *tag, QList<QByteArray> &pictures)
{
    if (!tag)
        return;
    for (TagLib::ID3v2::Frame *frame : tag->frameListMap()["APIC"]) {
        if (const auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
            pictures.append(toByteArray(picture->picture()));
    }
}

void appendXiphPictures(TagLib::Ogg::XiphComment *comment, QList<QByteArray> &pictures)
{
    if (!comment)
        return;
    for (const TagLib::FLAC::Picture *picture : comment->pictureList())
        pictures.append(toByteArray(picture->data()));
}

// The file's embedded pictures: ID3v2 first, then MP4 cover art, then the rest. Only a regular
// file is read (TagLib's own opening would wait for ever on a FIFO); its kind is told by its
// contents.
QList<QByteArray> embeddedPictures(const QString &path)
{
    QList<QByteArray> pictures;
    const int descriptor = UserFiles::openRegular(path);
    if (descriptor < 0)
        return pictures;
    // The stream owns the descriptor once it has opened it.
    TagLib::FileStream stream(descriptor, true);
    if (!stream.isOpen()) {
        ::close(descriptor);
        return pictures;
    }
    TagLib::FileRef reference(&stream, false);
    TagLib::File *file = reference.file();
    if (!file || !file->isValid())
        return pictures;

    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
        appendId3v2Pictures(mpeg->ID3v2Tag(), pictures);
    else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file))
        appendId3v2Pictures(wav->ID3v2Tag(), pictures);
    else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file))
        appendId3v2Pictures(aiff->tag(), pictures);

    if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file);
        mp4 && mp4->tag() && mp4->tag()->contains("covr")) {
        for (const TagLib::MP4::CoverArt &cover : mp4->tag()->item("covr").toCoverArtList())
            pictures.append(toByteArray(cover.data()));
    }

    if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        appendId3v2Pictures(flac->ID3v2Tag(), pictures);
        for (const TagLib::FLAC::Picture *picture : flac->pictureList())
            pictures.append(toByteArray(picture->data()));
        appendXiphPictures(flac->xiphComment(), pictures);
    } else if (auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file)) {
        appendXiphPictures(vorbis->tag(), pictures);
    } else if (auto *opus = dynamic_cast<TagLib::Ogg::Opus::File *>(file)) {
        appendXiphPictures(opus->tag(), pictures);
    } else if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(file)) {
        appendXiphPictures(oggFlac->tag(), pictures);
    } else if (auto *speex = dynamic_cast<TagLib::Ogg::Speex::File *>(file)) {
        appendXiphPictures(speex->tag(), pictures);
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file); asf && asf->tag()) {
        const TagLib::ASF::AttributeListMap &attributes = asf->tag()->attributeListMap();
        if (attributes.contains("WM/Picture")) {
            for (const TagLib::ASF::Attribute &attribute : attributes["WM/Picture"])
                pictures.append(toByteArray(attribute.toPicture().picture()));
        }
    }
    return pictures;
}

} // namespace

namespace ImageExtraction {

std::optional<MediaArtwork> loadMediaMetadata(const QUrl &fileUrl)
{
    if (!fileUrl.isLocalFile())
        return std::nullopt;
    for (const QByteArray &picture : embeddedPictures(FilePaths::ofUrl(fileUrl))) {
        const QImage image = decodeImage(picture);
        const std::optional<QByteArray> thumbnail = pngData(thumbnailImage(image, itemThumbnailSize));
        const std::optional<QByteArray> preview
            = thumbnail ? pngData(thumbnailImage(image, previewSize)) : std::nullopt;
        if (thumbnail && preview)
            return MediaArtwork { *thumbnail, *preview };
    }
    return std::nullopt;
}

} // namespace ImageExtraction
