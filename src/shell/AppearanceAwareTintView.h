#pragma once

#include <QWidget>

// A veil over the panel's background that follows the light or dark appearance: black at
// 40 % over a dark palette, white at 60 % over a light one. It takes no input.
class AppearanceAwareTintView final : public QWidget
{
    Q_OBJECT
public:
    explicit AppearanceAwareTintView(QWidget *parent = nullptr);

    // The colour for the current palette (dark when the window colour is dark).
    QColor tintColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
};
