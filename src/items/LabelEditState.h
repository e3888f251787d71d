#pragma once

#include <QObject>

// Whether an item's label is being edited in a row. While it is, every panel key goes to the
// label field and the shell leaves the keyboard focus alone. Main thread only.
class LabelEditState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isEditing READ isEditing WRITE setIsEditing NOTIFY isEditingChanged)

public:
    explicit LabelEditState(QObject *parent = nullptr)
        : QObject(parent)
    { }
    // The app's, which the panel's rows and keys share.
    static LabelEditState &shared();

    bool isEditing() const { return m_isEditing; }
    // Setting false ends the edit; the editing row listens and closes its field.
    void setIsEditing(bool value);

Q_SIGNALS:
    void isEditingChanged(bool value);

private:
    bool m_isEditing = false;
};
