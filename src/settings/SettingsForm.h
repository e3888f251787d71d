#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QString>

class QBoxLayout;
class QVBoxLayout;

// One section of a settings form: a titled group of rows, with an optional note under it.
class SettingsSection final : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsSection(const QString &header, const QString &footer = {}, QWidget *parent = nullptr);

    QGroupBox *box() const { return m_box; }
    QLabel *footer() const { return m_footer; }
    void setFooter(const QString &text);

    void addRow(QWidget *row);
    void addRow(QLayout *row);
    // A row of a label on the left and a control on the right.
    void addLabelledRow(const QString &label, QWidget *control);

private:
    QGroupBox *m_box = nullptr;
    QVBoxLayout *m_rows = nullptr;
    QLabel *m_footer = nullptr;
};

// The page of one settings tab: its sections top to bottom, scrolling when the window is
// shorter than the page. Colours come from the palette only, so the page follows the
// desktop's light or dark appearance.
class SettingsForm : public QScrollArea
{
    Q_OBJECT
public:
    explicit SettingsForm(QWidget *parent = nullptr);

    // The whole page, where a scroll area's own hint stops at a few dozen lines: the window
    // grows to show all of it where the screen has room.
    QSize sizeHint() const override;

    SettingsSection *addSection(const QString &header, const QString &footer = {});
    // A section without a frame: only its content (a version line, a note).
    void addBareRow(QWidget *row);

    // Text in the palette's secondary colour, smaller when asked.
    static QLabel *secondaryLabel(
        const QString &text, qreal pointSizeFactor = 1.0, QWidget *parent = nullptr);
    // A message in red that stays readable on dark and light backgrounds; hidden while empty.
    static QLabel *errorLabel(QWidget *parent = nullptr);
    // Sets a message label's text and shows it, or hides it for an empty text.
    static void showMessage(QLabel *label, const QString &text);
    // The red of such messages for a palette.
    static QColor errorColor(const QPalette &palette);
    static bool isDark(const QPalette &palette);

private:
    QVBoxLayout *m_sections = nullptr;
};
