#pragma once

#include <QObject>
#include <QString>

#include <optional>

class Clock;

// The short message at the bottom of the panel ("File was deleted"). It leaves two seconds
// after it appeared, whatever text it shows by then. Main thread only.
class PanelToast final : public QObject
{
    Q_OBJECT

public:
    explicit PanelToast(Clock &clock, QObject *parent = nullptr);

    std::optional<QString> message() const { return m_message; }
    void setMessage(const std::optional<QString> &message);

Q_SIGNALS:
    void messageChanged();

private:
    Clock &m_clock;
    std::optional<QString> m_message;
    // Each appearance has its own number; the removal of an earlier one does nothing.
    quint64 m_appearance = 0;
};
