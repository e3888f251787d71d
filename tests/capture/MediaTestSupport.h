#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QList>
#include <QUrl>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

// An MP3 file at path: a few MPEG-1 layer III frames (enough for TagLib to take the file as
// MP3) with the pictures as ID3v2 cover art, in order.
inline QUrl writeTestMp3(const QString &path, const QList<QByteArray> &pictures)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    for (int i = 0; i < 20; ++i)
        file.write(frame);
    file.close();
    if (!pictures.isEmpty()) {
        TagLib::MPEG::File mp3(QFile::encodeName(path).constData());
        for (const QByteArray &picture : pictures) {
            auto *cover = new TagLib::ID3v2::AttachedPictureFrame;
            cover->setMimeType("image/png");
            cover->setPicture(TagLib::ByteVector(picture.constData(), uint(picture.size())));
            mp3.ID3v2Tag(true)->addFrame(cover);
        }
        EXPECT_TRUE(mp3.save());
    }
    return QUrl::fromLocalFile(path);
}
