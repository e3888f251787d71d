#pragma once

#include <QAbstractListModel>
#include <QStringList>

class AppSettings;

// The URL blacklist as the Exclusions tab lists it: one row per entry of the settings'
// blacklist, in its order, following every change of it. A change is announced as the rows
// removed and inserted between the entries it kept at both ends, so a view keeps its place and
// its selection in a long list. Main thread only.
class ExclusionListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit ExclusionListModel(AppSettings &settings, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // The entry (display, tool tip and accessible text).
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const QStringList &entries() const { return m_entries; }
    QString entry(int row) const { return m_entries.value(row); }

private:
    void follow(const QStringList &entries);

    AppSettings &m_settings;
    QStringList m_entries;
};
