#pragma once

#include <QWidget>

// What fills the panel when there is nothing to show.
class EmptyStateView final : public QWidget
{
    Q_OBJECT
public:
    explicit EmptyStateView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
