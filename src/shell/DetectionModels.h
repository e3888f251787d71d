#pragma once

#include "capture/ServiceCodeClassifier.h"
#include "shell/AppDelegate.h"

class QuitDeadline;

// How the app drives its two detection models: the warm-up after start, loading and
// unloading when code detection is switched, and the language network's guess for the
// capture. Every call only queues work on the models' own threads.
namespace DetectionModels {

// Warm-up: the content-type model, then the language network, once on "warmup", results
// dropped. Loading: each model when not loaded. Unloading: the content-type model, then the
// network.
AppDelegate::DetectionHooks hooks();

// At quit: both models take no more work and what they run is waited for, until the quit's
// deadline, so that nothing loads a model while the application is torn down.
void end(QuitDeadline &quit);

// The language network's best language for a text, or nothing.
ServiceCodeClassifier::Ranker languageRanker();

} // namespace DetectionModels
