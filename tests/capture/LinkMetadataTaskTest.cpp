// A saved link learns its page's title, description and pictures: what is written over what,
// items deleted meanwhile, and the whole road from a copied link to the stored item over a
// local HTTP server.
#include "CaptureTestSupport.h"

#include "capture/LinkMetadataTask.h"
#include "enrichment/LinkMetadataService.h"
#include "support/LocalHttpServer.h"
#include "support/TestPictures.h"

namespace {

class LinkMetadataTaskTest : public CaptureTest
{
protected:
    ClipboardItemPtr storeLink(const std::optional<QString> &title)
    {
        ClipboardItemPtr item = storeSavedItem(context(), ClipboardItemType::link,
            { .text = QStringLiteral("https://example.com/a") }, false, 0);
        if (title) {
            item->setLinkTitle(title);
            EXPECT_TRUE(context().save().ok);
        }
        return item;
    }

    // The item as the store has it, read by a context of its own.
    ClipboardItemPtr stored(PersistentIdentifier identifier)
    {
        m_reader = container().makeContext();
        return m_reader->model(identifier);
    }

    std::unique_ptr<ModelContext> m_reader;
};

} // namespace

TEST_F(LinkMetadataTaskTest, WhatArrivesIsWrittenAndAStoredTitleStays)
{
    const QByteArray thumbnail("thumbnail png");
    const QByteArray preview("preview png");
    struct Case
    {
        const char *name;
        std::optional<QString> storedTitle;
        LinkMetadata metadata;
        std::optional<QString> expectedTitle;
        bool saved;
    };
    const Case cases[] = {
        { "a missing title is filled", std::nullopt,
            { QStringLiteral("Fetched"), QStringLiteral("About"), thumbnail, preview },
            QStringLiteral("Fetched"), true },
        { "a blank title is filled", QStringLiteral(" \n\t"), { QStringLiteral("Fetched") },
            QStringLiteral("Fetched"), true },
        { "a stored title stays", QStringLiteral("Mine"),
            { QStringLiteral("Fetched"), QStringLiteral("About") }, QStringLiteral("Mine"), true },
        { "pictures alone", std::nullopt, { std::nullopt, std::nullopt, thumbnail, preview }, std::nullopt,
            true },
        { "nothing found: nothing saved", QStringLiteral("Mine"), {}, QStringLiteral("Mine"), false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ClipboardItemPtr item = storeLink(c.storedTitle);
        item->setLinkDescription(QStringLiteral("old description"));
        ASSERT_TRUE(context().save().ok);
        QSignalSpy saves(&context(), &ModelContext::didSave);
        EXPECT_EQ(applyLinkMetadata(context(), item->persistentModelID(), c.metadata), c.saved);
        EXPECT_EQ(saves.size(), c.saved ? 1 : 0);

        const ClipboardItemPtr reread = stored(item->persistentModelID());
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->linkTitle(), c.expectedTitle);
        EXPECT_EQ(
            reread->linkDescription(), c.metadata.description.value_or(QStringLiteral("old description")));
        EXPECT_EQ(reread->linkThumbnailData(), c.metadata.thumbnailData);
        EXPECT_EQ(reread->linkPreviewData(), c.metadata.previewData);
    }
}

TEST_F(LinkMetadataTaskTest, AnItemDeletedMeanwhileIsLeftAlone)
{
    const ClipboardItemPtr item = storeLink(std::nullopt);
    const PersistentIdentifier identifier = item->persistentModelID();
    context().remove(item);
    ASSERT_TRUE(context().save().ok);
    QSignalSpy saves(&context(), &ModelContext::didSave);
    EXPECT_FALSE(applyLinkMetadata(context(), identifier, { QStringLiteral("Late") }));
    EXPECT_EQ(saves.size(), 0);
    EXPECT_EQ(history().size(), 0);
}

TEST_F(LinkMetadataTaskTest, ACopiedLinkGetsItsPageTitleAndPicture)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setResponse(QStringLiteral("/picture.png"),
        LocalHttpServer::image(encodedColour(QSize(120, 90), QColor(30, 160, 60))));
    server.setResponse(QStringLiteral("/article"),
        LocalHttpServer::page("<html><head><meta property=\"og:title\" content=\"Don't panic\">"
                              "<meta name=\"description\" content=\"A guide\">"
                              "<meta property=\"og:image\" content=\"/picture.png\"></head></html>"));
    LinkMetadataService service;
    const QMetaObject::Connection connection = startLinkMetadataTasks(*m_monitor, service);
    ASSERT_TRUE(connection);

    ASSERT_TRUE(copyText(server.url(QStringLiteral("/article")).toString()));
    const ClipboardItemPtr item = newest();
    ASSERT_EQ(item->type(), ClipboardItemType::link);
    ASSERT_TRUE(waitUntil([&] { return item->linkThumbnailData().has_value(); }, std::chrono::seconds(10)));

    const ClipboardItemPtr reread = stored(item->persistentModelID());
    EXPECT_EQ(reread->linkTitle(), QStringLiteral("Don't panic"));
    EXPECT_EQ(reread->linkDescription(), QStringLiteral("A guide"));
    const QImage thumbnail = QImage::fromData(reread->linkThumbnailData().value_or(QByteArray()), "PNG");
    EXPECT_EQ(thumbnail.size(), QSize(80, 80));
    EXPECT_EQ(thumbnail.pixelColor(40, 40).green(), 160);
    EXPECT_EQ(
        QImage::fromData(reread->linkPreviewData().value_or(QByteArray()), "PNG").size(), QSize(400, 400));
    // The search text follows the title that came late.
    EXPECT_TRUE(item->searchableText().contains(QStringLiteral("don't panic")));
}

TEST_F(LinkMetadataTaskTest, NothingIsWrittenOnceTheMonitorIsGone)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setResponse(QStringLiteral("/article"),
        LocalHttpServer::page("<head><meta property=\"og:title\" content=\"Late\"></head>"));
    LinkMetadataService service;
    const ClipboardItemPtr item = storeLink(std::nullopt);
    const QUrl url = server.url(QStringLiteral("/article"));
    fetchLinkMetadataTask(*m_monitor, service, item->persistentModelID(), url);
    m_monitor.reset();
    QSignalSpy saves(&context(), &ModelContext::didSave);
    // The fetch is done once the service has cached its answer; a write would follow at once.
    ASSERT_TRUE(waitUntil([&] {
        QFuture<std::optional<LinkMetadata>> cached
            = service.cachedLinkMetadata(url.toString(QUrl::FullyEncoded));
        cached.waitForFinished();
        return cached.resultCount() > 0 && cached.result().has_value();
    }));
    waitUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(saves.size(), 0);
    EXPECT_EQ(item->linkTitle(), std::nullopt);
}
