#include "detection/ModelLoadFailures.h"

#include "common/Diagnostics.h"

#include <utility>

ModelLoadFailures::ModelLoadFailures(QString logPrefix)
    : m_logPrefix(std::move(logPrefix))
{ }

bool ModelLoadFailures::worthTrying(const QStringList &paths) const
{
    return !m_last || m_last->failure.passing || !(m_last->versions == ModelFileVersions::of(paths));
}

void ModelLoadFailures::failed(ModelFileVersions versions, const Failure &failure)
{
    // A passing failure is said once for its reason, however many uses it costs; a lasting one
    // once for each version of the files.
    const bool saidAlready = m_last && m_last->failure.passing == failure.passing
        && m_last->failure.message == failure.message && (failure.passing || m_last->versions == versions);
    m_last = Said { std::move(versions), failure };
    if (saidAlready)
        return;
    printDiagnostic(m_logPrefix + failure.message
        + (failure.passing ? QStringLiteral("; it is tried again when the model is next used") : QString()));
}

void ModelLoadFailures::forget()
{
    m_last.reset();
}
