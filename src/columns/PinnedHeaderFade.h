#pragma once

#include "common/AnimatedValue.h"

#include <QObject>
#include <QRectF>
#include <QString>

#include <optional>

// The header over a column's group of pins ("Pinned · 2"), which comes and goes with the rows
// under it: over a change that moves the rows it fades in when the column's first pin arrives
// and fades out, still saying what it said, when the last one leaves; without a timing it
// shows or goes at once. A header that stays follows its layout at once (a new count, the
// group opened or closed). Main thread only.
class PinnedHeaderFade final : public QObject
{
    Q_OBJECT

public:
    struct Header
    {
        QRectF rect;
        QString text;
        friend bool operator==(const Header &, const Header &) = default;
    };
    struct Drawn
    {
        Header header;
        double opacity;
    };

    explicit PinnedHeaderFade(Clock &clock, QObject *parent = nullptr);

    // The header of a new layout; none when the column shows no group of pins.
    void setHeader(const std::optional<Header> &header, std::optional<AnimationTiming> timing);
    bool hasHeader() const { return m_header.has_value(); }
    // Ends a fade: the header there or gone.
    void finish();

    // What to draw now: the header and how opaque; none when nothing shows.
    std::optional<Drawn> drawn() const;

Q_SIGNALS:
    // What is drawn changed (a frame of a fade, a jump, new words).
    void frame();

private:
    AnimatedValue m_opacity;
    std::optional<Header> m_header;
    // The header last laid out before it went, while it fades out.
    std::optional<Header> m_leaving;
};
