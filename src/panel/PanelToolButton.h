#pragma once

#include <QString>

class QToolButton;
class QWidget;

// A flat button of the panel's headers and strips. It never takes the keyboard focus, which
// stays in the search field.
QToolButton *panelToolButton(const QString &text, const QString &toolTip, QWidget *parent);
