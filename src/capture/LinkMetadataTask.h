#pragma once

#include "enrichment/LinkMetadata.h"
#include "model/PersistentIdentifier.h"

#include <QFuture>
#include <QMetaObject>
#include <QUrl>

class ClipboardMonitor;
class LinkMetadataService;
class ModelContext;

// A saved link item learns its page's title, description and pictures: the service fetches
// them on its own thread, and the stored item is found again by its identifier and written by
// the monitor's store actor (the main context then takes the change in). Nothing happens to an
// item deleted meanwhile, or once the monitor is gone.

// Fetches the metadata of url and has it applied to the stored item. The future finishes when
// the write has been handed to the store actor (or was skipped).
QFuture<void> fetchLinkMetadataTask(ClipboardMonitor &monitor, LinkMetadataService &service,
    PersistentIdentifier identifier, const QUrl &url);

// Writes what was found: a title only over a missing or blank one, a description, thumbnail
// and preview over what was there. Saves when anything was given and the item still exists;
// false when nothing was written.
bool applyLinkMetadata(ModelContext &context, PersistentIdentifier identifier, const LinkMetadata &metadata);

// Every link the monitor saves from now on gets its metadata from service.
QMetaObject::Connection startLinkMetadataTasks(ClipboardMonitor &monitor, LinkMetadataService &service);
