#pragma once

#include "model/HighlightTheme.h"

#include <QDateTime>
#include <QString>

class ModelContainer;

// Code items as the app keeps them: 40-line snippets of four languages (each item's its own),
// with their highlighted preview lines persisted in the items.
namespace BenchCodeItems {

// The language label of the item's snippet and the snippet (40 lines).
QString language(int index);
QString snippet(int index);

// Inserts count code items, one second apart from start on, and highlights each with the
// real engine in the theme and appearance, as the capture does; returns once all are saved.
void insertHighlighted(
    ModelContainer &container, int count, HighlightTheme theme, bool isDark, const QDateTime &start);

// The appearance the app highlights for (the application palette's).
bool appearanceIsDark();

} // namespace BenchCodeItems
