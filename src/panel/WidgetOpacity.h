#pragma once

class QWidget;

// Draws a widget and its children at an opacity between 0 and 1.
//
// At full opacity the widget is drawn without an effect at all. A QGraphicsOpacityEffect keeps
// a picture of the widget at the place in the window where it last drew it faded, and at full
// opacity it draws that picture again wherever the widget now is: once the column or the view
// around it had moved, a button that had faded in came back blank or cut off.
void setWidgetOpacity(QWidget *widget, double opacity);
// What setWidgetOpacity last set; 1 for a widget it never faded.
double widgetOpacity(const QWidget *widget);
